// The cursor hook library: while installed for a window, it reports every
// change of the pointer's shape on the desktop to that window with the
// message it was given, wParam = the shape's serial number (the "cursor
// handle" of this platform). Loaded at run time by the recorder; the two C
// entry points are its whole interface.
#include <map>
#include <memory>
#include <mutex>

#include "platform/x11_cursor_watch.h"
#include "platform/x11_messaging.h"

namespace {

std::mutex gMutex;
// One watch per installed window, guarded by gMutex.
std::map<unsigned long, std::unique_ptr<platform::CursorShapeWatch>> gWatches;

}  // namespace

extern "C" {

// Starts the reports to `window`; a second install for the same window
// replaces the first. 1 on success, 0 when the display cannot be watched.
__attribute__((visibility("default"))) int InstallMyHook(unsigned long window,
                                                         unsigned int message) {
  std::lock_guard lock(gMutex);
  gWatches.erase(window);  // the old watch's thread is joined here
  auto watch = platform::CursorShapeWatch::Start([window, message](unsigned long serial) {
    platform::PostWindowMessage(window, message, serial, 0);
  });
  if (!watch) return 0;
  gWatches[window] = std::move(watch);
  return 1;
}

// Ends the reports to `window`; 1 when it had a hook, 0 otherwise.
__attribute__((visibility("default"))) int UninstallMyHook(unsigned long window) {
  std::unique_ptr<platform::CursorShapeWatch> watch;
  {
    std::lock_guard lock(gMutex);
    auto it = gWatches.find(window);
    if (it == gWatches.end()) return 0;
    watch = std::move(it->second);
    gWatches.erase(it);
  }
  return 1;  // the watch's thread is joined here, outside the lock
}

}  // extern "C"
