#pragma once
// An edit field that takes typing only where its mask allows it: literals
// stay in place, typing overwrites, backspace restores the default text, a
// refused key beeps. With the mask off it is a plain edit. The rules live in
// ui::MaskRules; this control forwards keys there and shows the result.
#include <wx/textctrl.h>

#include "ui/mask_rules.h"

class CMaskEdit : public wxTextCtrl {
 public:
  CMaskEdit(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  void SetMaskOn(bool on) { maskOn_ = on; }
  bool maskOn() const { return maskOn_; }
  void SetRules(const ui::MaskRules& rules);
  const ui::MaskRules& rules() const { return rules_; }
  // The trim tool's time field: the time rules, "00:00:00", mask on.
  void SetUpTimeField();

  // Sets the text without a text event and without checking it (the owner
  // writes values such as a duration that are its own).
  void SetText(const wxString& text);

 protected:
  // CTimeEdit and CDateEdit only choose the range rules.
  void SetDateRules(bool on) { rules_.SetDateRules(on); }

 private:
  void OnChar(wxKeyEvent& event);
  void OnKeyDown(wxKeyEvent& event);
  void OnPaste(wxClipboardTextEvent& event);
  void OnCut(wxClipboardTextEvent& event);
  void OnText(wxCommandEvent& event);
  // Types `c` through the rules at the caret; false (and a beep) when refused.
  bool TypeMasked(char c);
  void Show(const ui::MaskEditState& state);

  ui::MaskRules rules_;
  bool maskOn_ = false;
  wxString lastGood_;  // the text before a change that did not come through us
};

class CTimeEdit : public CMaskEdit {
 public:
  using CMaskEdit::CMaskEdit;
};

class CDateEdit : public CMaskEdit {
 public:
  CDateEdit(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
      : CMaskEdit(parent, id, pos, size) {
    SetDateRules(true);
  }
};
