#include "ui/icon_check_box.h"

#include <wx/dcbuffer.h>

#include "ui/hover_button.h"

wxBEGIN_EVENT_TABLE(CIconCheckBox, wxControl)
  EVT_PAINT(CIconCheckBox::OnPaint)
  EVT_LEFT_UP(CIconCheckBox::OnLeftUp)
wxEND_EVENT_TABLE()

CIconCheckBox::CIconCheckBox(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
}

void CIconCheckBox::SetIcons(const std::string& uncheckedPath, const std::string& checkedPath) {
  unchecked_ = LoadSkinBitmap(uncheckedPath);
  checkedBitmap_ = LoadSkinBitmap(checkedPath);
  Refresh(false);
}

void CIconCheckBox::SetCheck(int state) {
  checked_ = state == 1 || state == 2;
  Refresh(false);
}

void CIconCheckBox::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(GetParent()->GetBackgroundColour());
  dc.Clear();
  const wxBitmap& bmp = checked_ ? checkedBitmap_ : unchecked_;
  if (bmp.IsOk()) {
    wxSize size = GetClientSize();
    dc.DrawBitmap(bmp, (size.x - bmp.GetWidth()) / 2, (size.y - bmp.GetHeight()) / 2, true);
  }
}

void CIconCheckBox::OnLeftUp(wxMouseEvent& event) {
  if (!wxRect(GetClientSize()).Contains(event.GetPosition())) return;
  checked_ = !checked_;
  Refresh(false);
  wxCommandEvent click(wxEVT_CHECKBOX, GetId());
  click.SetEventObject(this);
  click.SetInt(GetCheck());
  ProcessWindowEvent(click);
}
