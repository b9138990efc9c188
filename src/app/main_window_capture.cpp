// The main window's part of the capture source: its windows and the cursor
// hook are set up in OnInitDialog (step 11), the hook's reports arrive as
// WM_USER_SAVECURSOR_MSG, and the recording path calls the functions below
// to show the selection, install the hook and show or hide the marker.
#include <wx/app.h>
#include <wx/log.h>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/x11_messaging.h"
#include "platform/x11_window_control.h"
#include "recording/capture_thread.h"
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
  capture_->selection->SetCancelKey(WxKeyFor(hotKeyTable_.slot(2).key));
  if (!capture_->hook.loaded())
    wxLogDebug("cursor hook not loaded: %s", capture_->hook.loadError().c_str());
}

void MainWindow::ShowRegionSelection() {
  if (capture_) capture_->selection->Begin();
}

bool MainWindow::CancelRegionSelection() { return capture_ && capture_->selection->Cancel(); }

void MainWindow::InstallCursorHook() {
  if (!capture_ || !messageWindow_) return;
  capture_->hook.Install(messageWindow_->id(),
                         platform::RegisterWindowMessage(msg::kSaveCursorName));
}

void MainWindow::UninstallCursorHook() {
  if (capture_ && messageWindow_) capture_->hook.Uninstall(messageWindow_->id());
}

void MainWindow::PrepareCapture(recording::CaptureConfig& config) {
  if (!capture_) return;
  if (capture_->markerEnabled) {
    config.markerWindow = capture_->border->NativeId();
    config.markerMove = &capture_->border->published();
    capture_->border->published().Take();  // a move left from an earlier recording
  }
}

void MainWindow::ShowMarkerAround(const capture::ScreenRect& recorded) {
  if (!capture_ || !capture_->markerEnabled) return;
  capture_->border->ShapeAround(recorded.left, recorded.top, recorded.width(), recorded.height());
  capture_->border->ShowWithoutActivating();
}

void MainWindow::HideMarker() {
  if (capture_ && capture_->markerEnabled) capture_->border->Hide();
}

void MainWindow::OnSaveCursorMsg(wxCommandEvent& event) {
  if (capture_) capture_->lastCursor = static_cast<unsigned long>(static_cast<unsigned>(event.GetInt()));
}
