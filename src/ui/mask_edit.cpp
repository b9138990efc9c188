#include "ui/mask_edit.h"

#include <wx/clipbrd.h>
#include <wx/utils.h>

#include <algorithm>

CMaskEdit::CMaskEdit(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxTextCtrl(parent, id, wxEmptyString, pos, size) {
  Bind(wxEVT_CHAR, &CMaskEdit::OnChar, this);
  Bind(wxEVT_KEY_DOWN, &CMaskEdit::OnKeyDown, this);
  Bind(wxEVT_TEXT_PASTE, &CMaskEdit::OnPaste, this);
  Bind(wxEVT_TEXT_CUT, &CMaskEdit::OnCut, this);
  Bind(wxEVT_TEXT, &CMaskEdit::OnText, this);
}

void CMaskEdit::SetRules(const ui::MaskRules& rules) {
  // The class, not the caller, decides between time and date ranges.
  const bool date = rules_.dateRules();
  rules_ = rules;
  rules_.SetDateRules(date);
}

void CMaskEdit::SetUpTimeField() {
  SetRules(ui::MaskRules::TimeField());
  SetMaskOn(true);
  SetText(rules_.defaultText());
  SetInsertionPoint(0);
}

void CMaskEdit::SetText(const wxString& text) {
  lastGood_ = text;
  ChangeValue(text);
}

void CMaskEdit::Show(const ui::MaskEditState& state) {
  SetText(wxString::FromUTF8(state.text));
  SetInsertionPoint(static_cast<long>(state.caret));
}

bool CMaskEdit::TypeMasked(char c) {
  long from = 0, to = 0;
  GetSelection(&from, &to);
  // With a selection the typing starts at its beginning and overwrites, as
  // everywhere else.
  ui::MaskEditState state{GetValue().utf8_string(), static_cast<size_t>(from)};
  if (!rules_.Type(c, state)) {
    wxBell();
    return false;
  }
  Show(state);
  return true;
}

void CMaskEdit::OnChar(wxKeyEvent& event) {
  if (!maskOn_ || event.ControlDown() || event.AltDown()) return event.Skip();
  const int key = event.GetUnicodeKey();
  if (key == WXK_BACK) {
    long from = 0, to = 0;
    GetSelection(&from, &to);
    ui::MaskEditState state{GetValue().utf8_string(), static_cast<size_t>(from)};
    if (from != to || !rules_.Backspace(state)) return wxBell();
    return Show(state);
  }
  if (key == WXK_NONE || key < 32 || key == 127) return event.Skip();  // Tab, Return, arrows
  // Beyond ASCII no mask position takes it.
  if (key > 126) return wxBell();
  TypeMasked(static_cast<char>(key));
}

void CMaskEdit::OnKeyDown(wxKeyEvent& event) {
  const int key = event.GetUnicodeKey();
  if (maskOn_ && key >= 32 && key != 127 && !event.ControlDown() && !event.AltDown()) {
    // The toolkit deletes a selection before it hands the typed character
    // on; the field overwrites instead, so the selection goes first.
    long from = 0, to = 0;
    GetSelection(&from, &to);
    if (from != to) SetSelection(from, from);
  }
  switch (event.GetKeyCode()) {
    case WXK_INSERT: case WXK_NUMPAD_INSERT: case WXK_DELETE: case WXK_NUMPAD_DELETE:
      // Deleting would shift the literals; the field always overwrites.
      if (maskOn_) return;
      break;
    default: break;
  }
  event.Skip();
}

void CMaskEdit::OnPaste(wxClipboardTextEvent& event) {
  if (!maskOn_) return event.Skip();
  wxString pasted;
  if (wxTheClipboard->Open()) {
    wxTextDataObject data;
    if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT) && wxTheClipboard->GetData(data))
      pasted = data.GetText();
    wxTheClipboard->Close();
  }
  // Pasted text is typed character by character, so it meets the same rules;
  // the separators it carries are the field's own and are passed over.
  for (const char c : pasted.utf8_string()) {
    if (c == '\n' || c == '\r' || c == '\t' || rules_.IsSeparator(c)) continue;
    if (!TypeMasked(c)) break;
  }
}

void CMaskEdit::OnCut(wxClipboardTextEvent& event) {
  if (!maskOn_) return event.Skip();
  wxBell();  // cutting would remove literals and shift the rest
}

void CMaskEdit::OnText(wxCommandEvent& event) {
  // Whatever reached the text past the key handlers (a middle-button paste,
  // a drop) must still fit the mask, or the last good text comes back.
  if (maskOn_ && GetValue() != lastGood_) {
    if (!rules_.Conforms(GetValue().utf8_string())) {
      const long caret = GetInsertionPoint();
      ChangeValue(lastGood_);
      SetInsertionPoint(std::min(caret, GetLastPosition()));
      wxBell();
      return;
    }
    lastGood_ = GetValue();
  }
  event.Skip();
}
