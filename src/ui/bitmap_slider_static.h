#pragma once
// A slider drawn entirely from bitmaps: a channel that sets the control's size
// and a thumb that moves along it, with an optional "active" picture of each
// (the channel's done part, the thumb while held). Geometry and input rules
// live in ui::SliderGeometry; this window forwards input there, paints the
// result and tells its parent.
#include <wx/bitmap.h>
#include <wx/control.h>
#include <wx/event.h>

#include <cstdint>
#include <string>

#include "ui/slider_geometry.h"

// Posted to the parent with the slider's id as the event id and the position
// in GetInt(); GetExtraLong() carries the notification number the owner's
// message table knows them by.
wxDECLARE_EVENT(wxEVT_BITMAPSLIDER_MOVING, wxCommandEvent);  // 10449: dragged, position changed
wxDECLARE_EVENT(wxEVT_BITMAPSLIDER_MOVED, wxCommandEvent);   // 10450: drag ended or key used
#define EVT_BITMAPSLIDER_MOVING(id, fn) \
  wx__DECLARE_EVT1(wxEVT_BITMAPSLIDER_MOVING, id, wxCommandEventHandler(fn))
#define EVT_BITMAPSLIDER_MOVED(id, fn) \
  wx__DECLARE_EVT1(wxEVT_BITMAPSLIDER_MOVED, id, wxCommandEventHandler(fn))

class CBitmapSliderStatic : public wxControl {
 public:
  static constexpr int kMovingMsg = 10449;
  static constexpr int kMovedMsg = 10450;
  // Key colour value meaning "the colour of the bitmap's pixel at (keyX, keyY)".
  static constexpr uint32_t kKeyFromPixel = 0xFF000000;

  CBitmapSliderStatic(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  void SetRange(int minimum, int maximum);
  void SetPos(int position);  // clamped to the range
  int GetPos() const { return geometry_.position(); }
  void SetPageSize(int page) { geometry_.SetPage(page); }
  void SetMargins(int left, int top, int right, int bottom);
  void SetVertical(bool vertical);
  bool Enable(bool enable = true) override;
  void DrawFocusRect(bool draw, bool redraw = true);

  // Paths of the pictures; an empty active path means none. `key` is an RGB
  // value 0xBBGGRR or kKeyFromPixel. An empty channel path removes the
  // channel. The control takes the channel's size. Returns false (and keeps
  // nothing of this call) when a picture cannot be loaded.
  bool SetChannelBitmaps(const std::string& channel, const std::string& activeChannel,
                         bool transparent = false, uint32_t key = kKeyFromPixel, int keyX = 0,
                         int keyY = 0);
  bool SetThumbBitmaps(const std::string& thumb, const std::string& activeThumb,
                       bool transparent = false, uint32_t key = kKeyFromPixel, int keyX = 0,
                       int keyY = 0);

  const ui::SliderGeometry& geometry() const { return geometry_; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnKeyDown(wxKeyEvent& event);
  void OnFocus(wxFocusEvent& event);
  int Along(const wxPoint& p) const { return geometry_.vertical() ? p.y : p.x; }
  void Notify(ui::SliderNotify what);
  void UpdateControlSize();

  ui::SliderGeometry geometry_;
  wxBitmap channel_, activeChannel_, thumb_, activeThumb_;
  bool drawFocusRect_ = true;
};
