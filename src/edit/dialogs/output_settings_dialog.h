#pragma once
// The output settings: the output format, and the resolution and bit-rate
// choices of that format, handed back to the main window's selectors on OK.
// The dialog keeps no values of its own.
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
  static constexpr int kFormat = 1140;

  // `format` is the main window's chosen format (-1: none), `choices` its
  // three selectors; both are written on OK only.
  COutputSettingsDlg(wxWindow* parent, const std::string& skinLittleFolder,
                     const FormatProfileTable& profiles, int* format, OutputChoices* choices);

  wxChoice* list(int id) const;

 private:
  // Fills the three lists from the format shown, with `selected` chosen.
  void ShowFormat(int format, const OutputChoices& selected);
  void Store();

  const FormatProfileTable& profiles_;
  int* format_;
  OutputChoices* choices_;
};

}  // namespace edit
