#include "ui/bitmap_progress_ctrl.h"

#include <wx/dcbuffer.h>

#include <algorithm>

#include "ui/hover_button.h"

int ProgressBarWidth(int position, int upper, int width) {
  if (upper <= 0 || position <= 0) return 0;
  const long long done = static_cast<long long>(position) * width / upper;
  return static_cast<int>(std::min<long long>(done, width));
}

CBitmapProgressCtrl::CBitmapProgressCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                         const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CBitmapProgressCtrl::OnPaint, this);
}

bool CBitmapProgressCtrl::SetBitmaps(const std::string& backgroundPath,
                                     const std::string& barPath) {
  background_ = LoadSkinBitmap(backgroundPath);
  bar_ = LoadSkinBitmap(barPath);
  Refresh(false);
  return background_.IsOk() && bar_.IsOk();
}

void CBitmapProgressCtrl::SetRange(int lower, int upper) {
  lower_ = lower;
  upper_ = upper;
  Refresh(false);
}

void CBitmapProgressCtrl::SetPos(int position) {
  position_ = position;
  Refresh(false);
}

void CBitmapProgressCtrl::SetText(const wxString& text) {
  text_ = text;
  if (showText_) Refresh(false);
}

void CBitmapProgressCtrl::ShowText(bool show) {
  showText_ = show;
  Refresh(false);
}

void CBitmapProgressCtrl::SetTextColour(const wxColour& colour) {
  textColour_ = colour;
  Refresh(false);
}

void CBitmapProgressCtrl::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  dc.SetBackground(wxBrush(GetBackgroundColour()));
  dc.Clear();
  if (background_.IsOk()) dc.DrawBitmap(background_, 0, 0, false);
  const int done = BarWidth();
  if (bar_.IsOk() && done > 0) {
    wxMemoryDC source(bar_);
    dc.StretchBlit(0, 0, done, size.y, &source, 0, 0, bar_.GetWidth(), bar_.GetHeight());
  }
  if (showText_) {
    // "Arial" is Liberation Sans here.
    dc.SetFont(wxFontInfo(wxSize(0, 16)).FaceName("Liberation Sans").Weight(600));
    dc.SetTextForeground(textColour_);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawLabel(text_, wxRect(size), textAlign_);
  }
}
