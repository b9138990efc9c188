// Things going wrong around a recording that is under way: the call client
// dies, the microphone goes, the output folder is deleted, the user closes the
// program. The real recorder runs with its audio engine and the call-client
// double in a call, whose far side speaks into the loopback; faults are made
// the way they happen on a desktop and input is real.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "audio/sound_test_support.h"
#include "av_sync.h"
#include "e2e_support.h"
#include "recording/floating_placement.h"
#include "support/program.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kBin = MURMURANT_BIN_DIR;
// The near side speaks a tone the far side's voice and beeps do not hold.
constexpr double kNearHz = 3000;
constexpr double kFarHz = 700;
// Where the double's window is.
constexpr const char* kClientGeometry = "402x302+600+200";
// What "record fixed" records without a call client: 320 x 240 at (100, 100).
constexpr capture::ScreenRect kDefaultRect{100, 100, 419, 339};


class Faults : public ::testing::Test {
 protected:
  void SetUp() override { xtest::MovePointer(1200, 1000); }
  void TearDown() override {
    if (!HasFailure()) return;
    for (const char* log : {"murmurant.log", "client.log"})
      std::printf("--- %s:\n%s\n", log, ReadFile(box_.dir / log).c_str());
    std::printf("--- windows on %s:\n%s\n", std::getenv("DISPLAY"),
                e2e::CommandOutput("xwininfo -root -children | grep '\"'").c_str());
  }

  // The double in a call. With its window hidden there is no call-client
  // window for "record fixed" to take, so the default area is recorded.
  void StartClient(bool windowShown = true) {
    std::vector<std::string> argv = {SKYPE_DOUBLE_PATH, "--log", clientLog_, "--geometry",
                                     kClientGeometry, "--in-call"};
    if (!windowShown) argv.push_back("--hidden");
    client_ = std::make_unique<ChildProgram>(argv, box_.env());
    ASSERT_TRUE(client_->started());
    if (windowShown) {
      ASSERT_TRUE(xtest::WaitForWindow("Skype", 10000)) << "the double shows no window";
    }
  }

  // The recorder with its engine; the double's far side then plays into the
  // loopback, and the near side speaks into the microphone.
  void StartRecorderAndCall() {
    if (!client_) StartClient(false);
    if (HasFatalFailure()) return;
    recorder_ = std::make_unique<ChildProgram>(std::vector<std::string>{kBin + "/murmurant"},
                                               box_.env(), box_.dir / "murmurant.log");
    ASSERT_TRUE(recorder_->started());
    ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 20000)) << "no main window";
    ASSERT_TRUE(e2e::WaitForLoopbackSink(8000)) << "the audio engine made no loopback device";
    ASSERT_TRUE(e2e::WaitFor(
        [&] {
          return ReadFile(clientLog_).find("playing on Speaker (Plovander Loopline)") !=
                 std::string::npos;
        },
        10000))
        << "the far side never went into the loopback";
    near_ = std::make_unique<soundtest::Player>(soundtest::MicSink(),
                                                soundtest::Tone(14, kNearHz, kNearHz));
    ASSERT_TRUE(near_->started());
  }

  // A click on "record fixed"; true once the capture has begun (the floating
  // Stop window comes up with the first picture).
  bool RecordFixed() {
    e2e::Click(37, 55);
    return e2e::WaitFor([] { return e2e::Viewable("Stop Record"); }, 5000);
  }

  bool RecorderRunning() { return recorder_ && recorder_->running(); }

  Sandbox box_;
  const std::string clientLog_ = box_.dir / "client.log";
  std::unique_ptr<ChildProgram> client_;
  std::unique_ptr<ChildProgram> recorder_;
  std::unique_ptr<soundtest::Player> near_;
};

