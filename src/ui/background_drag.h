#pragma once
// Moves a caption-less top-level window when the user presses on its own
// background and drags, the way a title bar would.
#include <wx/event.h>
#include <wx/gdicmn.h>

class wxWindow;

class BackgroundDrag : public wxEvtHandler {
 public:
  // `surface` is the window whose background is pressed (the top-level window
  // itself or a panel filling it); the surface's top-level parent moves.
  explicit BackgroundDrag(wxWindow* surface);
  ~BackgroundDrag() override;
  BackgroundDrag(const BackgroundDrag&) = delete;
  BackgroundDrag& operator=(const BackgroundDrag&) = delete;

  bool dragging() const { return dragging_; }

 private:
  void OnLeftDown(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void Stop();

  wxWindow* surface_;
  bool dragging_ = false;
  wxPoint grabOffset_;  // pointer position relative to the window's origin
};
