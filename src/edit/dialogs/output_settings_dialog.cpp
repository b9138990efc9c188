#include "edit/dialogs/output_settings_dialog.h"

#include <wx/choice.h>

#include "ui/etched_group_box.h"
#include "ui/hover_button.h"

namespace edit {

namespace {

wxChoice* MakeList(wxWindow* parent, int id, wxPoint at, const std::vector<std::string>& entries,
                   int selected) {
  // The toolkit's own height: at 20 pixels its text is cut off.
  auto* list = new wxChoice(parent, id, at, wxSize(120, -1));
  for (const std::string& entry : entries) list->Append(wxString::FromUTF8(entry));
  list->SetSelection(selected);  // -1 (wxNOT_FOUND) leaves it without one
  return list;
}

}  // namespace

COutputSettingsDlg::COutputSettingsDlg(wxWindow* parent, const std::string& skinLittleFolder,
                                       const FormatProfile* profile, OutputChoices* choices)
    : SkinnedDialog(parent, "Settings", wxSize(500, 300), skinLittleFolder, "register_bk.bmp"),
      choices_(choices) {
  new CEtchedGroupBox(this, kVideoGroup, "Video", wxPoint(20, 40), wxSize(460, 90));
  new CEtchedGroupBox(this, kAudioGroup, "Audio", wxPoint(20, 140), wxSize(460, 90));
  const SettingsLists lists =
      PrepareSettingsLists(profile, choices ? *choices : OutputChoices{});
  MakeList(this, kResolution, {110, 80}, lists.resolution.entries, lists.selected.resolution);
  MakeList(this, kVideoBitrate, {340, 80}, lists.videoBitrate.entries,
           lists.selected.videoBitrate);
  MakeList(this, kChannels, {110, 180}, lists.channels, lists.channelsSelected);
  MakeList(this, kAudioBitrate, {340, 180}, lists.audioBitrate.entries,
           lists.selected.audioBitrate);

  // Four more lists stay hidden; nothing reads them.
  for (int id : {1103, 1104, 1115, 1117}) MakeList(this, id, {0, 0}, {}, -1)->Hide();

  AddButton(kOk, "ok", wxRect(260, 250, 97, 30));
  AddButton(kCancel, "cancel", wxRect(370, 250, 97, 30));
  AddButton(kClose, "close", wxRect(470, 4, 21, 19));

  AddLabel({"Settings", {10, 5}, 18, true, wxColour(240, 240, 240)});
  const wxColour dark(20, 20, 20);
  AddLabel({"Resolution:", {40, 82}, 16, false, dark});
  AddLabel({"Bitrate:", {290, 82}, 16, false, dark});
  AddLabel({"Channels:", {50, 182}, 16, false, dark});
  AddLabel({"Bitrate:", {290, 182}, 16, false, dark});

  SetEnterAccepts(true);
  SetCloseActions([this] { Store(); Finish(wxID_OK); }, [this] { Finish(wxID_CANCEL); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Store(); Finish(wxID_OK); }, kOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Finish(wxID_CANCEL); }, kCancel);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Finish(wxID_CANCEL); }, kClose);
}

wxChoice* COutputSettingsDlg::list(int id) const {
  return dynamic_cast<wxChoice*>(FindWindow(id));
}

void COutputSettingsDlg::Store() {
  // The Channels choice has one entry and is not kept.
  if (!choices_) return;
  choices_->resolution = list(kResolution)->GetSelection();
  choices_->videoBitrate = list(kVideoBitrate)->GetSelection();
  choices_->audioBitrate = list(kAudioBitrate)->GetSelection();
}

}  // namespace edit
