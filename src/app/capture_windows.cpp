#include "app/capture_windows.h"

#include "base/log.h"
#include "recording/capture_thread.h"

CaptureWindows::CaptureWindows(int screenWidth, int screenHeight,
                               capture::RegionSelectionWindow::Actions actions,
                               const std::string& programFolder)
    : selection_(new capture::RegionSelectionWindow(screenWidth, screenHeight, std::move(actions))),
      border_(new capture::RegionBorder(screenWidth, screenHeight)),
      hook_(programFolder) {
  if (!hook_.loaded())
    base::Log(base::Level::kWarning, "capture", "cursor hook not loaded: " + hook_.loadError());
}

CaptureWindows::~CaptureWindows() {
  selection_->Destroy();
  border_->Destroy();
}

void CaptureWindows::ShowSelection() { selection_->Begin(); }

bool CaptureWindows::CancelSelection() { return selection_->Cancel(); }

void CaptureWindows::SetCancelKey(int wxKeyCode) { selection_->SetCancelKey(wxKeyCode); }

void CaptureWindows::InstallCursorHook(unsigned long window, unsigned int message) {
  if (window) hook_.Install(window, message);
}

void CaptureWindows::UninstallCursorHook(unsigned long window) {
  if (window) hook_.Uninstall(window);
}

void CaptureWindows::PrepareCapture(recording::CaptureConfig& config) {
  if (!markerEnabled_) return;
  config.markerWindow = border_->NativeId();
  config.markerMove = &border_->published();
  border_->published().Take();  // a move left from an earlier recording
}

void CaptureWindows::ShowMarkerAround(const capture::ScreenRect& recorded) {
  if (!markerEnabled_) return;
  border_->ShapeAround(recorded.left, recorded.top, recorded.width(), recorded.height());
  border_->ShowWithoutActivating();
}

void CaptureWindows::HideMarker() {
  if (markerEnabled_) border_->Hide();
}
