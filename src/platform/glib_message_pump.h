#pragma once
// Lets GTK's main loop (and so wx's) dispatch a MessageWindow: its handler
// then runs on the UI thread, in modal loops too. Lives no longer than the
// window it pumps.
#include "platform/x11_messaging.h"

namespace platform {

class GlibMessagePump {
 public:
  explicit GlibMessagePump(MessageWindow& window);
  ~GlibMessagePump();
  GlibMessagePump(const GlibMessagePump&) = delete;
  GlibMessagePump& operator=(const GlibMessagePump&) = delete;

  struct Source;  // the GSource, defined where glib is included

 private:
  Source* source_;
};

}  // namespace platform
