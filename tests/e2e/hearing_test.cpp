// The user hears the call while it is recorded: the call-client double's
// far side, played into the loopback as the recorder asked, comes out of the
// speakers (a null sink standing for them, the default before the recorder
// started) at the level played and a few tens of milliseconds later, and is
// in the recording's left channel. When the user picks other speakers the
// call follows them, and comes back when they go. Figures are printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "audio/sound_test_support.h"
#include "av_sync.h"
#include "e2e_support.h"
#include "playback_support.h"
#include "platform/sound_server.h"
#include "support/program.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kBin = MURMURANT_BIN_DIR;

double Median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Beep onsets in one channel of what a monitor heard, on the steady clock.
std::vector<double> Beeps(const playtest::MonitorRecording& m, int channel = 0) {
  auto beeps = avsync::FindBeeps(m.sound(), 2, channel, 48'000);
  for (double& b : beeps) b += m.firstSampleMs();
  return beeps;
}

// The beep's loudness (its 1 kHz part) in the 100 ms after its onset, in dB.
double BeepLevelDb(const playtest::MonitorRecording& m, double onsetMs, int channel) {
  const auto first = static_cast<std::ptrdiff_t>((onsetMs + 10 - m.firstSampleMs()) * 48);
  const std::ptrdiff_t frames = 4800;
  if (first < 0 || (first + frames) * 2 > static_cast<std::ptrdiff_t>(m.sound().size())) return NAN;
  const auto* pcm = reinterpret_cast<const std::uint8_t*>(m.sound().data() + first * 2);
  return 10 * std::log10(soundtest::Energy(pcm, frames * 4, channel, 1000) + 1e-9);
}

// The beep of `b` nearest to `at`, if within `withinMs`.
std::optional<double> Nearest(const std::vector<double>& b, double at, double withinMs) {
  std::optional<double> best;
  for (double x : b)
    if (std::abs(x - at) <= withinMs && (!best || std::abs(x - at) < std::abs(*best - at))) best = x;
  return best;
}

class Hearing : public ::testing::Test {
 protected:
  void SetUp() override {
    xtest::MovePointer(1200, 1000);
    server_ = platform::SoundServer::Connect("hearing test");
    ASSERT_TRUE(server_);
    client_ = std::make_unique<ChildProgram>(
        std::vector<std::string>{SKYPE_DOUBLE_PATH, "--log", clientLog_, "--geometry",
                                 "402x302+600+200", "--in-call"},
        box_.env());
    window_ = xtest::WaitForWindow("Skype", 10000);
    ASSERT_TRUE(window_) << "the double shows no window";
    recorder_ = std::make_unique<ChildProgram>(std::vector<std::string>{kBin + "/murmurant"},
                                               box_.env(), log_);
    ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 20000)) << "no main window";
    ASSERT_TRUE(e2e::WaitFor([&] { return Has(clientLog_, "playing on Speaker (Plovander Loopline)"); },
                             15000))
        << "the far side never went into the loopback";
  }
  void TearDown() override {
    if (HasFailure()) std::printf("--- murmurant's output:\n%s\n", ReadFile(log_).c_str());
  }

  static bool Has(const fs::path& file, const std::string& text) {
    return ReadFile(file).find(text) != std::string::npos;
  }
  int LogCount(const std::string& text) {
    const std::string log = ReadFile(log_);
    int n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }
  void RecordFixed() {
    e2e::Click(37, 55);
    ASSERT_TRUE(e2e::WaitFor([] { return e2e::Viewable("Stop Record"); }, 5000))
        << "the recording did not start";
  }
  // Stops the recording with F9; the far side's beeps in its left channel.
  // The file is moved out of the way of the next one.
  std::vector<double> StopAndReadFarSide(const std::string& name) {
    xtest::Key("F9");
    auto recording = e2e::WaitForFinishedRecording(box_, 15000);
    if (!recording) {
      ADD_FAILURE() << name << ": no finished recording";
      return {};
    }
    e2e::ExpectPlayable(*recording);
    const auto& c = recording->contents;
    const auto left = avsync::FindBeeps(c.samples, c.channels, 0, c.sampleRate);
    const auto right = avsync::FindBeeps(c.samples, c.channels, 1, c.sampleRate);
    std::printf("%s: %.1f s, %zu beeps left, %zu right\n", name.c_str(), e2e::AudioSeconds(c),
                left.size(), right.size());
    EXPECT_TRUE(right.empty()) << name << ": the far side is on the near side's channel";
    fs::rename(recording->path, box_.dir / (name + ".avi"));
    return left;
  }

  Sandbox box_;
  const fs::path clientLog_ = box_.dir / "client.log";
  const fs::path log_ = box_.dir / "murmurant.log";
  std::unique_ptr<platform::SoundServer> server_;
  std::unique_ptr<ChildProgram> client_, recorder_;
  std::optional<xtest::WindowInfo> window_;
};

}  // namespace

