#include "ui/bitmap_slider_static.h"

#include <wx/dcbuffer.h>

#include "ui/hover_button.h"
#include "ui/image_strip.h"

wxDEFINE_EVENT(wxEVT_BITMAPSLIDER_MOVING, wxCommandEvent);
wxDEFINE_EVENT(wxEVT_BITMAPSLIDER_MOVED, wxCommandEvent);

namespace {

// Loads a picture and, when transparent, masks its key colour. An empty path
// gives an invalid bitmap and counts as loaded.
bool LoadPicture(const std::string& path, bool transparent, uint32_t key, int keyX, int keyY,
                 wxBitmap& out) {
  out = wxBitmap();
  if (path.empty()) return true;
  out = LoadSkinBitmap(path);
  if (!out.IsOk()) return false;
  if (transparent) {
    const bool fromPixel = key == CBitmapSliderStatic::kKeyFromPixel;
    ui::ApplyKeyColour(out, wxColour(key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF),
                       fromPixel, keyX, keyY);
  }
  return true;
}

}  // namespace

CBitmapSliderStatic::CBitmapSliderStatic(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                         const wxSize& size)
    // The slider wants the arrow keys; Tab is passed on by hand below.
    : wxControl(parent, id, pos, size, wxBORDER_NONE | wxWANTS_CHARS) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  geometry_.SetControlSize(size.x, size.y);
  Bind(wxEVT_PAINT, &CBitmapSliderStatic::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CBitmapSliderStatic::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CBitmapSliderStatic::OnLeftDown, this);
  Bind(wxEVT_MOTION, &CBitmapSliderStatic::OnMotion, this);
  Bind(wxEVT_LEFT_UP, &CBitmapSliderStatic::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &CBitmapSliderStatic::OnCaptureLost, this);
  Bind(wxEVT_KEY_DOWN, &CBitmapSliderStatic::OnKeyDown, this);
  Bind(wxEVT_SET_FOCUS, &CBitmapSliderStatic::OnFocus, this);
  Bind(wxEVT_KILL_FOCUS, &CBitmapSliderStatic::OnFocus, this);
  // Whoever resizes the control, the travel follows its client size.
  Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    const wxSize client = GetClientSize();
    geometry_.SetControlSize(client.x, client.y);
    Refresh(false);
    event.Skip();
  });
}

void CBitmapSliderStatic::SetRange(int minimum, int maximum) {
  geometry_.SetRange(minimum, maximum);
  Refresh(false);
}

void CBitmapSliderStatic::SetPos(int position) {
  geometry_.SetPosition(position);
  Refresh(false);
}

void CBitmapSliderStatic::SetMargins(int left, int top, int right, int bottom) {
  geometry_.SetMargins(left, top, right, bottom);
  Refresh(false);
}

void CBitmapSliderStatic::SetVertical(bool vertical) {
  geometry_.SetVertical(vertical);
  Refresh(false);
}

bool CBitmapSliderStatic::Enable(bool enable) {
  const bool changed = wxControl::Enable(enable);
  Refresh(false);
  return changed;
}

void CBitmapSliderStatic::DrawFocusRect(bool draw, bool redraw) {
  drawFocusRect_ = draw;
  if (redraw) Refresh(false);
}

bool CBitmapSliderStatic::SetChannelBitmaps(const std::string& channel,
                                            const std::string& activeChannel, bool transparent,
                                            uint32_t key, int keyX, int keyY) {
  wxBitmap plain, active;
  if (!LoadPicture(channel, transparent, key, keyX, keyY, plain) ||
      !LoadPicture(activeChannel, transparent, key, keyX, keyY, active))
    return false;
  channel_ = plain;
  activeChannel_ = channel_.IsOk() ? active : wxBitmap();
  UpdateControlSize();
  return true;
}

bool CBitmapSliderStatic::SetThumbBitmaps(const std::string& thumb, const std::string& activeThumb,
                                          bool transparent, uint32_t key, int keyX, int keyY) {
  wxBitmap plain, active;
  if (!LoadPicture(thumb, transparent, key, keyX, keyY, plain) ||
      !LoadPicture(activeThumb, transparent, key, keyX, keyY, active))
    return false;
  thumb_ = plain;
  activeThumb_ = active;
  geometry_.SetThumbSize(thumb_.IsOk() ? thumb_.GetWidth() : 0,
                         thumb_.IsOk() ? thumb_.GetHeight() : 0);
  UpdateControlSize();
  return true;
}

void CBitmapSliderStatic::UpdateControlSize() {
  // With a channel the control is exactly as large as it; without one its own
  // client size is the travel.
  if (channel_.IsOk()) SetClientSize(channel_.GetWidth(), channel_.GetHeight());
  const wxSize size = GetClientSize();
  geometry_.SetControlSize(size.x, size.y);
  Refresh(false);
}

