// The effects dialog by real input and real playback: what the preview
// shows and the sound server plays, and what OK, Cancel, Reset, Pause and
// Stop leave behind.
#include <gtest/gtest.h>
#include <wx/choice.h>

#include <fstream>

#include "edit/dialogs/effects_dialog.h"
#include "platform/x11_setup.h"
#include "playback_support.h"
#include "support/wx_env.h"
#include "support/x_screen.h"
#include "test_media.h"
#include "ui/preview_window.h"
#include "ui/skin_slider_ctrl.h"

using namespace edit;

namespace {

const std::string kSkin = MURMURANT_SOURCE_DIR "/skin/";

std::string Blue() {  // a dark blue picture with a loud 1 kHz tone
  // clang-format off
  return testmedia::Make("effects_blue.avi", {"-f", "lavfi", "-i", "color=c=0x2050c0:size=320x240",
      "-f", "lavfi", "-i", "sine=f=1000:r=48000", "-af", "volume=8", "-t", "20", "-c:v", "mpeg4",
      "-q:v", "2", "-c:a", "pcm_s16le", "-ac", "2"});
  // clang-format on
}

// The loudest sample the sound server plays over a stretch of time.
int PeakHeard() {
  playtest::MonitorRecording monitor;
  PumpFor(800);  // the measured stretch
  monitor.Stop();
  EXPECT_TRUE(monitor.ok() && !monitor.sound().empty());
  int peak = 0;
  for (int16_t s : monitor.sound()) peak = std::max(peak, std::abs(int(s)));
  return peak;
}

class EffectsDialogTest : public ::testing::Test {
 protected:
  void Open(const std::string& file, EffectSettings* record, int startPercent = 0) {
    ASSERT_FALSE(file.empty());
    dialog_ = new CEffectDlg(nullptr, kSkin + "little/", kSkin + "res/",
                             {file, 320, 240, startPercent}, &current_, record);
    dialog_->Show();
    ASSERT_TRUE(PumpUntil([&] { return dialog_->IsShownOnScreen(); }));
  }
  void TearDown() override { dialog_->Destroy(), PumpFor(100); }
  // Each step is given time to reach the toolkit before the next.
  void Press(wxPoint at, wxPoint releaseAt) {
    xtest::MovePointer(at.x, at.y), PumpFor(60);
    xtest::PressButton(1, true), PumpFor(60);
    xtest::MovePointer(releaseAt.x, releaseAt.y), PumpFor(60);
    xtest::PressButton(1, false), PumpFor(60);
  }
  void Click(int id) {
    const wxRect r = dialog_->FindWindow(id)->GetScreenRect();
    Press(r.GetPosition() + r.GetSize() / 2, r.GetPosition() + r.GetSize() / 2);
  }
  xtest::Pixel PreviewMiddle() {
    const wxPoint at = dialog_->preview()->GetScreenPosition() + wxPoint(160, 120);
    return xtest::GrabScreen(at.x, at.y, 1, 1).at(0, 0);
  }
  bool Until(const std::function<bool()>& done, int ms = 3000) { return PumpUntil(done, ms); }
  bool Playing() { return Until([&] { return dialog_->player().playing(); }, 8000); }
  bool Finished() { return Until([&] { return !dialog_->IsShown(); }); }
  EffectSettings current_{1, 10, 90, 10, 120};
  CEffectDlg* dialog_ = nullptr;
};

}  // namespace

