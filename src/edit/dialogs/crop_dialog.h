#pragma once
// The crop and zoom dialog: which rectangle of the recording's picture is
// kept, chosen from presets, typed as the recording's pixels or dragged on
// the preview, and how the kept picture is to be fitted (the zoom mode).
// The preview plays with the rectangle drawn over it. The record is written
// only on OK.
#include <array>
#include <memory>
#include <string>

#include "edit/crop_model.h"
#include "edit/dialogs/dialog_player.h"
#include "edit/dialogs/skinned_dialog.h"

class wxChoice;
class wxTextCtrl;
class CSkinSliderCtrl;
class PreviewWindow;

namespace edit {

class CropDialog : public SkinnedDialog {
 public:
  // Control ids.
  static constexpr int kOk = 1, kCancel = 2, kClose = 1136;
  static constexpr int kPlay = 1150, kStop = 1151, kPause = 1152, kReset = 1153;
  static constexpr int kPreview = 1160, kSlider = 1161, kZoomList = 1162, kCropList = 1163;
  static constexpr int kTopEdit = 1170, kBottomEdit = 1171, kLeftEdit = 1172, kRightEdit = 1173;
  static constexpr int kTopSpin = 1180, kBottomSpin = 1181, kLeftSpin = 1182, kRightSpin = 1183;
  // Where the preview sits: one preview pixel is one reference unit.
  static constexpr int kPreviewX = 14, kPreviewY = 51;

  // `record` null: no recording selected (nothing plays, nothing is stored).
  CropDialog(wxWindow* parent, const std::string& skinLittleFolder,
             const std::string& skinResFolder, const PreviewSource& source, CropRecord* record);
  ~CropDialog() override;

  const CropModel& model() const { return model_; }
  DialogPlayer& player() { return *player_; }
  PreviewWindow* preview() const { return preview_; }
  wxTextCtrl* edgeEdit(Edge edge) const { return edits_[static_cast<int>(edge)]; }
  wxChoice* zoomList() const { return zoomList_; }
  wxChoice* cropList() const { return cropList_; }
  CSkinSliderCtrl* slider() const { return slider_; }

 private:
  struct SharedRect;  // the rectangle the player thread's hook reads

  void BuildControls(const std::string& skinResFolder);
  void BuildEdge(Edge edge, int editId, int spinId, wxPoint at);
  void BindHandlers();

  // After every change of the rectangle: the hook's copy, the still with
  // the outline when not playing, the texts and the crop list.
  void RectChanged();
  void WriteTexts();
  void ShowStillWithOutline();
  void DrawOutline();
  void TakeEdgeText(Edge edge);

  void OnPlay();
  void OnStop();
  void OnPause();
  void OnSlider(int percent);
  void OnReset();
  void OnOk();
  void OnCancel();
  void StepEdge(Edge edge, int step);
  // Mouse over the preview, in preview pixels (= reference units).
  void OnPreviewMouse(wxMouseEvent& event);
  void ForwardToDialog(wxMouseEvent& event);
  void ArmClosingLock();

  CropRecord* record_;
  CropModel model_;
  std::shared_ptr<SharedRect> shared_;
  PreviewWindow* preview_ = nullptr;
  CSkinSliderCtrl* slider_ = nullptr;
  wxChoice* zoomList_ = nullptr;
  wxChoice* cropList_ = nullptr;
  std::array<wxTextCtrl*, 4> edits_{};
  std::unique_ptr<DialogPlayer> player_;  // before the windows it draws in go
};

}  // namespace edit
