#include "platform/glib_message_pump.h"

#include <glib.h>

#include <exception>

#include "base/log.h"

namespace platform {

// A custom source rather than a plain descriptor watch: messages already
// read from the connection (during a send's wait) no longer show on the
// descriptor, so prepare/check also ask the window itself.
struct GlibMessagePump::Source {
  GSource base;
  MessageWindow* window;
  gpointer tag;
};

namespace {

gboolean Prepare(GSource* s, gint* timeout) {
  *timeout = -1;
  return reinterpret_cast<GlibMessagePump::Source*>(s)->window->HasPending();
}

gboolean Check(GSource* s) {
  auto* source = reinterpret_cast<GlibMessagePump::Source*>(s);
  return source->window->HasPending() ||
         (g_source_query_unix_fd(s, source->tag) & G_IO_IN) != 0;
}

gboolean Dispatch(GSource* s, GSourceFunc, gpointer) {
  // An exception must not unwind through glib's C frames; the message that
  // raised it is lost, the loop goes on.
  try {
    reinterpret_cast<GlibMessagePump::Source*>(s)->window->DispatchPending();
  } catch (const std::exception& e) {
    base::Log(base::Level::kError, "desktop messages",
        std::string("a message handler failed: ") + e.what());
  } catch (...) {
    base::Log(base::Level::kError, "desktop messages", "a message handler failed");
  }
  return G_SOURCE_CONTINUE;
}

GSourceFuncs gFuncs = {Prepare, Check, Dispatch, nullptr, nullptr, nullptr};

}  // namespace

GlibMessagePump::GlibMessagePump(MessageWindow& window) {
  GSource* s = g_source_new(&gFuncs, sizeof(Source));
  source_ = reinterpret_cast<Source*>(s);
  source_->window = &window;
  source_->tag = g_source_add_unix_fd(s, window.fd(), G_IO_IN);
  g_source_set_name(s, "desktop messages");
  g_source_attach(s, nullptr);
}

GlibMessagePump::~GlibMessagePump() {
  GSource* s = reinterpret_cast<GSource*>(source_);
  g_source_destroy(s);
  g_source_unref(s);
}

}  // namespace platform
