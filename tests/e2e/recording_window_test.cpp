// The main window in this process, recording for real: a click on "record
// fixed", F9 two seconds later, and the list, status and time that follow.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>

#include <signal.h>

#include "app/main_window.h"
#include "audio/sound_test_support.h"
#include "avi_check.h"
#include "app/media_list.h"
#include "audio/device_routing.h"
#include "platform/sound_server.h"
#include "support/log_file.h"
#include "recording/recording_controller.h"
#include "support/temp_dir.h"
#include "support/wx_env.h"
#include "support/x_screen.h"

namespace fs = std::filesystem;

namespace {

// A program folder of our own with the real companions and skin, so that
// settings and recordings stay inside the test's folder.
AppFolders OwnFolders(const TempDir& dir) {
  fs::create_directories(dir / "prog");
  fs::create_directories(dir / "home");
  for (const char* name : {"audiotrans", "libhook.so", "skin"})
    if (fs::exists(std::string(MURMURANT_BIN_DIR) + "/" + name))
      fs::create_symlink(std::string(MURMURANT_BIN_DIR) + "/" + name, dir / ("prog/" + std::string(name)));
  return AppFolders::Resolve(dir / "prog", dir / "home", dir / "home/.config",
                             dir / "home/.local/share", true);
}

// The recorder's window in this process, brought up as the program does.
MainWindow* ShowRecorder(const TempDir& dir) {
  xtest::MovePointer(1200, 1000);
  auto* window = new MainWindow(OwnFolders(dir));
  window->OnInitDialog();
  window->Show();
  return window;
}

// A real click on "record fixed"; true once the capture runs.
bool ClickRecordFixed(MainWindow* window) {
  xtest::MovePointer(37, 55);
  PumpFor(200);
  xtest::PressButton(1, true);
  xtest::PressButton(1, false);
  return PumpUntil([&] { return window->recorder()->recording(); }, 5000);
}

}  // namespace