// Unloads the harness's "microphone" source for its life and puts it back
// (as the default source) afterwards, so later tests still speak into it.
class MicrophoneRemoved {
 public:
  MicrophoneRemoved() {
    module_ = e2e::CommandOutput(
        "pactl list short modules | awk '$2 == \"module-remap-source\" && "
        "/source_name=microphone/ {print $1}'");
    removed_ = !module_.empty() &&
               std::system(("pactl unload-module " + module_).c_str()) == 0;
  }
  ~MicrophoneRemoved() {
    const std::string load =
        "pactl load-module module-remap-source source_name=microphone master=" +
        soundtest::MicSink() +
        ".monitor source_properties=device.description=Microphone"
        " >/dev/null && pactl set-default-source microphone";
    if (removed_ && std::system(load.c_str()) != 0) ADD_FAILURE() << "microphone not put back";
  }
  MicrophoneRemoved(const MicrophoneRemoved&) = delete;
  MicrophoneRemoved& operator=(const MicrophoneRemoved&) = delete;
  bool removed() const { return removed_; }

 private:
  std::string module_;
  bool removed_ = false;
};

bool SourceExists(const std::string& name) {
  return std::system(("pactl list short sources | cut -f2 | grep -qx " + name).c_str()) == 0;
}

}  // namespace

TEST_F(Faults, CallClientKilledMidRecordingLeavesTheProgramUpAndF9EndsAPlayableFile) {
  StartClient();
  if (HasFatalFailure()) return;
  StartRecorderAndCall();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(RecordFixed()) << "the recording did not start";
  std::this_thread::sleep_for(1500ms);

  ::kill(client_->pid(), SIGKILL);
  ASSERT_TRUE(client_->WaitExit(3000));
  std::this_thread::sleep_for(1500ms);  // the program notices the client has gone
  ASSERT_TRUE(RecorderRunning());

  xtest::Key("F9");
  auto recording = e2e::WaitForFinishedRecording(box_, 8000);
  ASSERT_TRUE(recording) << "no finished recording";
  e2e::ExpectPlayableInStep(*recording, 3.0, "client killed");
  // The floating Stop window goes with the recording, whichever way it ended.
  EXPECT_TRUE(e2e::WaitFor([] { return !e2e::Viewable("Stop Record"); }, 3000));
  EXPECT_TRUE(RecorderRunning());
}

TEST_F(Faults, MicrophoneUnpluggedAndPluggedBackKeepsTheFarSideAndTakesTheNearSideUpAgain) {
  StartRecorderAndCall();  // no call-client window: the default area is recorded
  if (HasFatalFailure()) return;
  ASSERT_TRUE(RecordFixed()) << "the recording did not start";
  std::this_thread::sleep_for(1500ms);
  {
    MicrophoneRemoved gone;
    ASSERT_TRUE(gone.removed()) << "no microphone module to remove";
    ASSERT_FALSE(SourceExists("microphone"));
    // Long enough that the far side beeps at least once meanwhile.
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(RecorderRunning());
  }
  ASSERT_TRUE(SourceExists("microphone"));
  std::this_thread::sleep_for(3s);  // plugged back: the recording goes on
  xtest::Key("F9");
  auto recording = e2e::WaitForFinishedRecording(box_, 8000);
  ASSERT_TRUE(recording) << "no finished recording";
  e2e::ExpectPlayableInStep(*recording, 7.5, "microphone out and back");
  const double audio = e2e::AudioSeconds(recording->contents);
  // The far side beeps at most 2.6 s apart: one beep must begin while the
  // microphone was out (1.5 s to 4.5 s).
  const auto beeps = avsync::FindBeeps(recording->contents.samples, 2, 0, 48000);
  EXPECT_TRUE(std::any_of(beeps.begin(), beeps.end(), [](double ms) { return ms > 1700 && ms < 4400; }))
      << "the far side stopped with the microphone";
  // The near side: there before, silence while out, there again at the end.
  const auto* pcm = reinterpret_cast<const std::uint8_t*>(recording->contents.samples.data());
  auto nearAt = [&](double fromS, double toS) {
    const auto from = static_cast<size_t>(fromS * 48000) * 4;
    const auto to = std::min(static_cast<size_t>(toS * 48000) * 4, recording->contents.samples.size() * 2);
    return soundtest::Energy(pcm + from, to - from, 1, kNearHz);
  };
  const double before = nearAt(0.3, 1.2), out = nearAt(2.5, 4.0), back = nearAt(audio - 1.0, audio);
  std::printf("near side energy: before %.3g, out %.3g, back %.3g\n", before, out, back);
  EXPECT_GT(before, 1e5);
  EXPECT_LT(out, before / 1000);
  EXPECT_GT(back, 1e5) << "the near side did not come back with the microphone";
  EXPECT_TRUE(RecorderRunning());
}

