#pragma once
// A progress bar drawn from two bitmaps: the background at its natural size
// and the bar stretched over the done part, with an optional text on top.
#include <wx/bitmap.h>
#include <wx/control.h>

#include <string>

// Width in pixels of the bar for `position` of `upper` on a `width`-pixel bar.
int ProgressBarWidth(int position, int upper, int width);

class CBitmapProgressCtrl : public wxControl {
 public:
  CBitmapProgressCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  // Full paths of the background and bar pictures; false when either is missing.
  bool SetBitmaps(const std::string& backgroundPath, const std::string& barPath);
  void SetRange(int lower, int upper);
  void SetPos(int position);
  int GetPos() const { return position_; }
  void SetText(const wxString& text);
  void ShowText(bool show);
  void SetTextColour(const wxColour& colour);
  void SetTextFormat(int align) { textAlign_ = align; }
  int BarWidth() const { return ProgressBarWidth(position_, upper_, GetClientSize().x); }

 private:
  void OnPaint(wxPaintEvent& event);

  wxBitmap background_, bar_;
  int lower_ = 0, upper_ = 100, position_ = 0;
  wxString text_;
  wxColour textColour_{*wxBLACK};
  bool showText_ = false;
  int textAlign_ = wxALIGN_CENTER;
};
