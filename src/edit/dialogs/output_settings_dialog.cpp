#include "edit/dialogs/output_settings_dialog.h"

#include <wx/choice.h>

#include "ui/etched_group_box.h"
#include "ui/hover_button.h"

namespace edit {

namespace {

// The toolkit's own height: at 20 pixels its text is cut off.
wxChoice* MakeList(wxWindow* parent, int id, wxPoint at, int width = 120) {
  return new wxChoice(parent, id, at, wxSize(width, -1));
}

void Fill(wxChoice* list, const std::vector<std::string>& entries, int selected) {
  list->Clear();
  for (const std::string& entry : entries) list->Append(wxString::FromUTF8(entry));
  list->SetSelection(selected);  // -1 (wxNOT_FOUND) leaves it without one
}

}  // namespace

COutputSettingsDlg::COutputSettingsDlg(wxWindow* parent, const std::string& skinLittleFolder,
                                       const FormatProfileTable& profiles, int* format,
                                       OutputChoices* choices)
    : SkinnedDialog(parent, "Settings", wxSize(500, 300), skinLittleFolder, "register_bk.bmp"),
      profiles_(profiles),
      format_(format),
      choices_(choices) {
  new CEtchedGroupBox(this, kVideoGroup, "Video", wxPoint(20, 40), wxSize(460, 90));
  new CEtchedGroupBox(this, kAudioGroup, "Audio", wxPoint(20, 140), wxSize(460, 90));
  MakeList(this, kResolution, {110, 80});
  MakeList(this, kVideoBitrate, {340, 80});
  MakeList(this, kChannels, {110, 180});
  MakeList(this, kAudioBitrate, {340, 180});
  // Four more lists stay hidden; nothing reads them.
  for (int id : {1103, 1104, 1115, 1117}) MakeList(this, id, {0, 0})->Hide();
  // The format itself, on the free part of the bottom bar.
  wxChoice* formats = MakeList(this, kFormat, {80, 250}, 170);
  for (size_t i = 0; i < profiles_.size(); ++i)
    formats->Append(wxString::FromUTF8(profiles_.At(static_cast<int>(i))->name));
  const int shown = format && profiles_.At(*format) ? *format : -1;
  formats->SetSelection(shown);
  ShowFormat(shown, choices ? *choices : OutputChoices{});
  formats->Bind(wxEVT_CHOICE, [this](wxCommandEvent& e) {
    // Another format: its own lists with its defaults.
    const FormatProfile* profile = profiles_.At(e.GetSelection());
    ShowFormat(e.GetSelection(),
               profile ? OutputChoices{profile->resolution.defaultEntry - 1,
                                       profile->videoBitrate.defaultEntry - 1,
                                       profile->audioBitrate.defaultEntry - 1}
                       : OutputChoices{});
  });

  AddButton(kOk, "ok", wxRect(260, 250, 97, 30));
  AddButton(kCancel, "cancel", wxRect(370, 250, 97, 30));
  AddButton(kClose, "close", wxRect(470, 4, 21, 19));

  AddLabel({"Settings", {10, 5}, 18, true, wxColour(240, 240, 240)});
  const wxColour dark(20, 20, 20);
  AddLabel({"Resolution:", {40, 82}, 16, false, dark});
  AddLabel({"Bitrate:", {290, 82}, 16, false, dark});
  AddLabel({"Channels:", {50, 182}, 16, false, dark});
  AddLabel({"Bitrate:", {290, 182}, 16, false, dark});
  AddLabel({"Format:", {20, 256}, 16, false, dark});

  SetEnterAccepts(true);
  SetCloseActions([this] { Store(); Finish(wxID_OK); }, [this] { Finish(wxID_CANCEL); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Store(); Finish(wxID_OK); }, kOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Finish(wxID_CANCEL); }, kCancel);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Finish(wxID_CANCEL); }, kClose);
}

void COutputSettingsDlg::ShowFormat(int format, const OutputChoices& selected) {
  const SettingsLists lists = PrepareSettingsLists(profiles_.At(format), selected);
  Fill(list(kResolution), lists.resolution.entries, lists.selected.resolution);
  Fill(list(kVideoBitrate), lists.videoBitrate.entries, lists.selected.videoBitrate);
  Fill(list(kChannels), lists.channels, lists.channelsSelected);
  Fill(list(kAudioBitrate), lists.audioBitrate.entries, lists.selected.audioBitrate);
  // Sound alone has no picture choices.
  const FormatProfile* profile = profiles_.At(format);
  const bool picture = !profile || profile->code < FormatProfile::kAudioOnlyCodes;
  list(kResolution)->Enable(picture);
  list(kVideoBitrate)->Enable(picture);
}

wxChoice* COutputSettingsDlg::list(int id) const {
  return dynamic_cast<wxChoice*>(FindWindow(id));
}

void COutputSettingsDlg::Store() {
  // The Channels choice has one entry and is not kept.
  if (format_) *format_ = list(kFormat)->GetSelection();
  if (!choices_) return;
  choices_->resolution = list(kResolution)->GetSelection();
  choices_->videoBitrate = list(kVideoBitrate)->GetSelection();
  choices_->audioBitrate = list(kAudioBitrate)->GetSelection();
}

}  // namespace edit
