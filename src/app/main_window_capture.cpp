// The main window's part of the capture source: its windows and the cursor
// hook are set up in OnInitDialog (step 11), and the hook's reports arrive as
// WM_USER_SAVECURSOR_MSG.
#include "app/capture_windows.h"
#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/x11_window_control.h"
#include "recording/recording_controller.h"

namespace {

// Hot-key table keys are virtual-key codes; the selection window hears wx
// key codes.
int WxKeyFor(int virtualKey) {
  if (virtualKey >= 0x70 && virtualKey <= 0x87) return WXK_F1 + (virtualKey - 0x70);
  if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
    return virtualKey;
  return WXK_NONE;
}

}  // namespace

void MainWindow::SetupCapture() {
  auto screen = platform::ScreenSize().value_or(std::make_pair(1024, 768));
  capture::RegionSelectionWindow::Actions actions;
  actions.committed = [this](const capture::ScreenRect& rect) {
    if (recorder_) recorder_->SelectionCommitted(rect);
  };
  actions.cancelled = [this] {
    hotKeyArmed_ = true;  // hot key 0 may act once more
    if (recorder_) recorder_->SelectionCancelled();
  };
  capture_ = std::make_unique<CaptureWindows>(screen.first, screen.second, std::move(actions),
                                              folders_.programFolder);
  capture_->SetCancelKey(WxKeyFor(hotKeyTable_.slot(2).key));
}

void MainWindow::OnSaveCursorMsg(wxCommandEvent& event) {
  if (capture_) capture_->SetLastCursor(static_cast<unsigned long>(static_cast<unsigned>(event.GetInt())));
}
