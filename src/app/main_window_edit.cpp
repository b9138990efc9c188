// The main window's side of the edit tools: each runs modally on the
// selected recording while the main preview has given up its surface, and
// what the tool stores is copied back into the recording's record. The
// tools' own state and rules live with the dialogs.
#include <wx/combobox.h>

#include <cstdio>

#include "app/control_ids.h"
#include "app/main_preview.h"
#include "app/main_window.h"
#include "app/media_list.h"
#include "edit/dialogs/crop_dialog.h"
#include "edit/dialogs/dialog_player.h"
#include "edit/dialogs/effects_dialog.h"
#include "edit/dialogs/output_settings_dialog.h"
#include "edit/dialogs/trim_dialog.h"
#include "ui/preview_window.h"

namespace {

edit::TrimRecord TrimOf(const MediaItem& item) {
  edit::TrimRecord r;
  r.sourceSeconds = item.sourceSeconds;
  r.duration = item.duration;
  r.spanStart = item.spanStart;
  r.spanEnd = item.spanEnd;
  r.trimStart = item.trimStart;
  r.trimEnd = item.trimEnd;
  r.trimSeconds = item.trimSeconds;
  r.trimText = item.trimText;
  r.trimStartFraction = item.trimStartFraction;
  r.trimEndFraction = item.trimEndFraction;
  return r;
}

void Store(const edit::TrimRecord& r, MediaItem* item) {
  item->trimStart = r.trimStart;
  item->trimEnd = r.trimEnd;
  item->trimSeconds = r.trimSeconds;
  item->trimText = r.trimText;
  item->trimStartFraction = r.trimStartFraction;
  item->trimEndFraction = r.trimEndFraction;
}

edit::CropRecord CropOf(const MediaItem& item) {
  return {item.cropLeft, item.cropTop, item.cropRight, item.cropBottom, item.cropMode, item.zoom};
}

void Store(const edit::CropRecord& r, MediaItem* item) {
  item->cropLeft = r.cropLeft;
  item->cropTop = r.cropTop;
  item->cropRight = r.cropRight;
  item->cropBottom = r.cropBottom;
  item->cropMode = r.cropMode;
  item->zoom = r.zoom;
}

edit::EffectSettings EffectsOf(const MediaItem& item) {
  edit::EffectSettings s;
  s.effect = item.effect;
  s.brightness = item.brightness;
  s.contrast = item.contrast;
  s.saturation = item.saturation;
  s.volume = item.volume;
  return s;
}

void Store(const edit::EffectSettings& s, MediaItem* item) {
  item->effect = s.effect;
  item->brightness = s.brightness;
  item->contrast = s.contrast;
  item->saturation = s.saturation;
  item->volume = s.volume;
}

}  // namespace

std::optional<MainWindow::EditTarget> MainWindow::SelectedForEdit() {
  // Nothing until a recording has been clicked since start-up.
  if (preview_->state() == media::kNothingLoaded) return std::nullopt;
  EditTarget target;
  target.row = list_->model().selectedIndex();
  if (target.row >= 0 && static_cast<size_t>(target.row) < list_->model().size())
    LearnSourceLength(static_cast<size_t>(target.row));
  if (auto item = list_->model().SelectedItem()) {
    target.item = *item;
    target.source.file = item->fullPath;
    edit::ReadVideoSize(item->fullPath, &target.source.videoWidth, &target.source.videoHeight);
    target.source.startPercent = static_cast<int>(preview_->fraction() * 100.0);
  } else {
    target.row = -1;
  }
  return target;
}

void MainWindow::StoreEdited(const EditTarget& target, const MediaItem& edited) {
  // A recording stopped while the tool was open may have added a row; the
  // record is found again by its row and file, or not stored.
  if (target.row < 0 || static_cast<size_t>(target.row) >= list_->model().size()) return;
  MediaItem& item = list_->model().at(static_cast<size_t>(target.row));
  if (item.fullPath != target.item.fullPath) return;
  item = edited;
  list_->RefreshRows();
}

template <typename Run>
void MainWindow::RunWithPreviewReleased(Run run) {
  // The process has one preview surface: the tool takes it and gives it
  // back when it closes.
  preview_->ReleaseSurface();
  run();
  preview_->ReturnFromDialog();
}

std::string MainWindow::littleSkinFolder() const { return folders_.skinFolder + "little/"; }
std::string MainWindow::resSkinFolder() const { return folders_.skinFolder + "res/"; }

