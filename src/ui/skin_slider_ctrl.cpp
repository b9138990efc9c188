#include "ui/skin_slider_ctrl.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>

#include <algorithm>
#include <cstdint>

#include "ui/hover_button.h"
#include "ui/image_strip.h"

namespace ui {

namespace {
const wxColour kSkinKey(255, 0, 255);
}

int SkinSliderGeometry::Clamp(int position) const {
  return std::clamp(position, std::min(minimum, maximum), std::max(minimum, maximum));
}

wxRect SkinSliderGeometry::ChannelRect() const {
  return wxRect(kChannelMargin, (height - channelHeight) / 2,
                std::max(0, width - 2 * kChannelMargin), channelHeight);
}

// Both directions round to the nearest, so a position's pixel maps back to
// that very position whenever the channel has at least half a pixel per step.
int SkinSliderGeometry::PixelOf(int position) const {
  const wxRect channel = ChannelRect();
  const int64_t span = std::max(0, channel.width - 1);
  const int64_t range = maximum - minimum;
  if (range <= 0) return channel.x;
  const int64_t along = Clamp(position) - minimum;
  return channel.x + static_cast<int>((2 * span * along + range) / (2 * range));
}

int SkinSliderGeometry::PositionOf(int pixel) const {
  const wxRect channel = ChannelRect();
  const int64_t span = std::max(0, channel.width - 1);
  const int64_t range = maximum - minimum;
  if (span == 0 || range <= 0) return minimum;
  const int64_t along = std::clamp<int64_t>(pixel - channel.x, 0, span);
  return minimum + static_cast<int>((2 * range * along + span) / (2 * span));
}

wxRect SkinSliderGeometry::ThumbRect(int position) const {
  const int tall = std::min(height, thumbBitmapHeight > 0 ? thumbBitmapHeight : kThumbRectHeight);
  return wxRect(PixelOf(position) - kThumbRectWidth / 2, (height - tall) / 2, kThumbRectWidth,
                tall);
}

int SkinSliderGeometry::ThumbOffset() const {
  return thumbBitmapWidth > 0 ? (kThumbRectWidth - thumbBitmapWidth) / 2 : 0;
}

wxPoint SkinSliderGeometry::ThumbBitmapAt(int position) const {
  const wxRect thumb = ThumbRect(position);
  return wxPoint(thumb.x + ThumbOffset(), thumb.y);
}

int SliderKeyStep(int keyCode, int position, int minimum, int maximum, int line, int page,
                  bool* handled) {
  *handled = true;
  int next = position;
  switch (keyCode) {
    case WXK_LEFT:
    case WXK_UP:
    case WXK_NUMPAD_LEFT:
    case WXK_NUMPAD_UP: next -= line; break;
    case WXK_RIGHT:
    case WXK_DOWN:
    case WXK_NUMPAD_RIGHT:
    case WXK_NUMPAD_DOWN: next += line; break;
    case WXK_PAGEUP:
    case WXK_NUMPAD_PAGEUP: next -= page; break;
    case WXK_PAGEDOWN:
    case WXK_NUMPAD_PAGEDOWN: next += page; break;
    case WXK_HOME:
    case WXK_NUMPAD_HOME: next = minimum; break;
    case WXK_END:
    case WXK_NUMPAD_END: next = maximum; break;
    default: *handled = false; break;
  }
  return std::clamp(next, std::min(minimum, maximum), std::max(minimum, maximum));
}

}  // namespace ui

namespace {

wxBitmap LoadKeyed(const std::string& path, bool transparent) {
  wxBitmap bitmap = LoadSkinBitmap(path);
  if (bitmap.IsOk() && transparent) ui::ApplyKeyColour(bitmap, ui::kSkinKey);
  return bitmap;
}

}  // namespace

CSkinSliderCtrl::CSkinSliderCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                 const wxSize& size)
    // The slider takes the arrow keys; Tab is passed on by hand.
    : wxControl(parent, id, pos, size, wxBORDER_NONE | wxWANTS_CHARS) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  const wxSize client = GetClientSize();
  geometry_.width = client.x;
  geometry_.height = client.y;
  Bind(wxEVT_PAINT, &CSkinSliderCtrl::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CSkinSliderCtrl::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CSkinSliderCtrl::OnLeftDown, this);
  Bind(wxEVT_MOTION, &CSkinSliderCtrl::OnMotion, this);
  Bind(wxEVT_LEFT_UP, &CSkinSliderCtrl::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &CSkinSliderCtrl::OnCaptureLost, this);
  Bind(wxEVT_KEY_DOWN, &CSkinSliderCtrl::OnKeyDown, this);
  Bind(wxEVT_SIZE, &CSkinSliderCtrl::OnSize, this);
}

bool CSkinSliderCtrl::SetChannelBitmap(const std::string& path, bool transparent) {
  wxBitmap channel = LoadKeyed(path, transparent);
  if (!channel.IsOk()) return false;
  channel_ = channel;
  geometry_.channelHeight = channel_.GetHeight();
  // Widen (or narrow) the control by what the channel lacks.
  const wxSize client = GetClientSize();
  const int width = client.x + channel_.GetWidth() - geometry_.ChannelRect().width;
  SetClientSize(width, client.y);
  geometry_.width = width;
  Refresh(false);
  return true;
}

