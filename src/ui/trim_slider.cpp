#include "ui/trim_slider.h"

#include <wx/dcbuffer.h>

#include "base/log.h"
#include "ui/hover_button.h"
#include "ui/image_strip.h"

wxDEFINE_EVENT(wxEVT_TRIM_SLIDER, wxCommandEvent);

namespace {

// Magenta, the skin's key for thumbs and markers.
const wxColour kKey(255, 0, 255);

wxBitmap Load(const std::string& path, bool keyed, bool& allLoaded) {
  wxBitmap bitmap = LoadSkinBitmap(path);
  if (!bitmap.IsOk()) {
    base::Log(base::Level::kWarning, "ui", "trim slider picture " + path + " did not load");
    allLoaded = false;
  } else if (keyed) {
    ui::ApplyKeyColour(bitmap, kKey);
  }
  return bitmap;
}

wxSize SizeOf(const wxBitmap& bitmap) { return bitmap.IsOk() ? bitmap.GetSize() : wxSize(0, 0); }

}  // namespace

CTrimSlider::CTrimSlider(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CTrimSlider::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CTrimSlider::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CTrimSlider::OnLeftDown, this);
  Bind(wxEVT_MOTION, &CTrimSlider::OnMotion, this);
  Bind(wxEVT_LEFT_UP, &CTrimSlider::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &CTrimSlider::OnCaptureLost, this);
  UpdateSizes();
}

bool CTrimSlider::SetBitmaps(const std::string& thumb, const std::string& activeThumb,
                             const std::string& range, const std::string& channel,
                             const std::string& startMarker, const std::string& endMarker) {
  bool allLoaded = true;
  thumb_ = Load(thumb, true, allLoaded);
  activeThumb_ = Load(activeThumb, true, allLoaded);
  range_ = Load(range, false, allLoaded);
  channel_ = Load(channel, false, allLoaded);
  startMarker_ = Load(startMarker, true, allLoaded);
  endMarker_ = Load(endMarker, true, allLoaded);
  if (channel_.IsOk()) SetSize(channel_.GetSize());
  UpdateSizes();
  return allLoaded;
}

void CTrimSlider::UpdateSizes() {
  const wxSize client = GetClientSize();
  const wxSize thumb = SizeOf(thumb_), marker = SizeOf(startMarker_);
  geometry_.SetSizes(client.x, client.y, thumb.x, thumb.y, marker.x, marker.y,
                     SizeOf(range_).y);
  Refresh(false);
}

void CTrimSlider::SetRange(int minimum, int maximum) {
  geometry_.SetRange(minimum, maximum);
  Refresh(false);
}

void CTrimSlider::SetPos(int value) {
  geometry_.SetPosition(value);
  Refresh(false);
}

void CTrimSlider::SetStart(int value) {
  geometry_.SetStart(value);
  Refresh(false);
}

void CTrimSlider::SetEnd(int value) {
  geometry_.SetEnd(value);
  Refresh(false);
}

void CTrimSlider::SetMarkers(int start, int end) {
  geometry_.SetMarkers(start, end);
  Refresh(false);
}

void CTrimSlider::Post(const std::vector<ui::TrimNotice>& notices) {
  if (!GetParent()) return;
  for (const ui::TrimNotice& notice : notices) {
    auto* event = new wxCommandEvent(wxEVT_TRIM_SLIDER, GetId());
    event->SetEventObject(this);
    event->SetInt(notice.value);
    event->SetExtraLong(notice.code);
    wxQueueEvent(GetParent(), event);
  }
}

void CTrimSlider::OnLeftDown(wxMouseEvent& event) {
  if (!HasCapture()) CaptureMouse();
  geometry_.ButtonDown(event.GetX(), event.GetY());
  Refresh(false);
}

void CTrimSlider::OnMotion(wxMouseEvent& event) {
  const std::vector<ui::TrimNotice> notices = geometry_.Move(event.GetX());
  if (notices.empty()) return;
  Refresh(false);
  Post(notices);
}

void CTrimSlider::OnLeftUp(wxMouseEvent&) {
  if (HasCapture()) ReleaseMouse();
  Post(geometry_.ButtonUp());
  Refresh(false);
}

void CTrimSlider::OnCaptureLost(wxMouseCaptureLostEvent&) {
  // Another window took the pointer: the drag ends where the part is.
  Post(geometry_.ButtonUp());
  Refresh(false);
}

void CTrimSlider::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  const wxWindow* behind = GetParent() ? GetParent() : this;
  dc.SetBackground(wxBrush(behind->GetBackgroundColour()));
  dc.Clear();
  auto stretch = [&dc](const wxBitmap& bitmap, const ui::TrimRect& to) {
    if (!bitmap.IsOk() || to.width <= 0 || to.height <= 0) return;
    if (bitmap.GetWidth() == to.width && bitmap.GetHeight() == to.height)
      return dc.DrawBitmap(bitmap, to.x, to.y, true);
    wxImage scaled = bitmap.ConvertToImage().Scale(to.width, to.height);
    dc.DrawBitmap(wxBitmap(scaled), to.x, to.y, true);
  };
  stretch(channel_, {0, 0, size.x, size.y});
  stretch(range_, geometry_.RangeRect());
  const bool thumbHeld = geometry_.dragged() == ui::TrimPart::Thumb && activeThumb_.IsOk();
  stretch(thumbHeld ? activeThumb_ : thumb_, geometry_.ThumbRect());
  stretch(startMarker_, geometry_.StartRect());
  stretch(endMarker_, geometry_.EndRect());
}
