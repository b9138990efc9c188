#pragma once
// The output settings: the resolution and bit-rate choices of the output
// format chosen in the main window, handed back to the main window's
// selectors on OK. The dialog keeps no values of its own.
#include <string>

#include "edit/dialogs/skinned_dialog.h"
#include "edit/format_profiles.h"

class wxChoice;

namespace edit {

class COutputSettingsDlg : public SkinnedDialog {
 public:
  // Control ids.
  static constexpr int kOk = 1, kCancel = 2, kClose = 1136;
  static constexpr int kVideoGroup = 1138, kAudioGroup = 1139;
  static constexpr int kResolution = 1114, kVideoBitrate = 1105;
  static constexpr int kChannels = 1116, kAudioBitrate = 1118;

  // `profile` is the main window's chosen format (nullptr: none chosen);
  // `choices` are its selectors, written on OK only.
  COutputSettingsDlg(wxWindow* parent, const std::string& skinLittleFolder,
                     const FormatProfile* profile, OutputChoices* choices);

  wxChoice* list(int id) const;

 private:
  void Store();
  OutputChoices* choices_;
};

}  // namespace edit