bool CSkinSliderCtrl::SetThumbBitmaps(const std::string& path, const std::string& activePath,
                                      bool transparent) {
  wxBitmap thumb = LoadKeyed(path, transparent), active = LoadKeyed(activePath, transparent);
  if (!thumb.IsOk() || !active.IsOk()) return false;
  thumb_ = thumb;
  activeThumb_ = active;
  geometry_.thumbBitmapWidth = thumb_.GetWidth();
  geometry_.thumbBitmapHeight = thumb_.GetHeight();
  Refresh(false);
  return true;
}

void CSkinSliderCtrl::SetBackdrop(std::function<void(wxDC&)> paintParent) {
  backdrop_ = std::move(paintParent);
  Refresh(false);
}

void CSkinSliderCtrl::SetRange(int minimum, int maximum) {
  geometry_.minimum = minimum;
  geometry_.maximum = maximum;
  position_ = geometry_.Clamp(position_);
  Refresh(false);
}

int CSkinSliderCtrl::SetPos(int position) {
  position_ = geometry_.Clamp(position);
  Refresh(false);
  return position_;
}

int CSkinSliderCtrl::RefreshPos() {
  wxRect area = geometry_.ChannelRect().Union(geometry_.ThumbRect(position_));
  area.Inflate(std::abs(geometry_.ThumbOffset()), 0);
  RefreshRect(area, false);
  return position_;
}

void CSkinSliderCtrl::UserMove(int position, bool always) {
  const int next = geometry_.Clamp(position);
  const bool changed = next != position_;
  position_ = next;
  if (changed) Refresh(false);
  if (!changed && !always) return;
  wxCommandEvent event(wxEVT_SLIDER, GetId());
  event.SetEventObject(this);
  event.SetInt(position_);
  HandleWindowEvent(event);  // a command event: it travels on to the parent
}

void CSkinSliderCtrl::OnLeftDown(wxMouseEvent& event) {
  if (!IsEnabled()) return;
  if (!HasCapture()) CaptureMouse();
  SetFocus();
  held_ = true;
  const int x = event.GetPosition().x;
  const int centre = geometry_.PixelOf(position_);
  const int half =
      std::max(geometry_.thumbBitmapWidth, int(ui::SkinSliderGeometry::kThumbRectWidth)) / 2;
  // On the thumb it is held where it was hit; elsewhere it jumps under the pointer.
  grabOffset_ = std::abs(x - centre) <= half ? x - centre : 0;
  UserMove(geometry_.PositionOf(x - grabOffset_), false);
  Refresh(false);
}

void CSkinSliderCtrl::OnMotion(wxMouseEvent& event) {
  if (!held_ || !IsEnabled()) return;
  UserMove(geometry_.PositionOf(event.GetPosition().x - grabOffset_), false);
}

void CSkinSliderCtrl::OnLeftUp(wxMouseEvent&) {
  if (HasCapture()) ReleaseMouse();
  if (!held_) return;
  held_ = false;
  Refresh(false);
  UserMove(position_, true);
}

void CSkinSliderCtrl::OnCaptureLost(wxMouseCaptureLostEvent&) {
  // Another window took the pointer: the drag ends where the thumb is.
  if (!held_) return;
  held_ = false;
  Refresh(false);
  UserMove(position_, true);
}

void CSkinSliderCtrl::OnKeyDown(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_TAB) {
    Navigate(event.ShiftDown() ? wxNavigationKeyEvent::IsBackward
                               : wxNavigationKeyEvent::IsForward);
    return;
  }
  bool handled = false;
  const int next = ui::SliderKeyStep(event.GetKeyCode(), position_, geometry_.minimum,
                                     geometry_.maximum, line_, page_, &handled);
  if (!handled || !IsEnabled()) return event.Skip();
  UserMove(next, false);
}

void CSkinSliderCtrl::OnSize(wxSizeEvent& event) {
  const wxSize client = GetClientSize();
  geometry_.width = client.x;
  geometry_.height = client.y;
  Refresh(false);
  event.Skip();
}

void CSkinSliderCtrl::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  Render(dc);
}

void CSkinSliderCtrl::Render(wxDC& dc) {
  const wxSize size = GetClientSize();
  const wxWindow* parent = GetParent();
  dc.SetBackground(wxBrush(parent ? parent->GetBackgroundColour() : GetBackgroundColour()));
  dc.Clear();
  if (backdrop_ && parent) {
    // The parent paints in its own coordinates; only our part lands here.
    const wxPoint at = GetPosition();
    dc.SetDeviceOrigin(-at.x, -at.y);
    dc.SetClippingRegion(at, size);
    backdrop_(dc);
    dc.DestroyClippingRegion();
    dc.SetDeviceOrigin(0, 0);
  }
  const wxRect channel = geometry_.ChannelRect();
  if (channel_.IsOk()) {
    dc.DrawBitmap(channel_, channel.GetTopLeft(), true);
  } else {
    // The plain channel: a sunken groove.
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT)));
    dc.DrawRectangle(channel);
  }
  if (thumb_.IsOk()) {
    dc.DrawBitmap(held_ ? activeThumb_ : thumb_, geometry_.ThumbBitmapAt(position_), true);
  } else {
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.SetBrush(wxBrush(
        wxSystemSettings::GetColour(held_ ? wxSYS_COLOUR_BTNHIGHLIGHT : wxSYS_COLOUR_BTNFACE)));
    dc.DrawEllipse(geometry_.ThumbRect(position_));
  }
}
