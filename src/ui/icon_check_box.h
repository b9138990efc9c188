#pragma once
// A check box drawn as one of two pictures, one per state.
#include <wx/bitmap.h>
#include <wx/control.h>

#include <string>

class CIconCheckBox : public wxControl {
 public:
  CIconCheckBox(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  // Pictures for the unchecked and checked states (full paths); a missing file
  // leaves that state blank.
  void SetIcons(const std::string& uncheckedPath, const std::string& checkedPath);

  // As the standard check message: 1 and 2 (indeterminate) both mean checked.
  void SetCheck(int state);
  int GetCheck() const { return checked_ ? 1 : 0; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftUp(wxMouseEvent& event);

  bool checked_ = false;
  wxBitmap unchecked_, checkedBitmap_;

  wxDECLARE_EVENT_TABLE();
};