TEST_F(Faults, OutputFolderDeletedMidRecordingStillLeavesAPlayableFileThere) {
  StartRecorderAndCall();  // no call-client window: the default area is recorded
  if (HasFatalFailure()) return;
  ASSERT_TRUE(RecordFixed()) << "the recording did not start";
  std::this_thread::sleep_for(1s);

  const fs::path folder = box_.dir / "home/PlovanderOutput";
  const auto before = box_.Recordings();
  ASSERT_EQ(before.size(), 1u);
  fs::remove_all(folder);
  ASSERT_FALSE(fs::exists(folder));
  std::this_thread::sleep_for(1500ms);
  ASSERT_TRUE(RecorderRunning());

  xtest::Key("F9");
  // The file open while its folder went is written out again where it was,
  // so the list's path is true again.
  auto recording = e2e::WaitForFinishedRecording(box_, 8000);
  ASSERT_TRUE(recording) << "the recording was lost with its folder";
  EXPECT_EQ(recording->path, before[0]);
  e2e::ExpectPlayable(*recording);
  EXPECT_NEAR(e2e::VideoSeconds(recording->contents), 2.5, 1.0);
  EXPECT_TRUE(RecorderRunning());
}

TEST_F(Faults, ClosingTheMainWindowMidRecordingFinishesTheFileAndPutsTheSoundBack) {
  StartRecorderAndCall();  // no call-client window: the default area is recorded
  if (HasFatalFailure()) return;
  const std::string engine = e2e::CommandOutput(
      "pgrep -P " + std::to_string(recorder_->pid()) + " -x audiotrans");
  ASSERT_FALSE(engine.empty()) << "no audio engine under the program";
  ASSERT_TRUE(e2e::WaitFor(
      [] { return e2e::CommandOutput("pactl get-default-sink") == "plovander_loopline"; }, 5000))
      << "the loopback never became the default";
  ASSERT_TRUE(RecordFixed()) << "the recording did not start";
  std::this_thread::sleep_for(2s);

  // The main window stays on the screen while recording; its close button.
  ASSERT_TRUE(e2e::Viewable("Murmurant"));
  e2e::Click(490, 14);
  auto status = recorder_->WaitExit(6000);
  ASSERT_TRUE(status) << "the program did not end after its window was closed";
  EXPECT_EQ(*status, 0);

  auto recording = e2e::WaitForFinishedRecording(box_, 3000);
  ASSERT_TRUE(recording) << "no finished recording";
  e2e::ExpectPlayable(*recording);
  EXPECT_NEAR(e2e::VideoSeconds(recording->contents), 2.0, 1.0);
  EXPECT_NE(e2e::CommandOutput("pactl get-default-sink"), "plovander_loopline");
  // Ended: gone, or a zombie waiting for whoever adopted it.
  auto engineEnded = [&] {
    return !fs::exists("/proc/" + engine) ||
           e2e::CommandOutput("ps -o stat= -p " + engine).starts_with("Z");
  };
  EXPECT_TRUE(e2e::WaitFor(engineEnded, 3000))
      << "the audio engine outlived the program";
  EXPECT_TRUE(e2e::WaitFor([] { return !e2e::LoopbackSinkExists(); }, 3000));
}

