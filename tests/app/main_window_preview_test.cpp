// The main window's preview panel by real input: the row menu unfolds it,
// Play shows moving pictures with the recording's sound on the default
// device, Snapshot writes a picture, and the menu folds the panel away.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/control_ids.h"
#include "app/main_preview.h"
#include "app/main_window.h"
#include "audio/sound_test_support.h"
#include "app/media_list.h"
#include "main_window_fixture.h"
#include "media/media_decoder.h"
#include "playback_support.h"
#include "test_media.h"
#include "support/temp_dir.h"
#include "ui/hover_button.h"

namespace fs = std::filesystem;

namespace {

class PreviewPanelTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    recording_ = dir_ / "Call.avi";
    // A recording like ours: MP43 pictures that move, a steady tone.
    ASSERT_TRUE(testmedia::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                            "testsrc2=size=320x240:rate=25", "-f", "lavfi", "-i",
                            "sine=frequency=1000:sample_rate=48000", "-t", "8", "-ac", "2",
                            "-c:v", "msmpeg4v3", "-c:a", "pcm_s16le", recording_}));
    Open();
    window_->AppendRecording(recording_, "Call.avi", "00:00:08");
    PumpFor(200);
  }

  wxPoint OnScreen(wxWindow* w, wxPoint at) { return w->ClientToScreen(at); }

  void ClickButton(int id) {
    CHoverButton* b = window_->button(id);
    ASSERT_TRUE(b && b->IsShownOnScreen()) << id;
    Click(OnScreen(b, wxPoint(b->GetSize().x / 2, b->GetSize().y / 2)));
  }

  // The row menu's first item, "Preview".
  void PreviewFromRowMenu() { PickFromRowMenu(1); }

  xtest::Image PreviewPixels() {
    wxPoint at = window_->ClientToScreen(wxPoint(534, 145));
    // The upper part: the transport buttons lie over the lower one.
    return xtest::GrabScreen(at.x, at.y, 280, 130);
  }

  std::string recording_;
};

