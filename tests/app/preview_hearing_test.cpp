// Previews are for the user's ears, not for the recording: with the audio
// engine routing the call through the loopback and a recording running,
// Play in the main window's preview panel and in each edit tool is heard on
// the speakers (the harness's null sink standing for them) and never reaches
// the loopback, so the recording's far side holds none of it.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>

#include "app/control_ids.h"
#include "app/main_preview.h"
#include "audio/loopback_device.h"
#include "avi_check.h"
#include "main_window_fixture.h"
#include "platform/sound_server.h"
#include "platform/x11_setup.h"
#include "playback_support.h"
#include "recording/recording_controller.h"
#include "test_media.h"
#include "ui/hover_button.h"

namespace fs = std::filesystem;

namespace {

// Loudness of one channel over all of it, in dB below full scale.
double LevelDb(const std::vector<int16_t>& interleaved, int channel = 0) {
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t k = channel; k < interleaved.size(); k += 2, ++n)
    sum += double(interleaved[k]) * interleaved[k];
  return n ? 10 * std::log10(sum / n / (32768.0 * 32768.0) + 1e-30) : -300;
}

struct Heard {
  std::string where;
  double speakersDb = -300, loopbackDb = -300;
};

// Listens to the speakers and the loopback while `play` runs.
template <class Play>
Heard Listen(const std::string& where, Play play) {
  playtest::MonitorRecording speakers("speakers.monitor");
  playtest::MonitorRecording loopback(std::string(audio::kLoopbackMonitorName));
  play();
  speakers.Stop();
  loopback.Stop();
  return {where, LevelDb(speakers.sound()), LevelDb(loopback.sound())};
}

class PreviewHearing : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    // The real engine beside the program, as installed.
    for (const char* name : {"audiotrans", "libhook.so"})
      fs::create_symlink(std::string(MURMURANT_BIN_DIR) + "/" + name, dir_ / ("prog/" + std::string(name)));
    recording_ = dir_ / "Call.avi";
    ASSERT_TRUE(testmedia::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                                "testsrc2=size=320x240:rate=25", "-f", "lavfi", "-i",
                                "sine=frequency=1000:sample_rate=48000", "-t", "8", "-ac", "2",
                                "-c:v", "msmpeg4v3", "-c:a", "pcm_s16le", recording_}));
    server_ = platform::SoundServer::Connect("preview hearing test");
    ASSERT_TRUE(server_);
  }
  void TearDown() override {
    if (window_) window_->Close();  // the engine gives the sound back
    PumpFor(300);
    window_ = nullptr;
  }

  void ClickButton(int id) {
    CHoverButton* b = window_->button(id);
    ASSERT_TRUE(b && b->IsShownOnScreen()) << id;
    Click(b->ClientToScreen(wxPoint(b->GetSize().x / 2, b->GetSize().y / 2)));
  }

  // From the input thread: a tool's dialog, heard while it plays by itself,
  // then cancelled.
  static Heard ListenToDialog(const std::string& title) {
    if (!xtest::WaitForWindow(title, 8000)) return {title + " (never opened)"};
    // The tools start playing half a second after they open.
    const Heard heard = Listen(title, [] { std::this_thread::sleep_for(std::chrono::milliseconds(2500)); });
    if (!ClickUntilClosed(title, {490 + 48, 406 + 15})) return {title + " (never closed)"};
    return heard;
  }

  std::string recording_;
  std::unique_ptr<platform::SoundServer> server_;
};

}  // namespace

TEST_F(PreviewHearing, EveryPreviewIsHeardOnTheSpeakersAndNeverInTheLoopbackWhileRecording) {
  Open();
  window_->AppendRecording(recording_, "Call.avi", "00:00:08");
  ASSERT_TRUE(PumpUntil([&] { return server_->DefaultSink().value_or("") == audio::kLoopbackSinkName; },
                        15000))
      << "the engine never routed playback through the loopback";
  ASSERT_EQ(audio::ListeningDevice(), "speakers");

  // A call being recorded meanwhile.
  Click(window_->ClientToScreen(wxPoint(37, 55)));  // "record fixed"
  ASSERT_TRUE(PumpUntil([&] { return window_->recorder()->recording(); }, 5000));

  std::vector<Heard> heard;
  PickFromRowMenu(1);  // "Preview"
  ASSERT_TRUE(PumpUntil([&] { return window_->previewPanelShown(); }));
  heard.push_back(Listen("the preview panel", [&] {
    ClickButton(ids::kPrePlay);
    PumpUntil([&] { return window_->preview()->state() == media::kPlaying; });
    PumpFor(2000);
  }));
  ClickButton(ids::kPreStop);
  for (const auto& [downs, title] : {std::pair{2, "Trim"}, {3, "Crop"}, {4, "Effects"}})
    PickFromRowMenu(downs, [&heard, title = std::string(title)] { heard.push_back(ListenToDialog(title)); });

  xtest::Key("F9");
  ASSERT_TRUE(PumpUntil([&] { return window_->mediaList()->model().items().size() == 2; }, 10000));
  const std::string recorded = window_->mediaList()->model().items()[1].fullPath;
  ASSERT_TRUE(PumpUntil([&] { return avicheck::Read(recorded).opened; }, 10000)) << recorded;
  const auto contents = avicheck::Read(recorded);

  for (const auto& h : heard) {
    std::printf("%-18s speakers %6.1f dB, loopback %6.1f dB\n", h.where.c_str(), h.speakersDb,
                h.loopbackDb);
    EXPECT_GT(h.speakersDb, -40) << h.where << " is not heard on the speakers";
    EXPECT_LT(h.loopbackDb, -70) << h.where << " plays into the loopback";
  }
  EXPECT_EQ(heard.size(), 4u);
  const double farSide = LevelDb(contents.samples, 0);
  std::printf("the recording's far side while the previews played: %.1f dB\n", farSide);
  EXPECT_LT(farSide, -70) << "the recording took a preview for the far side of the call";
}

int main(int argc, char** argv) {
  platform::InitXlibThreads();  // the preview draws from its player thread
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
