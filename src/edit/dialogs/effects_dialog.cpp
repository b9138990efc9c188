#include "edit/dialogs/effects_dialog.h"

#include <wx/choice.h>

#include <algorithm>
#include <atomic>
#include <tuple>

#include "edit/dialogs/dialog_layout.h"
#include "ui/hover_button.h"
#include "ui/preview_window.h"
#include "ui/skin_slider_ctrl.h"

namespace edit {

// The five values as the player thread's hooks read them, each its own
// 32-bit atomic: a hook takes a snapshot per picture or block of sound. The
// hooks hold their own reference, so a player thread that outlives the
// dialog still reads valid memory.
struct CEffectDlg::LiveSettings {
  std::atomic<int32_t> effect{0}, brightness{0}, contrast{100}, saturation{0}, volume{100};

  EffectSettings Snapshot() const {
    return {effect.load(), brightness.load(), contrast.load(), saturation.load(), volume.load()};
  }
};

namespace {

constexpr int kValueMaximum = 200;  // the four value sliders: 0 .. 200
constexpr int kPositionMaximum = 100;
// Brightness and saturation are shown shifted onto the slider's 0 .. 200.
constexpr int kSignedShift = 100;
const wxColour kTextColour(20, 20, 20);

const char* const kEffectNames[] = {"No effect", "Gray", "Negative"};

std::vector<DrawnLabel> Labels() {
  std::vector<DrawnLabel> labels;
  labels.push_back({"Effects", {10, 5}, 16, true, *wxWHITE});
  for (const auto& [text, y] : {std::tuple{"Special Effect", 45},
                                {"Brightness", 100},
                                {"Contrast", 165},
                                {"Saturation", 225},
                                {"Volume", 295}})
    labels.push_back({text, {360, y}, 16, false, kTextColour});
  for (int y : {130, 195, 255}) {
    labels.push_back({"-100", {360, y}, 14, false, kTextColour});
    labels.push_back({"+100", {560, y}, 14, false, kTextColour});
  }
  for (const auto& [text, x] : {std::tuple{"0", 360}, {"100%", 460}, {"200%", 560}})
    labels.push_back({text, {x, 330}, 14, false, kTextColour});
  return labels;
}

}  // namespace

CEffectDlg::CEffectDlg(wxWindow* parent, const std::string& skinLittleFolder,
                       const std::string& skinResFolder, const PreviewSource& source,
                       EffectSettings* current, EffectSettings* record)
    : SkinnedDialog(parent, "Effects", wxSize(600, 450), skinLittleFolder, "effect_bk.bmp"),
      current_(current),
      record_(record),
      live_(std::make_shared<LiveSettings>()) {
  SetEscapeSwallowed(true);
  BuildControls(skinResFolder);
  BindHandlers();
  ShowValues(record_ ? *record_ : *current_);

  DialogPlayer::Reports reports;
  reports.moved = [this](int percent) { slider(kPosition)->SetPos(percent); };
  reports.started = [this] { UnlockClosing(); };
  reports.ended = [this] {
    // Also when the thread never played (an unreadable recording): the
    // dialog must stay closable.
    UnlockClosing();
    preview_->Refresh(false);
  };
  std::shared_ptr<LiveSettings> live = live_;
  player_ = std::make_unique<DialogPlayer>(
      preview_,
      [live](const uint8_t* in, uint8_t* out, int w, int h) {
        ApplyPictureEffects(live->Snapshot(), in, out, w, h);
      },
      [live](int16_t* samples, int count, int) {
        ApplyVolume(live->volume.load(), samples, count);
      },
      std::move(reports));
  if (record_ && player_->Load(source)) {
    LockClosing({kOk, kCancel, kClose});
    player_->ArmAutoStart();
  }
}

CEffectDlg::~CEffectDlg() = default;

void CEffectDlg::BuildControls(const std::string& skinResFolder) {
  preview_ =
      new PreviewWindow(this, kPreview, layout::kPreview.GetPosition(), layout::kPreview.GetSize(),
                        LoadSkinBitmap(skinFolder() + "screen.bmp"));
  preview_->DisableFocusFromKeyboard();
  AddPreviewButtons({kPause, kPlay, kStop, kReset, kOk, kCancel, kClose});

  // The list keeps the toolkit's own height: at 20 pixels its text is cut off.
  effectList_ = new wxChoice(this, kEffect, wxPoint(360, 65), wxSize(200, -1));
  for (const char* name : kEffectNames) effectList_->Append(name);
  effectList_->SetSelection(0);

  for (const DrawnLabel& label : Labels()) AddLabel(label);

  AddSlider(kPosition, {125, 320}, {220, 30}, skinResFolder + "404.bmp", kPositionMaximum);
  for (const auto& [id, y] :
       {std::pair{kBrightness, 110}, {kContrast, 175}, {kSaturation, 235}, {kVolume, 310}})
    AddSlider(id, {350, y}, {245, 30}, skinResFolder + "403.bmp", kValueMaximum);
  for (int id : {kBrightness, kContrast, kSaturation, kVolume, kPosition})
    slider(id)->SetThumbBitmaps(skinResFolder + "136.bmp", skinResFolder + "137.bmp", true);
}

void CEffectDlg::AddSlider(int id, wxPoint at, wxSize size, const std::string& channel,
                           int maximum) {
  auto* s = new CSkinSliderCtrl(this, id, at, size);
  s->SetChannelBitmap(channel, true);
  s->SetRange(0, maximum);
  s->SetLineSize(1);
  s->SetPageSize(1);
  s->SetBackdrop([this](wxDC& dc) { PaintSkin(dc); });
}

CSkinSliderCtrl* CEffectDlg::slider(int id) const {
  return static_cast<CSkinSliderCtrl*>(FindWindow(id));
}

void CEffectDlg::BindHandlers() {
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { OnPlay(); }, kPlay);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { OnPause(); }, kPause);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { OnStop(); }, kStop);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { OnReset(); }, kReset);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { End(wxID_OK); }, kOk);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { End(wxID_CANCEL); }, kCancel);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { End(wxID_CANCEL); }, kClose);
  SetCloseActions([this] { End(wxID_OK); }, [this] { End(wxID_CANCEL); });
  Bind(
      wxEVT_CHOICE, [this](wxCommandEvent&) { OnEffect(); }, kEffect);
  Bind(wxEVT_SLIDER, [this](wxCommandEvent& e) { OnSlider(e.GetId()); });
}

