#include "edit/dialogs/trim_dialog.h"

#include <wx/msgdlg.h>
#include <wx/stattext.h>

#include <algorithm>

#include "base/log.h"
#include "ui/hover_button.h"
#include "ui/mask_edit.h"
#include "ui/preview_window.h"
#include "ui/trim_slider.h"

namespace edit {

namespace {

const wxColour kLabelGrey(0x19, 0x19, 0x19);

}  // namespace

TrimDialog::TrimDialog(wxWindow* parent, const std::string& skinLittleFolder,
                       const std::string& skinResFolder, const PreviewSource& source,
                       TrimRecord* record)
    : SkinnedDialog(parent, "Trim", kSize, skinLittleFolder, "trim_bk.bmp"),
      record_(record) {
  BuildControls(skinResFolder);
  DialogPlayer::Reports reports;
  reports.moved = [this](int percent) {
    // The user's drag has the thumb; the playing position waits.
    if (slider_->geometry().dragged() == ui::TrimPart::None) slider_->SetPos(percent);
  };
  reports.started = [this] { UnlockClosing(); };
  reports.ended = [this] { UnlockClosing(); };
  // Trim shows the pictures as decoded: no picture hook, no sound hook.
  player_ = std::make_unique<DialogPlayer>(preview_, nullptr, nullptr, std::move(reports));

  SetCloseActions([this] { OnOk(); }, [this] { OnCancel(); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { player_->Play(); }, kPlay);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnStopOrPause(); }, kStop);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnStopOrPause(); }, kPause);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnReset(); }, kReset);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAcceptStart(); }, kStartOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAcceptEnd(); }, kEndOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); }, kOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, kCancel);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, kClose);
  Bind(wxEVT_TRIM_SLIDER, &TrimDialog::OnSlider, this, kSlider);

  if (!record_) return;  // no recording selected: empty times, nothing plays
  model_.Load(*record_);
  slider_->SetRange(0, 100);
  ShowFields();
  slider_->SetPos(0);
  if (player_->Load(source)) {
    // Closing waits until the player has started or given up, so a close
    // never races the player's set-up.
    LockClosing({kOk, kCancel, kClose});
    player_->ArmAutoStart();
  }
}

TrimDialog::~TrimDialog() = default;

void TrimDialog::BuildControls(const std::string& skinResFolder) {
  AddLabel({"Trim", {10, 5}, 16, true, *wxWHITE});
  AddLabel({"Start Time:", {360, 95}, 16, false, kLabelGrey});
  AddLabel({"End Time:", {360, 200}, 16, false, kLabelGrey});
  AddLabel({"Select Length:", {360, 290}, 16, false, kLabelGrey});

  preview_ = new PreviewWindow(this, kPreview, layout::kPreview.GetPosition(),
                               layout::kPreview.GetSize(),
                               LoadSkinBitmap(skinFolder() + "screen.bmp"));
  AddPreviewButtons({kPause, kPlay, kStop, kReset, kOk, kCancel, kClose});
  AddButton(kStartOk, "small_ok", {450, 120, 36, 20});
  AddButton(kEndOk, "small_ok", {450, 220, 36, 20});

  startEdit_ = new CTimeEdit(this, kStartEdit, {360, 120}, {80, 20});
  endEdit_ = new CTimeEdit(this, kEndEdit, {360, 220}, {80, 20});
  startEdit_->SetUpTimeField();
  endEdit_->SetUpTimeField();
  length_ = new wxStaticText(this, kLength, "00:00:00", {360, 320});
  length_->SetForegroundColour(kLabelGrey);

  slider_ = new CTrimSlider(this, kSlider, {129, 312}, {210, 38});
  const std::string res = skinResFolder;
  if (!slider_->SetBitmaps(res + "216.bmp", res + "217.bmp", res + "213.bmp", res + "212.bmp",
                           res + "215.bmp", res + "214.bmp"))
    base::Log(base::Level::kWarning, "edit",
        "the trim slider is drawn without some of its pictures");
}

wxString TrimDialog::lengthText() const { return length_->GetLabel(); }

void TrimDialog::ShowFields() {
  startEdit_->SetText(wxString::FromUTF8(model_.startText()));
  endEdit_->SetText(wxString::FromUTF8(model_.endText()));
  length_->SetLabel(wxString::FromUTF8(model_.lengthText()));
  const int position = slider_->GetPos();
  slider_->SetMarkers(model_.startMarker(), model_.endMarker());
  slider_->SetPos(position);  // the markers do not move the play position
}

void TrimDialog::ShowMessage(const wxString& text, const wxString& caption) {
  wxMessageBox(text, caption, wxOK | wxICON_INFORMATION, this);
}

void TrimDialog::OnStopOrPause() {
  // Both keep the position: the slider and a still picture show where it stopped.
  if (!player_->loaded()) return;
  player_->Stop();
  const int position = std::clamp(player_->player().position(), 0, 100);
  slider_->SetPos(position);
  player_->ShowStill(position);
}

void TrimDialog::OnSlider(wxCommandEvent& event) {
  if (!model_.loaded()) return;
  const int value = event.GetInt();
  switch (TrimSliderCode(event)) {
    case ui::kTrimStartChanging:
    case ui::kTrimStartChanged:
      model_.StartMarkerMoved(value);
      break;
    case ui::kTrimEndChanging:
    case ui::kTrimEndChanged:
      model_.EndMarkerMoved(value);
      break;
    case ui::kTrimPositionChanging:
      // The drag has the thumb now; a running playback would pull it away.
      if (player_->playing()) player_->Stop();
      return;
    case ui::kTrimPositionChanged:
      if (!player_->loaded()) return;
      player_->Stop();
      player_->player().SetPosition(value);
      player_->ShowStill(value);
      return;
    default: return;
  }
  startEdit_->SetText(wxString::FromUTF8(model_.startText()));
  endEdit_->SetText(wxString::FromUTF8(model_.endText()));
  length_->SetLabel(wxString::FromUTF8(model_.lengthText()));
}

void TrimDialog::OnAcceptStart() {
  if (!model_.loaded()) return;
  const bool accepted = model_.AcceptStart(startEdit_->GetValue().utf8_string());
  ShowFields();
  if (!accepted) ShowMessage(kTrimConflictMessage, kTrimConflictCaption);
}

void TrimDialog::OnAcceptEnd() {
  if (!model_.loaded()) return;
  const bool accepted = model_.AcceptEnd(endEdit_->GetValue().utf8_string());
  ShowFields();
  if (!accepted) ShowMessage(kTrimConflictMessage, kTrimConflictCaption);
}

void TrimDialog::OnReset() {
  if (!model_.loaded()) return;
  model_.Reset();
  ShowFields();
  slider_->SetPos(0);
}

void TrimDialog::OnOk() {
  if (closingLocked()) return;
  player_->Release();
  if (record_ && model_.loaded()) model_.Store(record_);
  Finish(wxID_OK);
}

void TrimDialog::OnCancel() {
  if (closingLocked()) return;
  player_->Release();
  Finish(wxID_CANCEL);
}

}  // namespace edit
