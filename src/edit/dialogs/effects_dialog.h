#pragma once
// The effects dialog: brightness, contrast, saturation, volume and a colour
// effect for the selected recording, seen and heard live in its own
// preview. The player thread's hooks read the values afresh for every
// picture and every block of sound. OK writes the values into the main
// window's current settings and, when a recording is selected, its record.
#include <memory>
#include <string>

#include "edit/dialogs/dialog_player.h"
#include "edit/dialogs/skinned_dialog.h"
#include "edit/picture_effects.h"

class wxChoice;
class CSkinSliderCtrl;
class PreviewWindow;

namespace edit {

class CEffectDlg : public SkinnedDialog {
 public:
  // Control ids.
  static constexpr int kOk = 1, kCancel = 2, kClose = 1096, kReset = 1097;
  static constexpr int kPreview = 1002, kPause = 1130, kPlay = 1005, kStop = 1059;
  static constexpr int kPosition = 1092, kEffect = 1119;
  static constexpr int kBrightness = 1036, kContrast = 1089, kSaturation = 1090, kVolume = 1091;

  // `current`: the main window's current settings, always given; `record`:
  // the selected recording's, null when none is selected (then nothing
  // plays). Both are written only on OK.
  CEffectDlg(wxWindow* parent, const std::string& skinLittleFolder,
             const std::string& skinResFolder, const PreviewSource& source, EffectSettings* current,
             EffectSettings* record);
  ~CEffectDlg() override;

  EffectSettings values() const;
  DialogPlayer& player() { return *player_; }
  PreviewWindow* preview() const { return preview_; }
  wxChoice* effectList() const { return effectList_; }
  CSkinSliderCtrl* slider(int id) const;

 private:
  struct LiveSettings;  // what the player thread's hooks read

  void BuildControls(const std::string& skinResFolder);
  void AddSlider(int id, wxPoint at, wxSize size, const std::string& channel, int maximum);
  void BindHandlers();
  void ShowValues(const EffectSettings& values);
  void Redraw();  // the still at the position, when not playing

  void OnPlay();
  void OnPause();
  void OnStop();
  void OnReset();
  void OnEffect();
  void OnSlider(int id);
  void End(int result);  // OK or Cancel: store (on OK), stop, release, finish

  EffectSettings* current_;
  EffectSettings* record_;
  std::shared_ptr<LiveSettings> live_;
  PreviewWindow* preview_ = nullptr;
  wxChoice* effectList_ = nullptr;
  std::unique_ptr<DialogPlayer> player_;  // before the windows it draws in go
};

}  // namespace edit
