#pragma once
// The area a preview draws its pictures in: a child window with an X window
// of its own, which the preview's display layer draws into from its own
// connection. While nothing is shown there it shows its idle picture (the
// empty screen); when the toolkit repaints it over a picture, the owner's
// redraw brings the picture back.
#include <wx/bitmap.h>
#include <wx/window.h>

#include <functional>

class PreviewWindow : public wxWindow {
 public:
  PreviewWindow(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                const wxBitmap& idle);

  // The X window's id, made on the first call; 0 without one.
  unsigned long NativeId();
  // Asked after each repaint to present the picture again; true when it
  // did, false when there is none (the idle picture stays).
  void SetRedraw(std::function<bool()> redraw) { redraw_ = std::move(redraw); }

 private:
  void OnPaint(wxPaintEvent& event);
  void AfterPaint();

  wxBitmap idle_;
  std::function<bool()> redraw_;
  bool showsPicture_ = false;
  unsigned long nativeId_ = 0;
};
