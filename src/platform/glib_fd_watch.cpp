#include "platform/glib_fd_watch.h"

#include <glib-unix.h>
#include <glib.h>

namespace platform {

GlibFdWatch::GlibFdWatch(int fd, std::function<void()> onReadable)
    : onReadable_(std::move(onReadable)) {
  sourceId_ = g_unix_fd_add(
      fd, G_IO_IN,
      [](gint f, GIOCondition c, gpointer self) -> gboolean {
        return Trampoline(f, c, self);
      },
      this);
  idleId_ = g_idle_add(
      [](gpointer self) -> gboolean {
        auto* watch = static_cast<GlibFdWatch*>(self);
        watch->idleId_ = 0;
        watch->onReadable_();
        return G_SOURCE_REMOVE;
      },
      this);
}

GlibFdWatch::~GlibFdWatch() {
  if (sourceId_) g_source_remove(sourceId_);
  if (idleId_) g_source_remove(idleId_);
}

int GlibFdWatch::Trampoline(int, unsigned, void* self) {
  static_cast<GlibFdWatch*>(self)->onReadable_();
  return G_SOURCE_CONTINUE;
}

}  // namespace platform
