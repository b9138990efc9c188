#include "ui/bitmap_panel.h"

#include <wx/dcbuffer.h>
#include <wx/image.h>

CBitmapPanel::CBitmapPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                           const wxSize& size, const wxBitmap& bitmap)
    : wxPanel(parent, id, pos, size, wxBORDER_NONE), bitmap_(bitmap) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CBitmapPanel::OnPaint, this);
}

void CBitmapPanel::SetBitmap(const wxBitmap& bitmap) {
  bitmap_ = bitmap;
  Refresh(false);
}

void CBitmapPanel::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  wxSize size = GetClientSize();
  if (!bitmap_.IsOk()) {
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    return;
  }
  if (bitmap_.GetWidth() == size.x && bitmap_.GetHeight() == size.y)
    dc.DrawBitmap(bitmap_, 0, 0, false);
  else
    dc.DrawBitmap(wxBitmap(bitmap_.ConvertToImage().Scale(size.x, size.y)), 0, 0, false);
}
