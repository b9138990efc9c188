// The cursor hook library: while installed for a window, it reports every
// change of the pointer's shape on the desktop to that window with the
// message it was given, wParam = the shape's serial number (the "cursor
// handle" of this platform). Loaded at run time by the recorder; the two C
// entry points are its whole interface.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/x11_messaging.h"

namespace {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};

// One watcher per installed window: its own connection, its own thread, and
// an eventfd that wakes the thread to end it.
class CursorWatcher {
 public:
  static std::unique_ptr<CursorWatcher> Start(unsigned long window, uint32_t message) {
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) return nullptr;
    int eventBase = 0, errorBase = 0, major = 2, minor = 0;
    if (!XFixesQueryExtension(display.get(), &eventBase, &errorBase)) return nullptr;
    XFixesQueryVersion(display.get(), &major, &minor);
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) return nullptr;
    XFixesSelectCursorInput(display.get(), DefaultRootWindow(display.get()),
                            XFixesDisplayCursorNotifyMask);
    XFlush(display.get());
    return std::unique_ptr<CursorWatcher>(
        new CursorWatcher(std::move(display), eventBase, wake, window, message));
  }

  ~CursorWatcher() {
    const uint64_t one = 1;
    if (::write(wake_, &one, sizeof one) < 0) {
      // The thread still ends when the connection closes below.
    }
    thread_.join();
    ::close(wake_);
  }
  CursorWatcher(const CursorWatcher&) = delete;
  CursorWatcher& operator=(const CursorWatcher&) = delete;

 private:
  CursorWatcher(std::unique_ptr<Display, DisplayCloser> display, int eventBase, int wake,
                unsigned long window, uint32_t message)
      : display_(std::move(display)), eventBase_(eventBase), wake_(wake), window_(window),
        message_(message) {
    thread_ = std::thread([this] { Run(); });
  }

  void Report(unsigned long serial) {
    platform::PostWindowMessage(window_, message_, serial, 0);
  }

  void Run() {
    Display* d = display_.get();
    // The shape in use now, so the receiver need not wait for a change.
    if (XFixesCursorImage* image = XFixesGetCursorImage(d)) {
      Report(image->cursor_serial);
      XFree(image);
    }
    pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {wake_, POLLIN, 0}};
    for (;;) {
      while (XPending(d)) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == eventBase_ + XFixesCursorNotify)
          Report(reinterpret_cast<XFixesCursorNotifyEvent*>(&event)->cursor_serial);
      }
      if (::poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents) return;
      if (fds[0].revents & (POLLERR | POLLHUP)) return;
    }
  }

  std::unique_ptr<Display, DisplayCloser> display_;
  int eventBase_;
  int wake_;
  unsigned long window_;
  uint32_t message_;
  std::thread thread_;
};

std::mutex gMutex;
std::map<unsigned long, std::unique_ptr<CursorWatcher>> gWatchers;  // guarded by gMutex

}  // namespace

extern "C" {

// Starts the reports to `window`; a second install for the same window
// replaces the first. 1 on success, 0 when the display cannot be watched.
__attribute__((visibility("default"))) int InstallMyHook(unsigned long window,
                                                         unsigned int message) {
  std::unique_ptr<CursorWatcher> old;
  std::lock_guard lock(gMutex);
  auto it = gWatchers.find(window);
  if (it != gWatchers.end()) old = std::move(it->second), gWatchers.erase(it);
  old.reset();
  auto watcher = CursorWatcher::Start(window, message);
  if (!watcher) return 0;
  gWatchers[window] = std::move(watcher);
  return 1;
}

// Ends the reports to `window`; 1 when it had a hook, 0 otherwise.
__attribute__((visibility("default"))) int UninstallMyHook(unsigned long window) {
  std::unique_ptr<CursorWatcher> watcher;
  {
    std::lock_guard lock(gMutex);
    auto it = gWatchers.find(window);
    if (it == gWatchers.end()) return 0;
    watcher = std::move(it->second);
    gWatchers.erase(it);
  }
  return 1;  // the watcher's thread is joined here, outside the lock
}

}  // extern "C"
