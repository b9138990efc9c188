#include "platform/x11_cursor_watch.h"

#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <exception>
#include <thread>

#include "base/log.h"
#include "platform/x11_internal.h"

namespace platform {

// The watch's own connection and thread, and an eventfd that wakes the
// thread to end it.
struct CursorShapeWatch::Impl {
  x11::DisplayPtr display;
  int eventBase = 0;
  int wake = -1;
  Handler handler;
  std::thread thread;

  ~Impl() {
    if (wake >= 0) ::close(wake);
  }

  void Run() {
    Display* d = display.get();
    // The shape in use now, so the receiver need not wait for a change.
    {
      x11::ErrorTrap trap(d);
      if (XFixesCursorImage* image = XFixesGetCursorImage(d)) {
        if (!trap.Failed()) handler(image->cursor_serial);
        XFree(image);
      }
    }
    pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {wake, POLLIN, 0}};
    for (;;) {
      while (XPending(d)) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == eventBase + XFixesCursorNotify)
          handler(reinterpret_cast<XFixesCursorNotifyEvent*>(&event)->cursor_serial);
      }
      if (::poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents) return;
      if (fds[0].revents & (POLLERR | POLLHUP)) {
        base::Log(base::Level::kWarning, "x11",
            "the X server closed the cursor watch's connection");
        return;
      }
    }
  }
};

std::unique_ptr<CursorShapeWatch> CursorShapeWatch::Start(Handler handler) {
  auto impl = std::make_unique<Impl>();
  impl->display = x11::OpenDisplay();
  Display* d = impl->display.get();
  if (!d) return nullptr;
  int errorBase = 0, major = 2, minor = 0;
  if (!XFixesQueryExtension(d, &impl->eventBase, &errorBase)) return nullptr;
  XFixesQueryVersion(d, &major, &minor);
  impl->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (impl->wake < 0) return nullptr;
  XFixesSelectCursorInput(d, DefaultRootWindow(d), XFixesDisplayCursorNotifyMask);
  XFlush(d);
  impl->handler = std::move(handler);
  impl->thread = std::thread([raw = impl.get()] {
    try {
      raw->Run();
    } catch (const std::exception& e) {
      base::Log(base::Level::kError, "x11", std::string("the cursor watch ended: ") + e.what());
    }
  });
  return std::unique_ptr<CursorShapeWatch>(new CursorShapeWatch(std::move(impl)));
}

CursorShapeWatch::CursorShapeWatch(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

CursorShapeWatch::~CursorShapeWatch() {
  const uint64_t one = 1;
  if (::write(impl_->wake, &one, sizeof one) < 0) {
    // A full counter still reads as readable: the thread ends either way.
  }
  impl_->thread.join();
}

}  // namespace platform