TEST_F(EffectsDialogTest, NegativeInvertsThePreviewAndVolumeZeroSilencesIt) {
  EffectSettings record;
  Open(Blue(), &record);
  ASSERT_TRUE(Playing());
  ASSERT_TRUE(Until([&] { return PreviewMiddle().b > PreviewMiddle().r + 100; }));
  const xtest::Pixel blue = PreviewMiddle();
  // The list by the wheel over it, as a user scrolls through it.
  const wxRect list = dialog_->effectList()->GetScreenRect();
  xtest::MovePointer(list.x + 40, list.y + list.height / 2);
  for (int i = 0; i < 2; ++i) xtest::PressButton(5, true), xtest::PressButton(5, false);
  ASSERT_TRUE(Until([&] { return dialog_->values().effect == 2; }));
  const auto near = [](int a, int b) { return std::abs(a - b) < 30; };
  EXPECT_TRUE(Until([&] {
    const xtest::Pixel p = PreviewMiddle();
    return near(p.r, 255 - blue.r) && near(p.g, 255 - blue.g) && near(p.b, 255 - blue.b);
  })) << "not inverted";

  EXPECT_GT(PeakHeard(), 5000) << "the tone is not heard at volume 100";
  CSkinSliderCtrl* volume = dialog_->slider(CEffectDlg::kVolume);
  const wxPoint thumb = volume->GetScreenPosition() +
                        volume->geometry().ThumbBitmapAt(volume->GetPos()) + wxPoint(8, 12);
  Press(thumb, thumb - wxPoint(400, 0));
  ASSERT_TRUE(Until([&] { return dialog_->values().volume == 0 && volume->GetPos() == 0; }));
  // Sound queued at volume 100 still plays out first: silence within a few
  // stretches.
  EXPECT_TRUE(Until([&] { return PeakHeard() < 50; }, 5000)) << "still heard at volume 0";
}

TEST_F(EffectsDialogTest, PauseKeepsStopRewindsResetAndOkStoreNeutralValues) {
  EffectSettings record{2, 40, 150, -30, 60};
  Open(Blue(), &record, 50);
  EXPECT_EQ(dialog_->slider(CEffectDlg::kSaturation)->GetPos(), 70);
  ASSERT_TRUE(Playing());
  media::PreviewPlayer& player = dialog_->player().player();
  CSkinSliderCtrl* position = dialog_->slider(CEffectDlg::kPosition);
  ASSERT_TRUE(Until([&] { return position->GetPos() > 50; }));
  Click(CEffectDlg::kPause);
  ASSERT_TRUE(Until([&] { return !dialog_->player().playing(); }));
  EXPECT_GT(player.position(), 50);
  Click(CEffectDlg::kPlay);
  ASSERT_TRUE(Playing());
  Click(CEffectDlg::kStop);
  ASSERT_TRUE(Until([&] { return !dialog_->player().playing(); }));
  EXPECT_EQ(player.position(), 0);
  EXPECT_EQ(position->GetPos(), 0);

  Click(CEffectDlg::kReset);
  ASSERT_TRUE(Until([&] { return dialog_->values() == EffectSettings{}; }));
  for (int id : {CEffectDlg::kBrightness, CEffectDlg::kContrast, CEffectDlg::kVolume})
    EXPECT_EQ(dialog_->slider(id)->GetPos(), 100);
  Click(CEffectDlg::kOk);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(dialog_->GetReturnCode(), wxID_OK);
  EXPECT_EQ(record, EffectSettings{});
  EXPECT_EQ(current_, EffectSettings{});
}

TEST_F(EffectsDialogTest, WithoutAPlayableRecordingTheDialogStaysClosableAndStoresOnlyWhatItMay) {
  Open(Blue(), nullptr);  // nothing selected: no preview, only the current settings
  EXPECT_FALSE(dialog_->player().loaded());
  CSkinSliderCtrl* contrast = dialog_->slider(CEffectDlg::kContrast);
  const wxPoint end = contrast->GetScreenPosition() + wxPoint(contrast->GetSize().x - 2, 15);
  Press(end, end);  // the far end of the channel: the thumb jumps there
  ASSERT_TRUE(Until([&] { return dialog_->values().contrast == 200; }));
  Click(CEffectDlg::kOk);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(current_, (EffectSettings{1, 10, 200, 10, 120}));
  dialog_->Destroy();

  const std::string bad = testmedia::Folder() + "/effects_broken.avi";
  std::ofstream(bad) << "RIFF and then nothing a decoder could read";
  EffectSettings record{0, 5, 100, 0, 100};
  Open(bad, &record);
  ASSERT_TRUE(Until([&] { return !dialog_->closingLocked(); }, 5000));
  Click(CEffectDlg::kCancel);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(dialog_->GetReturnCode(), wxID_CANCEL);
  EXPECT_EQ(record, (EffectSettings{0, 5, 100, 0, 100}));
  EXPECT_EQ(current_, (EffectSettings{1, 10, 200, 10, 120}));
}

int main(int argc, char** argv) {
  platform::InitXlibThreads();  // the preview draws from its player thread
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
