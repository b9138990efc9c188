#pragma once
// The trim dialog: which part of the recording is kept, as a start and an
// end time typed into masked time fields or set with the markers of the trim
// slider, shown with the length kept, beside a preview player that finds the
// points. Nothing is cut here: OK writes the choice into the record.
#include <memory>
#include <string>

#include "edit/dialogs/dialog_player.h"
#include "edit/dialogs/skinned_dialog.h"
#include "edit/trim_model.h"

class wxStaticText;
class CMaskEdit;
class CTrimSlider;
class PreviewWindow;

namespace edit {

class TrimDialog : public SkinnedDialog {
 public:
  // Control ids.
  static constexpr int kOk = 1, kCancel = 2, kClose = 1250;
  static constexpr int kPlay = 1251, kStop = 1252, kPause = 1253, kReset = 1254;
  static constexpr int kStartEdit = 1260, kEndEdit = 1261, kStartOk = 1262, kEndOk = 1263;
  static constexpr int kLength = 1264, kSlider = 1265, kPreview = 1266;
  static inline const wxSize kSize{600, 450};

  // `record` null: no recording selected (nothing plays, nothing is stored).
  // *record is written only by OK.
  TrimDialog(wxWindow* parent, const std::string& skinLittleFolder,
             const std::string& skinResFolder, const PreviewSource& source, TrimRecord* record);
  ~TrimDialog() override;

  const TrimModel& model() const { return model_; }
  DialogPlayer& player() { return *player_; }
  PreviewWindow* preview() const { return preview_; }
  CMaskEdit* startEdit() const { return startEdit_; }
  CMaskEdit* endEdit() const { return endEdit_; }
  CTrimSlider* slider() const { return slider_; }
  wxString lengthText() const;

 protected:
  // The start/end conflict's message box; a test replaces it to read the
  // text instead of answering a modal box.
  virtual void ShowMessage(const wxString& text, const wxString& caption);

 private:
  void BuildControls(const std::string& skinResFolder);
  // The model's times into the fields, the length text and the markers.
  void ShowFields();

  void OnStopOrPause();
  void OnSlider(wxCommandEvent& event);
  void OnAcceptStart();
  void OnAcceptEnd();
  void OnReset();
  void OnOk();
  void OnCancel();

  TrimRecord* record_;
  TrimModel model_;
  PreviewWindow* preview_ = nullptr;
  CMaskEdit* startEdit_ = nullptr;
  CMaskEdit* endEdit_ = nullptr;
  wxStaticText* length_ = nullptr;
  CTrimSlider* slider_ = nullptr;
  std::unique_ptr<DialogPlayer> player_;
};

}  // namespace edit
