#pragma once
// "ShiftRegionWindow": the full-screen, topmost window in which the user drags
// the rectangle to record. It shows the screen as it was when it opened and
// draws the selection over that picture: four inverted hatched strips and a
// label with the coordinates. A close request from the desktop cancels the
// selection as the cancel key does; the window stays for the next one.
#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/image.h>

#include <functional>

#include "capture/region_geometry.h"

namespace capture {

class RegionSelectionWindow : public wxFrame {
 public:
  inline static const char* kClassName = "ShiftRegionWindow";

  struct Actions {
    std::function<void(const ScreenRect&)> committed;  // a non-empty rectangle was released
    std::function<void()> cancelled;  // the cancel key, a close request, or a release without area
  };

  // Created hidden at (0, 0) with the screen's size, titled "Title".
  RegionSelectionWindow(int screenWidth, int screenHeight, Actions actions);

  // Takes a picture of the screen and shows it over everything; the drag
  // starts with the next button press.
  void Begin();

  // Cancels an open selection as the cancel key does (for a key the desktop
  // grabs globally before the window sees it); false when none is open.
  bool Cancel();

  // The key that cancels (hot key 2's key, a wx key code).
  void SetCancelKey(int keyCode) { cancelKey_ = keyCode; }

  const RegionSelection& selection() const { return selection_; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnKeyDown(wxKeyEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnCloseRequest(wxCloseEvent& event);
  void RefreshAround(const ScreenRect& r);
  void DrawSelection(wxDC& dc, const ScreenRect& r);
  void End();

  wxWindow* surface_;  // draws and hears the input; owned by the frame
  RegionSelection selection_;
  Actions actions_;
  wxImage screen_;  // the screen as it was, RGB
  wxBitmap screenBitmap_;
  int cancelKey_ = WXK_F10;
  int labelHeight_ = 0;
};

}  // namespace capture