TEST_F(Hearing, TheFarSideIsHeardOnTheSpeakersAtItsLevelSoonAfterAndIsRecordedLeft) {
  playtest::MonitorRecording speakers("speakers.monitor");
  playtest::MonitorRecording played("plovander_loopline.monitor");
  playtest::BrightnessWatch picture(window_->id);
  RecordFixed();
  std::this_thread::sleep_for(9s);  // four or five of the double's beeps
  const auto flashes = avsync::FindFlashes(picture.Stop());
  speakers.Stop();
  played.Stop();
  const auto recordedBeeps = StopAndReadFarSide("heard");
  ASSERT_TRUE(speakers.ok() && played.ok());

  const auto heard = Beeps(speakers), heardRight = Beeps(speakers, 1), sent = Beeps(played);
  std::printf("%zu flashes, %zu beeps played, %zu heard (left), %zu heard (right)\n",
              flashes.size(), sent.size(), heard.size(), heardRight.size());
  ASSERT_GE(sent.size(), 3u) << "the double played too few beeps to measure";
  EXPECT_EQ(heard.size(), sent.size()) << "beeps played but not heard";
  EXPECT_EQ(heardRight.size(), heard.size()) << "the call is heard on one side only";
  EXPECT_GE(recordedBeeps.size(), 3u) << "the recording's far side lacks the beeps";

  std::vector<double> added, afterFlash, levelDb;
  for (double s : sent) {
    const auto h = Nearest(heard, s + 40, 200);
    if (!h) continue;
    added.push_back(*h - s);
    levelDb.push_back(BeepLevelDb(speakers, *h, 0) - BeepLevelDb(played, s, 0));
    if (const auto f = Nearest(flashes, s, 60)) afterFlash.push_back(*h - *f);
    std::printf("  beep played %9.1f ms, heard %+6.1f ms later, level %+5.2f dB\n", s, *h - s,
                levelDb.back());
  }
  std::printf("heard after it was played: median %.1f ms; after the double's flash: median %.1f ms;"
              " level: median %+.2f dB\n",
              Median(added), Median(afterFlash), Median(levelDb));
  ASSERT_FALSE(added.empty());
  EXPECT_LE(Median(added), 40.0) << "the forward adds too much delay";
  EXPECT_LE(std::abs(Median(levelDb)), 1.0) << "heard at another level than played";
  EXPECT_TRUE(recorder_->running());
}

TEST_F(Hearing, TheCallFollowsTheSpeakersTheUserPicksAndComesBackWhenTheyGo) {
  RecordFixed();
  // Headphones, mono at 44.1 kHz, picked in the desktop's sound settings.
  const auto headphones = server_->LoadModule(
      "module-null-sink",
      "sink_name=headphones rate=44100 channels=1 sink_properties=device.description=Headphones");
  ASSERT_TRUE(headphones);
  ASSERT_TRUE(server_->SetDefaultSink("headphones"));
  ASSERT_TRUE(e2e::WaitFor([&] { return Has(log_, "the call is heard on \"Headphones\""); }, 5000));
  ASSERT_TRUE(e2e::WaitFor(
      [&] { return server_->DefaultSink().value_or("") == "plovander_loopline"; }, 5000))
      << "the loopback did not become the default again";
  {
    playtest::MonitorRecording played("plovander_loopline.monitor");
    playtest::MonitorRecording onHeadphones("headphones.monitor"), onSpeakers("speakers.monitor");
    std::this_thread::sleep_for(6s);
    onHeadphones.Stop();
    onSpeakers.Stop();
    played.Stop();
    ASSERT_GE(Beeps(played).size(), 2u) << "the double played too few beeps to hear";
    // A beep at either end of the listening may fall into one recording
    // only, and a device just made may deliver its first block late.
    EXPECT_GE(Beeps(onHeadphones).size() + 1, Beeps(played).size()) << "not heard on the headphones";
    EXPECT_EQ(Beeps(onSpeakers).size(), 0u) << "still heard on the speakers";
  }
  EXPECT_GE(StopAndReadFarSide("with headphones").size(), 2u);

  // Unplugged: heard on the speakers again, and still recorded.
  RecordFixed();
  ASSERT_TRUE(server_->UnloadModule(*headphones));
  ASSERT_TRUE(e2e::WaitFor([&] { return Has(log_, "the call is heard on \"Speakers\" while"); }, 5000));
  {
    playtest::MonitorRecording played("plovander_loopline.monitor"), onSpeakers("speakers.monitor");
    std::this_thread::sleep_for(6s);
    onSpeakers.Stop();
    played.Stop();
    ASSERT_GE(Beeps(played).size(), 2u) << "the double played too few beeps to hear";
    EXPECT_GE(Beeps(onSpeakers).size() + 1, Beeps(played).size()) << "not heard on the speakers again";
  }
  EXPECT_GE(StopAndReadFarSide("headphones gone").size(), 2u);
  EXPECT_EQ(LogCount("the call is heard on \"Headphones\""), 1);
  EXPECT_EQ(LogCount("the call is heard on \"Speakers\" while"), 1);
  EXPECT_TRUE(recorder_->running());

  // Plugged in again: heard there again; and at the end they are the
  // default the user gets back, not the speakers of the start.
  const auto again = server_->LoadModule(
      "module-null-sink",
      "sink_name=headphones rate=44100 channels=1 sink_properties=device.description=Headphones");
  ASSERT_TRUE(again);
  EXPECT_TRUE(e2e::WaitFor([&] { return LogCount("the call is heard on \"Headphones\"") == 2; }, 5000));
  recorder_->Stop();
  EXPECT_EQ(server_->DefaultSink().value_or(""), "headphones");
  EXPECT_FALSE(e2e::LoopbackSinkExists());
  server_->UnloadModule(*again);
}