EffectSettings CEffectDlg::values() const { return live_->Snapshot(); }

void CEffectDlg::ShowValues(const EffectSettings& v) {
  const int effect = v.effect >= 0 && v.effect < int(std::size(kEffectNames)) ? v.effect : 0;
  effectList_->SetSelection(effect);
  live_->effect = effect;
  // The sliders clamp what a damaged record holds; the hooks get the same.
  const auto shifted = [](int32_t value) {
    return std::clamp(value, -kSignedShift, kSignedShift) + kSignedShift;
  };
  live_->brightness = slider(kBrightness)->SetPos(shifted(v.brightness)) - kSignedShift;
  live_->contrast = slider(kContrast)->SetPos(v.contrast);
  live_->saturation = slider(kSaturation)->SetPos(shifted(v.saturation)) - kSignedShift;
  live_->volume = slider(kVolume)->SetPos(v.volume);
}

void CEffectDlg::Redraw() {
  if (!player_->playing()) player_->ShowStill(player_->player().position());
}

void CEffectDlg::OnPlay() { player_->Play(); }

void CEffectDlg::OnPause() { player_->Stop(); }  // the position stays where playback was

void CEffectDlg::OnStop() {
  if (!player_->playing()) return;
  player_->Stop();
  player_->player().SetPosition(0);
  slider(kPosition)->SetPos(0);
  player_->ShowStill(0);
}

void CEffectDlg::OnReset() {
  ShowValues(EffectSettings{});
  Redraw();
}

void CEffectDlg::OnEffect() {
  live_->effect = std::max(0, effectList_->GetSelection());
  Redraw();
}

void CEffectDlg::OnSlider(int id) {
  CSkinSliderCtrl* s = slider(id);
  if (!s) return;
  const int position = s->RefreshPos();
  switch (id) {
    case kPosition:
      if (player_->loaded()) player_->player().SeekFromSlider(position);
      return;
    case kBrightness: live_->brightness = position - kSignedShift; break;
    case kContrast: live_->contrast = position; break;
    case kSaturation: live_->saturation = position - kSignedShift; break;
    case kVolume: live_->volume = position; return;  // nothing to redraw
    default: return;
  }
  Redraw();
}

void CEffectDlg::End(int result) {
  if (result == wxID_OK) {
    const EffectSettings chosen = values();
    *current_ = chosen;
    if (record_) *record_ = chosen;
  }
  if (player_->playing()) {  // as Stop does
    player_->Stop();
    player_->player().SetPosition(0);
  }
  player_->Release();
  Finish(result);
}

}  // namespace edit