void CBitmapSliderStatic::Notify(ui::SliderNotify what) {
  if (what == ui::SliderNotify::None || !GetParent()) return;
  const bool moving = what == ui::SliderNotify::Moving;
  auto* event = new wxCommandEvent(moving ? wxEVT_BITMAPSLIDER_MOVING : wxEVT_BITMAPSLIDER_MOVED,
                                   GetId());
  event->SetEventObject(this);
  event->SetInt(GetPos());
  event->SetExtraLong(moving ? kMovingMsg : kMovedMsg);
  wxQueueEvent(GetParent(), event);
}

void CBitmapSliderStatic::OnLeftDown(wxMouseEvent& event) {
  if (!IsEnabled()) return;
  if (!HasCapture()) CaptureMouse();
  SetFocus();
  Notify(geometry_.ButtonDown(Along(event.GetPosition())));
  Refresh(false);
}

void CBitmapSliderStatic::OnMotion(wxMouseEvent& event) {
  if (!IsEnabled() || !geometry_.dragging()) return;
  const ui::SliderNotify what = geometry_.Move(Along(event.GetPosition()));
  if (what != ui::SliderNotify::None) Refresh(false);
  Notify(what);
}

void CBitmapSliderStatic::OnLeftUp(wxMouseEvent&) {
  if (!IsEnabled()) return;
  if (HasCapture()) ReleaseMouse();
  if (!geometry_.dragging()) return;
  Notify(geometry_.ButtonUp());
  Refresh(false);
}

void CBitmapSliderStatic::OnCaptureLost(wxMouseCaptureLostEvent&) {
  // Another window took the pointer: the drag ends where the thumb is.
  if (geometry_.dragging()) Notify(geometry_.ButtonUp());
  Refresh(false);
}

void CBitmapSliderStatic::OnKeyDown(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_TAB) {
    Navigate(event.ShiftDown() ? wxNavigationKeyEvent::IsBackward
                               : wxNavigationKeyEvent::IsForward);
    return;
  }
  if (!IsEnabled()) return event.Skip();
  ui::SliderKey key;
  switch (event.GetKeyCode()) {
    case WXK_PAGEUP: case WXK_NUMPAD_PAGEUP: key = ui::SliderKey::PageUp; break;
    case WXK_PAGEDOWN: case WXK_NUMPAD_PAGEDOWN: key = ui::SliderKey::PageDown; break;
    case WXK_HOME: case WXK_NUMPAD_HOME: key = ui::SliderKey::Home; break;
    case WXK_END: case WXK_NUMPAD_END: key = ui::SliderKey::End; break;
    case WXK_LEFT: case WXK_NUMPAD_LEFT: key = ui::SliderKey::Left; break;
    case WXK_RIGHT: case WXK_NUMPAD_RIGHT: key = ui::SliderKey::Right; break;
    case WXK_UP: case WXK_NUMPAD_UP: key = ui::SliderKey::Up; break;
    case WXK_DOWN: case WXK_NUMPAD_DOWN: key = ui::SliderKey::Down; break;
    default: event.Skip(); return;
  }
  Notify(geometry_.Key(key));
  Refresh(false);
}

void CBitmapSliderStatic::OnFocus(wxFocusEvent& event) {
  Refresh(false);
  event.Skip();
}

void CBitmapSliderStatic::OnPaint(wxPaintEvent&) {
  // The whole control is drawn into a memory bitmap and copied at once, so the
  // pixels under the thumb never need saving and putting back.
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  const wxWindow* behind = GetParent() ? GetParent() : this;
  dc.SetBackground(wxBrush(behind->GetBackgroundColour()));
  dc.Clear();

  const bool vertical = geometry_.vertical();
  const int centre = geometry_.ThumbCentre();
  if (channel_.IsOk()) {
    dc.DrawBitmap(channel_, 0, 0, true);
    if (activeChannel_.IsOk() && IsEnabled()) {
      // The done part, from the minimum end to the thumb centre.
      const wxRect done = vertical ? wxRect(0, 0, size.x, centre) : wxRect(0, 0, centre, size.y);
      wxDCClipper clip(dc, done);
      dc.DrawBitmap(activeChannel_, 0, 0, true);
    }
  }
  if (thumb_.IsOk() && IsEnabled()) {
    const wxBitmap& picture =
        geometry_.dragging() && activeThumb_.IsOk() ? activeThumb_ : thumb_;
    const wxPoint at = vertical
                           ? wxPoint(geometry_.marginLeft(), centre - picture.GetHeight() / 2)
                           : wxPoint(centre - picture.GetWidth() / 2, geometry_.marginTop());
    dc.DrawBitmap(picture, at, true);
  }
  if (HasFocus() && IsEnabled() && drawFocusRect_) {
    dc.SetPen(wxPen(*wxBLACK, 1, wxPENSTYLE_DOT));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(wxRect(size));
  }
}
