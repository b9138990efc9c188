#pragma once
// A plain area showing one bitmap stretched over it; blank when the bitmap is
// missing. The recordings list shows its background this way while empty.
#include <wx/bitmap.h>
#include <wx/panel.h>

class CBitmapPanel : public wxPanel {
 public:
  CBitmapPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
               const wxBitmap& bitmap);
  void SetBitmap(const wxBitmap& bitmap);

 private:
  void OnPaint(wxPaintEvent& event);
  wxBitmap bitmap_;
};