TEST_F(Faults, FloatingStopStandsBesideTheRecordedAreaAndItsClickEndsTheRecording) {
  StartRecorderAndCall();  // no call-client window: the default area is recorded
  if (HasFatalFailure()) return;
  ASSERT_TRUE(RecordFixed()) << "the recording did not start";

  auto floating = xtest::WaitForWindow("Stop Record", 2000);
  ASSERT_TRUE(floating);
  const auto at = recording::FloatingStopPlacement(kDefaultRect, 1280, 1024);
  ASSERT_TRUE(at);
  EXPECT_EQ(floating->x, at->x);  // below the area, right-aligned
  EXPECT_EQ(floating->y, at->y);
  EXPECT_EQ(floating->width, recording::kFloatingWidth);
  EXPECT_EQ(floating->height, recording::kFloatingHeight);
  std::this_thread::sleep_for(2s);

  e2e::Click(floating->x + floating->width / 2, floating->y + floating->height / 2);
  auto recording = e2e::WaitForFinishedRecording(box_, 8000);
  ASSERT_TRUE(recording) << "the floating Stop did not end the recording";
  e2e::ExpectPlayable(*recording);
  EXPECT_NEAR(e2e::VideoSeconds(recording->contents), 2.0, 1.0);
  EXPECT_TRUE(e2e::WaitFor([] { return !e2e::Viewable("Stop Record"); }, 3000));
  EXPECT_TRUE(xtest::WaitForWindow("Murmurant", 3000)) << "the main window did not come back";
  EXPECT_TRUE(RecorderRunning());
}

TEST_F(Faults, F9WhileIdleRecordsNothing) {
  StartRecorderAndCall();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(500ms);
  xtest::Key("F9");
  std::this_thread::sleep_for(2s);  // a recording would have its file by now
  EXPECT_TRUE(box_.Recordings().empty());
  EXPECT_FALSE(e2e::Viewable("Stop Record"));
  EXPECT_TRUE(RecorderRunning());
}

TEST_F(Faults, RecordPressedTwentyTimesThenTheLoopbackRemovedKeepsOneRecordingInTime) {
  StartRecorderAndCall();  // no call-client window: the default area is recorded
  if (HasFatalFailure()) return;
  xtest::MovePointer(37, 55);
  std::this_thread::sleep_for(200ms);
  for (int i = 0; i < 20; ++i) {
    xtest::PressButton(1, true);
    xtest::PressButton(1, false);
  }
  ASSERT_TRUE(e2e::WaitFor([] { return e2e::Viewable("Stop Record"); }, 5000));
  xtest::MovePointer(1200, 1000);
  std::this_thread::sleep_for(1500ms);
  // The loopback goes (its playback side unloaded by hand; what hangs off it
  // goes with it). The engine makes it again and the far side comes back.
  ASSERT_EQ(std::system("pactl unload-module $(pactl list short modules | "
                        "awk '/module-null-sink.*sink_name=plovander_loopline/ {print $1}')"),
            0);
  ASSERT_TRUE(e2e::WaitFor([] { return e2e::LoopbackSinkExists(); }, 3000))
      << "the loopback was not made again";
  soundtest::Player far("plovander_loopline", soundtest::Tone(4, kFarHz, kFarHz));
  std::this_thread::sleep_for(2500ms);
  ASSERT_TRUE(RecorderRunning());
  xtest::Key("F9");
  auto recording = e2e::WaitForFinishedRecording(box_, 8000);
  ASSERT_TRUE(recording) << "no finished recording";
  EXPECT_EQ(box_.Recordings().size(), 1u);
  // Both sides keep their place and the sound its length, and the far side
  // is recorded again once its device is back.
  e2e::ExpectPlayableInStep(*recording, 4.0, "the loopback removed and made again");
  const auto* pcm = reinterpret_cast<const std::uint8_t*>(recording->contents.samples.data());
  const size_t bytes = recording->contents.samples.size() * 2;
  const size_t lastSecond = std::min<size_t>(bytes, 48000 * 4);
  EXPECT_GT(soundtest::Energy(pcm + bytes - lastSecond, lastSecond, 1, kNearHz), 1e5);
  EXPECT_GT(soundtest::Energy(pcm + bytes - lastSecond, lastSecond, 0, kFarHz), 1e5)
      << "the far side did not come back";
  EXPECT_NE(ReadFile(box_.dir / "murmurant.log").find("the loopback device was removed"),
            std::string::npos);
  EXPECT_TRUE(RecorderRunning());
}
