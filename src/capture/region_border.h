#pragma once
// The marker around the recorded area: four L-shaped brackets in a shaped,
// topmost window ("Flashing"). The user drags it with the size-all cursor to
// move the recorded area; the move is clamped to the screen and published to
// the capture thread. While a recording runs, the capture thread repaints it
// through its own display connection (see capture/frame_grab.h). A close
// request from the desktop hides it; it is never destroyed before its owner
// lets it go.
#include <wx/frame.h>

#include "capture/frame_grab.h"
#include "capture/region_geometry.h"

namespace capture {

class RegionBorder : public wxFrame {
 public:
  // Created hidden over the whole screen.
  RegionBorder(int screenWidth, int screenHeight);

  // Shapes the brackets around the area of width x height at (x, y).
  void ShapeAround(int x, int y, int width, int height);

  // The server id of the window, for the capture thread's painting; the
  // window is realised on the first call.
  unsigned long NativeId();

  // Where moves are published; lives as long as the window.
  PublishedMove& published() { return published_; }
  const ScreenRect& marked() const { return marked_; }

  void EnableDrag(bool on) { dragEnabled_ = on; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnCloseRequest(wxCloseEvent& event);

  int screenWidth_, screenHeight_;
  ScreenRect marked_;
  PublishedMove published_;
  bool dragEnabled_ = true;
  wxPoint dragStart_;
};

}  // namespace capture
