#pragma once
// A framed group with a caption set into its top line: an etched (shadow plus
// highlight) frame, or a flat black one, and the caption in dark blue.
#include <wx/control.h>

enum class CaptionAlign { Left, Centre, Right };

// Where the caption goes in a frame of `frameWidth` pixels: its left x given the
// caption's measured width. Kept as plain arithmetic so it can be checked alone.
int EtchedCaptionLeft(int frameWidth, int captionWidth, CaptionAlign align);

class CEtchedGroupBox : public wxControl {
 public:
  CEtchedGroupBox(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                  const wxSize& size, CaptionAlign align = CaptionAlign::Left, bool flat = false);

  // The caption as drawn: one blank either side of the label.
  wxString CaptionText() const { return " " + GetLabel() + " "; }

 private:
  void OnPaint(wxPaintEvent& event);

  CaptionAlign align_;
  bool flat_;

  wxDECLARE_EVENT_TABLE();
};
