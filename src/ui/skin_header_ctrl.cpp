#include "ui/skin_header_ctrl.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>

#include "ui/hover_button.h"
#include "ui/image_strip.h"

CSkinHeaderCtrl::CSkinHeaderCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                 const wxSize& size)
    : wxWindow(parent, id, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE),
      highlight_(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT)),
      face_(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)),
      shadow_(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  font_ = wxFontInfo(wxSize(0, 16)).FaceName("Liberation Sans");
  Bind(wxEVT_PAINT, &CSkinHeaderCtrl::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CSkinHeaderCtrl::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CSkinHeaderCtrl::OnLeftDown, this);
}

void CSkinHeaderCtrl::InsertItem(int index, const Item& item) {
  index = std::clamp(index, 0, GetItemCount());
  items_.insert(items_.begin() + index, item);
  Refresh(false);
}

void CSkinHeaderCtrl::SetItemImage(int index, int image) {
  if (index < 0 || index >= GetItemCount() || items_[index].image == image) return;
  items_[index].image = image;
  Refresh(false);
}

int CSkinHeaderCtrl::ItemLeft(int index) const {
  int x = 0;
  for (int i = 0; i < index && i < GetItemCount(); ++i) x += items_[i].width;
  return x;
}

int CSkinHeaderCtrl::HitTest(int x) const {
  int left = 0;
  for (int i = 0; i < GetItemCount(); ++i) {
    if (x >= left && x < left + items_[i].width) return i;
    left += items_[i].width;
  }
  return -1;
}

int CSkinHeaderCtrl::GetCheck(int index) const {
  if (index < 0 || index >= GetItemCount()) return -1;
  const int image = items_[index].image;
  return image == 0 || image == 1 ? image : -1;
}

void CSkinHeaderCtrl::SetCheck(int index, int state) { SetItemImage(index, state); }

bool CSkinHeaderCtrl::SetBackgroundBitmap(const std::string& path) {
  background_ = LoadSkinBitmap(path);
  Refresh(false);
  return background_.IsOk();
}

bool CSkinHeaderCtrl::SetImageStrip(const std::string& path, int imageWidth, const wxColour& key) {
  images_ = ui::LoadImageStrip(path, imageWidth, key);
  Refresh(false);
  return !images_.empty();
}

void CSkinHeaderCtrl::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  if (background_.IsOk()) {
    // Stretched over the whole header, whatever its width.
    wxMemoryDC source(background_);
    dc.StretchBlit(0, 0, size.x, size.y, &source, 0, 0, background_.GetWidth(),
                   background_.GetHeight());
  } else {
    dc.SetBackground(wxBrush(face_));
    dc.Clear();
  }
  dc.SetFont(font_);
  dc.SetTextForeground(textColour_);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  int left = 0;
  for (const Item& item : items_) {
    const wxRect full(left, 0, item.width, size.y);
    left += item.width;
    if (item.width <= 0) continue;
    wxRect inner = full;
    inner.Deflate(kGap, 0);
    dc.SetClippingRegion(full);
    if (item.image >= 0 && item.image < static_cast<int>(images_.size())) {
      const wxBitmap& image = images_[item.image];
      const int y = (size.y - image.GetHeight()) / 2;
      if (item.imageOnRight) {
        dc.DrawBitmap(image, inner.GetRight() - image.GetWidth() + 1, y, true);
        inner.width -= image.GetWidth() + kGap;
      } else {
        dc.DrawBitmap(image, inner.x, y, true);
        inner.x += image.GetWidth() + kGap;
        inner.width -= image.GetWidth() + kGap;
      }
    }
    const wxString text = wxControl::Ellipsize(item.text, dc, wxELLIPSIZE_END, inner.width);
    dc.DrawLabel(text, inner, item.align | wxALIGN_CENTER_VERTICAL);
    dc.DestroyClippingRegion();
    // Separator: a highlight line, then a shadow line, at the item's right edge.
    dc.SetPen(wxPen(highlight_));
    dc.DrawLine(full.GetRight() - 1, 2, full.GetRight() - 1, size.y - 2);
    dc.SetPen(wxPen(shadow_));
    dc.DrawLine(full.GetRight(), 2, full.GetRight(), size.y - 2);
  }
}

void CSkinHeaderCtrl::OnLeftDown(wxMouseEvent& event) {
  const int index = HitTest(event.GetX());
  if (index >= 0 && onItemClick_) onItemClick_(index);
}