TEST(RecordingWindow, StopAddsOneRowWithNameAndLengthAndSaysReady) {
  TempDir dir;
  auto* window = ShowRecorder(dir);
  ASSERT_TRUE(PumpUntil([&] { return window->IsShownOnScreen(); }, 10000));
  PumpFor(500);
  EXPECT_EQ(window->statusText(), "");
  EXPECT_EQ(window->elapsedText(), "00:00:00");

  // F9 while idle does nothing.
  xtest::Key("F9");
  PumpFor(300);
  EXPECT_EQ(window->mediaList()->model().items().size(), 0u);

  ASSERT_TRUE(ClickRecordFixed(window));
  EXPECT_EQ(window->statusText(), "Recording");
  // The icon blinks while recording: both faces show within two seconds.
  bool sawRecording = false, sawNormal = false;
  for (int i = 0; i < 23; ++i) {
    PumpFor(100);
    (window->showingRecordingIcon() ? sawRecording : sawNormal) = true;
  }
  EXPECT_TRUE(sawRecording && sawNormal);
  EXPECT_EQ(window->elapsedText(), "00:00:02");

  xtest::Key("F9");
  ASSERT_TRUE(PumpUntil([&] { return !window->recorder()->recording(); }, 3000));
  EXPECT_EQ(window->statusText(), "Ready");
  EXPECT_FALSE(window->showingRecordingIcon());
  const auto& items = window->mediaList()->model().items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_TRUE(std::regex_match(items[0].fileName,
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.avi)")));
  EXPECT_EQ(items[0].duration, "00:00:02");
  EXPECT_EQ(items[0].checked, 1);
  EXPECT_TRUE(window->mediaList()->IsShown());
  // The listed file is the one on disk.
  EXPECT_TRUE(PumpUntil([&] { return fs::exists(items[0].fullPath); }, 3000)) << items[0].fullPath;

  window->Close();
  PumpFor(500);
}

// The user-interface thread stops answering for three seconds in the middle
// of a recording (a hung call client does that to it): the call's sound must
// go on into the file without a gap and keep its length.
TEST(RecordingWindow, AStalledWindowLosesNoSound) {
  TempDir dir;
  auto* window = ShowRecorder(dir);
  ASSERT_TRUE(PumpUntil([&] { return window->IsShownOnScreen(); }, 10000));
  ASSERT_TRUE(PumpUntil([] {
    return std::system("pactl list short sinks | grep -q plovander_loopline") == 0;
  }, 8000));
  soundtest::Player far("plovander_loopline", soundtest::Tone(14, 440, 440));
  ASSERT_TRUE(far.started());
  PumpFor(500);

  ASSERT_TRUE(ClickRecordFixed(window));
  PumpFor(1500);
  std::this_thread::sleep_for(std::chrono::seconds(3));  // the stall: no events handled
  PumpFor(1500);
  xtest::Key("F9");
  ASSERT_TRUE(PumpUntil([&] { return window->mediaList()->model().items().size() == 1; }, 5000));
  const std::string path = window->mediaList()->model().items()[0].fullPath;
  window->Close();
  PumpFor(500);

  auto c = avicheck::Read(path);
  ASSERT_TRUE(c.opened) << path;
  const double video = (c.lastVideoPts + 1) / 25.0;
  const double audio = c.samples.size() / 2.0 / 48000.0;
  std::printf("stalled recording: video %.3f s, audio %.3f s\n", video, audio);
  EXPECT_NEAR(video, 6.0, 1.0);
  EXPECT_LT(std::abs(video - audio), 0.3) << "sound lost while the window stalled";
  // The far side (left) carries the tone in every 20 ms from the first half
  // second to the end: no stretch of it went missing.
  int silent = 0;
  const size_t window20ms = 960;
  for (size_t f = 24'000; f + window20ms < c.samples.size() / 2 - 4800; f += window20ms) {
    double sum = 0;
    for (size_t k = f; k < f + window20ms; ++k) sum += double(c.samples[2 * k]) * c.samples[2 * k];
    if (std::sqrt(sum / window20ms) < 2000) ++silent;
  }
  EXPECT_EQ(silent, 0) << "20 ms stretches without the far side's tone";
}

// The audio engine killed in the middle of a recording: the window says so,
// the user's sound comes back at once, and the recording goes on with its
// picture.
TEST(RecordingWindow, AKilledEngineIsToldAndTheSoundIsGivenBackWhileTheRecordingGoesOn) {
  LogToTempFile log;
  TempDir dir;
  auto server = platform::SoundServer::Connect("recording window test");
  ASSERT_TRUE(server);
  auto* window = ShowRecorder(dir);
  ASSERT_TRUE(PumpUntil([&] {
    return server->DefaultSink().value_or("") == "plovander_loopline" && !audio::RunningEngines().empty();
  }, 15000)) << "the engine never routed playback";
  ASSERT_TRUE(ClickRecordFixed(window));
  PumpFor(1000);

  const pid_t engine = audio::RunningEngines().front();
  kill(engine, SIGKILL);
  const auto killed = std::chrono::steady_clock::now();
  ASSERT_TRUE(PumpUntil([&] {
    return window->statusText() == "Audio engine stopped" &&
           server->DefaultSink().value_or("") == "speakers" &&
           std::system("pactl list short modules | grep -q plovander_loopline") != 0;
  }, 5000)) << "status \"" << window->statusText().utf8_string() << "\", default playback "
            << server->DefaultSink().value_or("?");
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - killed).count();
  std::printf("the engine's death told and the sound given back %.0f ms after the kill\n", ms);
  EXPECT_LE(ms, 2000);
  EXPECT_EQ(server->DefaultSource().value_or(""), "microphone");
  EXPECT_EQ(log.Count("the audio engine ended on its own"), 1) << log.Text();

  // The recording goes on: more pictures come after the engine went.
  PumpFor(1500);
  EXPECT_TRUE(window->recorder()->recording());
  xtest::Key("F9");
  ASSERT_TRUE(PumpUntil([&] { return window->mediaList()->model().items().size() == 1; }, 5000));
  const std::string path = window->mediaList()->model().items()[0].fullPath;
  window->Close();
  PumpFor(500);
  const auto c = avicheck::Read(path);
  ASSERT_TRUE(c.opened) << path;
  EXPECT_GE((c.lastVideoPts + 1) / 25.0, 2.0);
  EXPECT_EQ(c.decodeErrors, 0);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
