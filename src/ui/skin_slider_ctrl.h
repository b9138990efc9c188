#pragma once
// The edit dialogs' horizontal trackbar, drawn by us from bitmaps: a channel
// bitmap that sets the channel's exact length, a thumb at rest and while
// held, magenta (255, 0, 255) as the transparency key of both, and a round
// thumb when no thumb bitmaps are given. Geometry lives in plain functions
// (ui::SkinSliderGeometry) so it is testable without a window.
//
// User changes reach the parent as wxEVT_SLIDER (a wxCommandEvent, GetId()
// the control's id, GetInt() the position): on every change while the thumb
// is dragged, on release, and on each key that moves it. SetPos sends none.
#include <wx/bitmap.h>
#include <wx/control.h>
#include <wx/event.h>

#include <functional>
#include <string>

class wxDC;

namespace ui {

// The trackbar's geometry along x, in control pixels.
struct SkinSliderGeometry {
  // Space left of and right of the channel: half the widest thumb, so the
  // thumb's picture stays inside the control at both ends of its travel.
  static constexpr int kChannelMargin = 8;
  static constexpr int kDefaultChannelHeight = 4;
  // The thumb rectangle's own size (the round thumb's); a thumb bitmap of a
  // different width is drawn shifted by the thumb offset to stay centred.
  static constexpr int kThumbRectWidth = 11;
  static constexpr int kThumbRectHeight = 20;

  int width = 0, height = 0;  // control client size
  int minimum = 0, maximum = 100;
  int channelHeight = kDefaultChannelHeight;
  int thumbBitmapWidth = 0, thumbBitmapHeight = 0;  // 0: round thumb

  wxRect ChannelRect() const;
  wxRect ThumbRect(int position) const;
  // (thumb rectangle width - thumb bitmap width) / 2; 0 for the round thumb.
  int ThumbOffset() const;
  // Where the thumb's picture is drawn for `position`.
  wxPoint ThumbBitmapAt(int position) const;
  // The thumb centre's x for a position (the channel from its first to its
  // last pixel spans the range), and the position nearest to an x.
  int PixelOf(int position) const;
  int PositionOf(int pixel) const;
  int Clamp(int position) const;
  // The control width that makes the channel exactly `channelLength` long.
  static int WidthForChannel(int channelLength) { return channelLength + 2 * kChannelMargin; }
};

// A key's new position from `position` (arrows move by `line`, Page Up/Down
// by `page`, Home/End to the ends), clamped; `handled` false for other keys.
int SliderKeyStep(int keyCode, int position, int minimum, int maximum, int line, int page,
                  bool* handled);

}  // namespace ui

class CSkinSliderCtrl : public wxControl {
 public:
  CSkinSliderCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  // Loads the channel picture and widens the control so that the channel is
  // exactly as long as the picture. False (default channel kept) when the
  // file is missing or unreadable.
  bool SetChannelBitmap(const std::string& path, bool transparent);
  // Thumb at rest and while held; false (round thumb kept) when either is
  // missing or unreadable.
  bool SetThumbBitmaps(const std::string& path, const std::string& activePath, bool transparent);
  // Paints what lies behind the control (the parent's skin), in the
  // parent's client coordinates; magenta pixels of thumb and channel show
  // it. Without one the parent's background colour is behind.
  void SetBackdrop(std::function<void(wxDC& dc)> paintParent);

  void SetRange(int minimum, int maximum);
  void SetLineSize(int line) { line_ = line; }
  void SetPageSize(int page) { page_ = page; }
  // Sets the position (clamped), redraws, and returns the position read back.
  int SetPos(int position);
  int GetPos() const { return position_; }
  // Redraws channel and thumb and returns the current position; owners call
  // it when a wxEVT_SLIDER arrives, before reading the position.
  int RefreshPos();

  bool held() const { return held_; }
  const ui::SkinSliderGeometry& geometry() const { return geometry_; }
  // Draws the whole control as it appears on screen (tests read it back).
  void Render(wxDC& dc);

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnKeyDown(wxKeyEvent& event);
  void OnSize(wxSizeEvent& event);
  // Takes `position` from the user; tells the parent when it changed or `always`.
  void UserMove(int position, bool always);

  ui::SkinSliderGeometry geometry_;
  wxBitmap channel_, thumb_, activeThumb_;
  std::function<void(wxDC&)> backdrop_;
  int position_ = 0;
  int line_ = 1, page_ = 1;
  bool held_ = false;
  int grabOffset_ = 0;  // pointer x - thumb centre when the thumb was grabbed
};
