#pragma once
// Calls a function on GTK's main loop (the UI thread) whenever a descriptor
// becomes readable, and once right away in case something is already queued.
#include <functional>

namespace platform {

class GlibFdWatch {
 public:
  GlibFdWatch(int fd, std::function<void()> onReadable);
  ~GlibFdWatch();
  GlibFdWatch(const GlibFdWatch&) = delete;
  GlibFdWatch& operator=(const GlibFdWatch&) = delete;

 private:
  static int Trampoline(int fd, unsigned condition, void* self);
  std::function<void()> onReadable_;
  unsigned sourceId_ = 0;
  unsigned idleId_ = 0;
};

}  // namespace platform