void MainWindow::OnTrim(wxCommandEvent&) {
  auto target = SelectedForEdit();
  if (!target) return;
  RunWithPreviewReleased([&] {
    edit::TrimRecord record = TrimOf(target->item);
    edit::TrimDialog dialog(this, littleSkinFolder(), resSkinFolder(), target->source,
                            target->row >= 0 ? &record : nullptr);
    if (dialog.ShowModal() != wxID_OK || target->row < 0) return;
    MediaItem edited = target->item;
    Store(record, &edited);
    StoreEdited(*target, edited);
  });
}

void MainWindow::OnCrop(wxCommandEvent&) {
  auto target = SelectedForEdit();
  if (!target) return;
  RunWithPreviewReleased([&] {
    edit::CropRecord record = CropOf(target->item);
    edit::CropDialog dialog(this, littleSkinFolder(), resSkinFolder(), target->source,
                            target->row >= 0 ? &record : nullptr);
    if (dialog.ShowModal() != wxID_OK || target->row < 0) return;
    MediaItem edited = target->item;
    Store(record, &edited);
    StoreEdited(*target, edited);
  });
}

void MainWindow::OnEffect(wxCommandEvent&) {
  auto target = SelectedForEdit();
  if (!target) return;
  RunWithPreviewReleased([&] {
    edit::EffectSettings current;
    current.effect = effectSettings_[0];
    current.brightness = effectSettings_[1];
    current.contrast = effectSettings_[2];
    current.saturation = effectSettings_[3];
    current.volume = effectSettings_[4];
    edit::EffectSettings record = EffectsOf(target->item);
    edit::CEffectDlg dialog(this, littleSkinFolder(), resSkinFolder(), target->source, &current,
                            target->row >= 0 ? &record : nullptr);
    if (dialog.ShowModal() != wxID_OK) return;
    effectSettings_ = {current.effect, current.brightness, current.contrast, current.saturation,
                       current.volume};
    if (target->row < 0) return;
    MediaItem edited = target->item;
    Store(record, &edited);
    StoreEdited(*target, edited);
  });
}

wxComboBox* MainWindow::selector(int id) const {
  return dynamic_cast<wxComboBox*>(FindWindow(id));
}

edit::OutputChoices MainWindow::outputChoices() const {
  return {selector(ids::kResolution)->GetSelection(), selector(ids::kVideoBitrate)->GetSelection(),
          selector(ids::kAudioBitrate)->GetSelection()};
}

void MainWindow::OnSetting(wxCommandEvent&) {
  int format = selector(ids::kProfile)->GetSelection();
  edit::OutputChoices choices = outputChoices();
  {
    edit::COutputSettingsDlg dialog(this, littleSkinFolder(), profiles_, &format, &choices);
    if (dialog.ShowModal() == wxID_OK) {
      if (format != selector(ids::kProfile)->GetSelection()) SelectProfile(format);
      selector(ids::kResolution)->SetSelection(choices.resolution);
      selector(ids::kVideoBitrate)->SetSelection(choices.videoBitrate);
      selector(ids::kAudioBitrate)->SetSelection(choices.audioBitrate);
    }
  }
  previewArea_->Refresh();
}

void MainWindow::FillProfileSelector() {
  wxComboBox* formats = selector(ids::kProfile);
  formats->Clear();
  for (size_t i = 0; i < profiles_.size(); ++i)
    formats->Append(wxString::FromUTF8(profiles_.At(static_cast<int>(i))->name));
}

void MainWindow::OnProfileChosen(wxCommandEvent&) {
  SelectProfile(selector(ids::kProfile)->GetSelection());
}

void MainWindow::SelectProfile(int index) {
  const edit::FormatProfile* profile = profiles_.At(index);
  selector(ids::kProfile)->SetSelection(profile ? index : -1);
  // The choice selectors hold the format's lists, its defaults selected.
  const std::pair<int, const edit::FormatChoices*> lists[] = {
      {ids::kResolution, profile ? &profile->resolution : nullptr},
      {ids::kVideoBitrate, profile ? &profile->videoBitrate : nullptr},
      {ids::kAudioBitrate, profile ? &profile->audioBitrate : nullptr}};
  for (const auto& [id, choices] : lists) {
    wxComboBox* list = selector(id);
    list->Clear();
    if (!choices) continue;
    for (const std::string& entry : choices->entries) list->Append(wxString::FromUTF8(entry));
    if (!choices->entries.empty()) list->SetSelection(choices->defaultEntry - 1);
  }
  // A format without a picture has no resolution, video bit rate or fit.
  const bool picture = profile && profile->code < edit::FormatProfile::kAudioOnlyCodes;
  for (int id : {ids::kResolution, ids::kVideoBitrate, ids::kZoomMode})
    selector(id)->Enable(picture);
}