TEST_F(PreviewPanelTest, RowMenuUnfoldsAPanelThatPlaysWithSoundSnapshotsAndFoldsBack) {
  PreviewFromRowMenu();
  ASSERT_TRUE(PumpUntil([&] { return window_->GetSize() == wxSize(838, 620); }))
      << window_->GetSize().x;
  ASSERT_TRUE(window_->previewPanelShown());
  MainPreview* preview = window_->preview();
  EXPECT_EQ(preview->state(), media::kStopped);
  EXPECT_EQ(preview->videoWidth(), 320);
  EXPECT_EQ(preview->videoHeight(), 240);

  // A still of the first picture replaces the empty screen: testsrc2's
  // colours, not the dark screen bitmap.
  auto screen = xtest::ReadBmp(folders_.skinFolder + "screen_normal.bmp");
  ASSERT_TRUE(screen);
  ASSERT_TRUE(PumpUntil([&] {
    return xtest::CountDifferences(PreviewPixels(), 0, 0, *screen, 0, 0, 280, 130, 40) > 10'000;
  })) << "no still picture in the preview";

  // Play: the pictures move and the default device carries the tone.
  playtest::MonitorRecording monitor;
  ClickButton(ids::kPrePlay);
  ASSERT_TRUE(PumpUntil([&] { return preview->state() == media::kPlaying; }));
  xtest::Image before = PreviewPixels();
  EXPECT_TRUE(PumpUntil([&] {
    return xtest::CountDifferences(PreviewPixels(), 0, 0, before, 0, 0, 280, 130, 40) > 500;
  })) << "the pictures do not move";
  PumpFor(1500);  // sound to measure
  monitor.Stop();
  ASSERT_TRUE(monitor.ok());
  const std::vector<int16_t>& sound = monitor.sound();
  ASSERT_GT(sound.size(), 48'000u) << "the monitor recorded less than half a second";
  EXPECT_GT(soundtest::Energy(reinterpret_cast<const uint8_t*>(sound.data()), sound.size() * 2, 0, 1000), 1e6) << "the recording's tone is not on the default device";

  // Pause stops where playback was; the slider has followed it.
  ClickButton(ids::kPrePause);
  ASSERT_TRUE(PumpUntil([&] { return preview->state() == media::kStopped; }));
  EXPECT_GT(preview->fraction(), 0.0);

  // Snapshot: the picture shown, saved under the recording's name.
  ClickButton(ids::kSnapshot);
  const fs::path shot = fs::path(window_->snapshotFolder()) / "Call_1.bmp";
  ASSERT_TRUE(PumpUntil([&] { return fs::exists(shot); })) << shot;
  EXPECT_EQ(fs::file_size(shot), 54u + 320u * 3 * 240);

  // The menu again: the panel folds back.
  PreviewFromRowMenu();
  EXPECT_TRUE(PumpUntil([&] { return window_->GetSize() == wxSize(510, 620); }));
  EXPECT_FALSE(window_->previewPanelShown());
  EXPECT_FALSE(window_->button(ids::kPrePlay)->IsShown());
}

// The transport moves the still, the slider moves the position, and a
// click on another row stops the preview and loads that recording.
TEST_F(PreviewPanelTest, TransportAndSliderMoveTheStillAndARowClickLoadsItsRecording) {
  const std::string small = dir_ / "Small.avi";
  ASSERT_TRUE(testmedia::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                          "testsrc2=size=160x120:rate=25", "-t", "4", "-c:v", "msmpeg4v3", small}));
  window_->AppendRecording(small, "Small.avi", "00:00:04");
  PumpFor(200);
  PreviewFromRowMenu();
  ASSERT_TRUE(PumpUntil([&] { return window_->previewPanelShown(); }));
  MainPreview* preview = window_->preview();
  ASSERT_TRUE(PumpUntil([&] { return preview->state() == media::kStopped; }));

  auto screen = xtest::ReadBmp(folders_.skinFolder + "screen_normal.bmp");
  ASSERT_TRUE(screen);
  ASSERT_TRUE(PumpUntil([&] {
    return xtest::CountDifferences(PreviewPixels(), 0, 0, *screen, 0, 0, 280, 130, 40) > 10'000;
  })) << "no still picture in the preview";
  const xtest::Image atStart = PreviewPixels();
  ClickButton(ids::kPreEnd);
  EXPECT_NEAR(preview->fraction(), 0.95, 1e-9);
  xtest::Image atEnd;
  EXPECT_TRUE(PumpUntil([&] {
    atEnd = PreviewPixels();
    return xtest::CountDifferences(atEnd, 0, 0, atStart, 0, 0, 280, 130, 40) > 2'000;
  })) << "End shows the same still as the start";
  ClickButton(ids::kPreBack);
  EXPECT_NEAR(preview->fraction(), 0.90, 1e-9);
  ClickButton(ids::kPreForward);
  ClickButton(ids::kPreForward);
  EXPECT_NEAR(preview->fraction(), 0.95, 1e-9) << "Forward passes the end";
  ClickButton(ids::kPreStart);
  EXPECT_EQ(preview->fraction(), 0.0);
  EXPECT_TRUE(PumpUntil([&] {
    return xtest::CountDifferences(PreviewPixels(), 0, 0, atEnd, 0, 0, 280, 130, 40) > 2'000;
  })) << "the still at the start looks like the one at the end";

  // A click in the slider's channel takes the thumb there: the middle.
  const wxPoint slider = window_->ClientToScreen(wxPoint(533 + 141, 448 + 13));
  Click(slider);
  EXPECT_NEAR(preview->fraction(), 0.5, 0.03);

  // Playing, then a click on the second row: stopped, and its size loaded.
  ClickButton(ids::kPrePlay);
  ASSERT_TRUE(PumpUntil([&] { return preview->state() == media::kPlaying; }));
  MediaList* list = window_->mediaList();
  const wxRect row = list->CellRect(1, 1);
  Click(window_->mediaList()->ClientToScreen(row.GetTopLeft() + wxPoint(20, row.height / 2)));
  ASSERT_TRUE(PumpUntil([&] { return preview->videoWidth() == 160; }));
  EXPECT_EQ(preview->state(), media::kStopped);
  EXPECT_EQ(preview->videoHeight(), 120);
}

}  // namespace
