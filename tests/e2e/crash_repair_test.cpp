// The recorder killed in the middle of a recording, the way a power cut or
// kill -9 ends it, and started again: the file it left is rebuilt in the
// background and a file it cannot use is left alone and said so. The real
// program runs with its audio engine; both sides of the call are tones.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>

#include "audio/sound_test_support.h"
#include "e2e_support.h"
#include "support/program.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kBin = MURMURANT_BIN_DIR;
constexpr double kFarHz = 440, kNearHz = 1000;

bool Ended(const std::string& pid) {
  return pid.empty() || !fs::exists("/proc/" + pid) ||
         e2e::CommandOutput("ps -o stat= -p " + pid).starts_with("Z");
}

class CrashRepair : public ::testing::Test {
 protected:
  void SetUp() override {
    xtest::MovePointer(1200, 1000);
    // A killed recorder never puts the user's devices back; this test does.
    savedSink_ = e2e::CommandOutput("pactl get-default-sink");
    savedSource_ = e2e::CommandOutput("pactl get-default-source");
  }
  void TearDown() override {
    recorder_.reset();
    // The first run's engine outlives the kill and the second start ends it;
    // the second run's goes with its program. Neither may stay behind.
    for (const std::string& engine : engines_) {
      if (e2e::WaitFor([&] { return Ended(engine); }, 3000)) continue;
      ADD_FAILURE() << "audio engine " << engine << " is still running";
      ::kill(std::stoi(engine), SIGKILL);
    }
    std::system(("pactl set-default-sink " + savedSink_ + " 2>/dev/null").c_str());
    std::system(("pactl set-default-source " + savedSource_ + " 2>/dev/null").c_str());
    if (HasFailure())
      for (const char* log : {"first.log", "second.log"})
        std::printf("--- %s:\n%s\n", log, ReadFile(box_.dir / log).c_str());
  }

  // The recorder with its engine; false when either did not come up.
  bool StartRecorder(const std::string& log) {
    recorder_ = std::make_unique<ChildProgram>(std::vector<std::string>{kBin + "/murmurant"},
                                               box_.env(), box_.dir / log);
    if (!recorder_->started() || !xtest::WaitForWindow("Murmurant", 20000) ||
        !e2e::WaitForLoopbackSink(8000))
      return false;
    const std::string engine =
        e2e::CommandOutput("pgrep -P " + std::to_string(recorder_->pid()) + " -x audiotrans");
    if (!engine.empty()) engines_.push_back(engine);
    return !engine.empty();
  }

  std::vector<fs::path> Recordings() const {
    auto all = box_.Recordings();
    std::erase_if(all, [](const fs::path& p) { return p.filename() == "garbage.avi"; });
    return all;
  }

  Sandbox box_;
  std::unique_ptr<ChildProgram> recorder_;
  std::vector<std::string> engines_;  // pids of the audio engines the runs started
  std::string savedSink_, savedSource_;
};

}  // namespace

TEST_F(CrashRepair, RecordingOfAKilledRecorderIsRebuiltAtTheNextStartAndGarbageIsLeftAlone) {
  ASSERT_TRUE(StartRecorder("first.log")) << "the recorder or its engine did not come up";
  soundtest::Player far("plovander_loopline", soundtest::Tone(12, kFarHz, kFarHz));
  soundtest::Player near(soundtest::MicSink(), soundtest::Tone(12, kNearHz, kNearHz));
  ASSERT_TRUE(far.started() && near.started());

  e2e::Click(37, 55);  // record fixed
  ASSERT_TRUE(e2e::WaitFor([] { return e2e::Viewable("Stop Record"); }, 5000))
      << "the recording did not start";
  const auto started = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(5s);  // the recording runs
  ::kill(recorder_->pid(), SIGKILL);
  const double recorded =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ASSERT_TRUE(recorder_->WaitExit(3000)) << "kill -9 did not end the recorder";

  auto files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  const fs::path recording = files[0];
  ASSERT_EQ(avicheck::Probe(recording)["format.duration"], "N/A")
      << "the kill left a finished file";
  const std::string garbage = "not a recording at all, just bytes with the wrong name";
  const std::string garbagePath = box_.dir / "home/PlovanderOutput/garbage.avi";
  WriteFile(garbagePath, garbage);

  ASSERT_TRUE(StartRecorder("second.log")) << "the recorder did not come up again";
  const std::string log = box_.dir / "second.log";
  auto logged = [&](const std::string& text) {
    return ReadFile(log).find(text) != std::string::npos;
  };
  ASSERT_TRUE(e2e::WaitFor([&] { return logged("murmurant: repaired " + recording.string()); },
                           20000))
      << "no word of the repair";
  EXPECT_TRUE(logged("murmurant: left " + garbagePath + " as it was"));

  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(recording.parent_path()))
    names.insert(e.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{recording.filename(), "garbage.avi", "Snapshot"}))
      << "the repair left other files behind";
  auto probe = avicheck::Probe(recording);
  std::printf("recorded %.2f s; the repaired file lasts %s s\n", recorded,
              probe["format.duration"].c_str());
  ASSERT_NE(probe["format.duration"], "N/A");
  EXPECT_NEAR(std::stod(probe["format.duration"]), recorded, 1.0);
  const avicheck::Contents c = avicheck::Read(recording);
  EXPECT_EQ(c.decodeErrors, 0);
  EXPECT_NEAR((c.lastVideoPts + 1) / 25.0, recorded, 1.0);
  const auto* pcm = reinterpret_cast<const std::uint8_t*>(c.samples.data());
  const size_t bytes = c.samples.size() * 2;
  EXPECT_NEAR(bytes / 4.0 / 48000, recorded, 1.0);
  EXPECT_GT(soundtest::Energy(pcm, bytes, 0, kFarHz), 1e5) << "no far side on the left";
  EXPECT_GT(soundtest::Energy(pcm, bytes, 1, kNearHz), 1e5) << "no near side on the right";
  EXPECT_EQ(ReadFile(garbagePath), garbage);
  // No crash after the repair, and a clean end when asked to close.
  ASSERT_TRUE(recorder_->running()) << "the second start did not survive the repair";
  ::kill(recorder_->pid(), SIGTERM);
  const auto status = recorder_->WaitExit(8000);
  ASSERT_TRUE(status) << "the recorder did not end when asked to";
  EXPECT_EQ(*status, 0);
}
