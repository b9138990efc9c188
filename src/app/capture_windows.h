#pragma once
// What the program keeps of the capture source for its life: the
// region-selection window, the marker around the recorded area, the cursor
// hook library and the mirror-driver release; and what a recording asks of
// them. The two windows are top-level (the marker must stay up while the main
// window is minimised), so this object destroys them itself.
#include <atomic>
#include <string>

#include "capture/cursor_hook.h"
#include "capture/mirror_driver_release.h"
#include "capture/region_border.h"
#include "capture/region_selection_window.h"

namespace recording { struct CaptureConfig; }

class CaptureWindows {
 public:
  CaptureWindows(int screenWidth, int screenHeight, capture::RegionSelectionWindow::Actions actions,
                 const std::string& programFolder);
  ~CaptureWindows();
  CaptureWindows(const CaptureWindows&) = delete;
  CaptureWindows& operator=(const CaptureWindows&) = delete;

  // "record custom": the full-screen selection. Cancel is for the stop key,
  // which the desktop grabs before the window hears it; false when no
  // selection is open.
  void ShowSelection();
  bool CancelSelection();
  void SetCancelKey(int wxKeyCode);

  // Reports of the pointer's shape go to `window` as `message` while a
  // recording runs.
  void InstallCursorHook(unsigned long window, unsigned int message);
  void UninstallCursorHook(unsigned long window);
  // The hook's report: the shape shown on the desktop now.
  void SetLastCursor(unsigned long cursor) { lastCursor_ = cursor; }

  // A recording's marker: the window the capture thread flashes and the move
  // it takes from it; shown around the area once the capture has started.
  void PrepareCapture(recording::CaptureConfig& config);
  void ShowMarkerAround(const capture::ScreenRect& recorded);
  void HideMarker();

 private:
  capture::RegionSelectionWindow* selection_;
  capture::RegionBorder* border_;
  capture::CursorHook hook_;
  capture::MirrorDriverRelease mirror_;
  bool markerEnabled_ = true;
  // The last shape reported by the hook (0 until the first report); written
  // on the user-interface thread, read by whoever draws the pointer.
  std::atomic<unsigned long> lastCursor_{0};
};
