#pragma once
// The trim tool's slider, drawn from bitmaps: a play position thumb above a
// channel, and start and end markers below it with a range strip between
// them. Geometry and drag rules live in ui::TrimGeometry; this window
// forwards the mouse there, paints the result and tells its parent.
#include <wx/bitmap.h>
#include <wx/control.h>
#include <wx/event.h>

#include <string>
#include <vector>

#include "ui/trim_geometry.h"

// Posted to the parent: the slider's id as the event id, the value in
// GetInt(), the notification code (ui::TrimCode, 3073..3078) in
// TrimSliderCode().
wxDECLARE_EVENT(wxEVT_TRIM_SLIDER, wxCommandEvent);
inline int TrimSliderCode(const wxCommandEvent& event) {
  return static_cast<int>(event.GetExtraLong());
}

class CTrimSlider : public wxControl {
 public:
  CTrimSlider(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  // Full paths of the six pictures. The control takes the channel's size.
  // A picture that does not load is left out of the drawing; false then.
  bool SetBitmaps(const std::string& thumb, const std::string& activeThumb,
                  const std::string& range, const std::string& channel,
                  const std::string& startMarker, const std::string& endMarker);

  void SetRange(int minimum, int maximum);  // start and position to the minimum, end to the maximum
  void SetPos(int value);
  void SetStart(int value);
  void SetEnd(int value);
  void SetMarkers(int start, int end);
  int GetPos() const { return geometry_.position(); }
  int GetStart() const { return geometry_.start(); }
  int GetEnd() const { return geometry_.end(); }
  const ui::TrimGeometry& geometry() const { return geometry_; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void Post(const std::vector<ui::TrimNotice>& notices);
  void UpdateSizes();

  ui::TrimGeometry geometry_;
  wxBitmap thumb_, activeThumb_, range_, channel_, startMarker_, endMarker_;
};
