#include "ui/etched_group_box.h"

#include <wx/dcclient.h>
#include <wx/settings.h>

#include <algorithm>

namespace {
// Distance of a left- or right-aligned caption from the frame's side.
constexpr int kCaptionInset = 10;
const wxColour kCaptionColour(0, 0, 200);
}  // namespace

wxBEGIN_EVENT_TABLE(CEtchedGroupBox, wxControl)
  EVT_PAINT(CEtchedGroupBox::OnPaint)
wxEND_EVENT_TABLE()

int EtchedCaptionLeft(int frameWidth, int captionWidth, CaptionAlign align) {
  switch (align) {
    case CaptionAlign::Right: return std::max(0, frameWidth - kCaptionInset - captionWidth);
    case CaptionAlign::Centre: return std::max(0, (frameWidth - captionWidth) / 2);
    case CaptionAlign::Left: break;
  }
  return kCaptionInset;
}

CEtchedGroupBox::CEtchedGroupBox(wxWindow* parent, wxWindowID id, const wxString& label,
                                 const wxPoint& pos, const wxSize& size, CaptionAlign align,
                                 bool flat)
    : wxControl(parent, id, pos, size, wxBORDER_NONE | wxTRANSPARENT_WINDOW),
      align_(align),
      flat_(flat) {
  SetLabel(label);
}

void CEtchedGroupBox::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  dc.SetFont(GetFont());
  const wxString caption = CaptionText();
  const wxSize text = dc.GetTextExtent(caption);
  const wxSize size = GetClientSize();
  const int top = text.y / 2;
  const int captionLeft = EtchedCaptionLeft(size.x, text.x, align_);
  const int captionRight = captionLeft + text.x;

  auto frame = [&](const wxColour& colour, int inset) {
    dc.SetPen(wxPen(colour));
    const int l = inset, t = top + inset, r = size.x - 2 + inset, b = size.y - 2 + inset;
    dc.DrawLine(l, t, captionLeft, t);  // top line, broken for the caption
    dc.DrawLine(captionRight, t, r, t);
    dc.DrawLine(r, t, r, b);
    dc.DrawLine(r, b, l, b);
    dc.DrawLine(l, b, l, t);
  };
  frame(flat_ ? *wxBLACK : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW), 0);
  frame(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT), 1);

  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(kCaptionColour);
  dc.DrawText(caption, captionLeft, 0);
}
