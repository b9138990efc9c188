#pragma once
// What the main window keeps of the capture source for the program's life:
// the region-selection window, the marker around the recorded area, the
// cursor hook library and the mirror-driver release. The two windows are
// top-level (the marker must stay up while the main window is minimised), so
// this holder destroys them with the main window.
#include <atomic>
#include <string>

#include "capture/cursor_hook.h"
#include "capture/mirror_driver_release.h"
#include "capture/region_border.h"
#include "capture/region_selection_window.h"

struct CaptureWindows {
  CaptureWindows(int screenWidth, int screenHeight, capture::RegionSelectionWindow::Actions actions,
                 const std::string& programFolder)
      : screenWidth(screenWidth),
        screenHeight(screenHeight),
        selection(new capture::RegionSelectionWindow(screenWidth, screenHeight, std::move(actions))),
        border(new capture::RegionBorder(screenWidth, screenHeight)),
        hook(programFolder) {}
  ~CaptureWindows() {
    selection->Destroy();
    border->Destroy();
  }
  CaptureWindows(const CaptureWindows&) = delete;
  CaptureWindows& operator=(const CaptureWindows&) = delete;

  int screenWidth, screenHeight;
  capture::RegionSelectionWindow* selection;
  capture::RegionBorder* border;
  capture::CursorHook hook;
  capture::MirrorDriverRelease mirror;
  bool markerEnabled = true;
  bool showCursor = true;
  // The last shape reported by the hook (0 until the first report); written
  // on the user-interface thread, read by whoever draws the pointer.
  std::atomic<unsigned long> lastCursor{0};
};
