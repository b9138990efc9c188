#include "skype/skype_client.h"

#include "platform/process_snapshot.h"
#include "platform/x11_windows.h"

namespace skype {

std::string CourtesyText() {
  return std::string("Courtesy message: This skype call might be recorded. Please visit ") +
         kMakerHost + " for details on how to record Skype video and audio calls";
}

platform::WindowId FindSkypeMainWindow() {
  using namespace platform::style;
  pid_t pid = 0;
  for (const auto& p : platform::ProcessSnapshot()) {
    if (p.exeName == kClientExecutable) {
      pid = p.pid;
      break;  // only the first client counts
    }
  }
  if (pid == 0) return 0;

  for (const auto& w : platform::TopLevelWindowsOf(pid)) {
    if (!w.visible || !w.enabled) continue;
    if ((w.style & WS_POPUP) && !(w.style & WS_CAPTION)) continue;
    constexpr uint32_t kFrameBits =
        WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    if (!(w.style & kFrameBits)) continue;
    // Other windows of the client may come first; only a main-window class
    // ends the search, and without one there is no answer at all.
    if (w.className.rfind(kMainWindowClass, 0) == 0) return w.id;
  }
  return 0;
}

}  // namespace skype
