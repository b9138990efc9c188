// The preview player under the test sound server: what the default device
// plays is recorded from its monitor, what the preview shows is read back
// from its window, both against the same clock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "killed_recording.h"
#include "media/preview_player.h"
#include "media/preview_surface.h"
#include "platform/x11_setup.h"
#include "playback_support.h"
#include "recording/av_sync.h"
#include "support/temp_dir.h"
#include "test_media.h"

namespace {

using media::PreviewPlayer;

// What the player reported, with the time of each report.
struct Reports {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::pair<double, int>> slider;  // time, percent
  double startedMs = 0, endedMs = 0;

  media::PlayerEvents Events() {
    media::PlayerEvents e;
    e.moveSlider = [this](int percent) { Note([&] { slider.push_back({playtest::NowMs(), percent}); }); };
    e.started = [this] { Note([&] { startedMs = playtest::NowMs(); }); };
    e.ended = [this] { Note([&] { endedMs = playtest::NowMs(); }); };
    return e;
  }
  template <class F>
  void Note(F f) {
    {
      std::lock_guard lock(mutex);
      f();
    }
    changed.notify_all();
  }
  bool WaitEnded(int ms) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return endedMs > 0; });
  }
  bool WaitStarted(int ms) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return startedMs > 0; });
  }
};

// Threads of this process now.
int ThreadCount() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  return -1;
}

// Irregular gaps, so a sound late by seconds cannot pair with the wrong flash.
constexpr double kFlashes[] = {0.6, 2.0, 3.4, 4.8, 6.0, 7.6, 9.0};

// Ten seconds of black with a white picture at each flash, and a 1 kHz beep
// starting with it: the recording whose playback the tests measure.
std::string FlashRecording() {
  std::string pictures, sound;
  for (double t : kFlashes) {
    const std::string n = std::to_string(static_cast<int>(std::lround(t * 25)));
    pictures += (pictures.empty() ? "" : "+") + std::string("eq(n,") + n + ")";
    sound += (sound.empty() ? "" : "+") + std::string("between(t,") + std::to_string(t) + "," +
             std::to_string(t + 0.08) + ")";
  }
  return testmedia::Make(
      "flashes.avi",
      {"-f", "lavfi", "-i", "color=black:size=320x240:rate=25,drawbox=t=fill:c=white:enable='" + pictures + "'",
       "-f", "lavfi", "-i", "aevalsrc='0.5*sin(2*PI*1000*t)*(" + sound + ")':c=stereo:s=48000", "-t",
       "10", "-c:v", "msmpeg4v3", "-q:v", "2", "-c:a", "pcm_s16le"});
}

class PlayerTest : public ::testing::Test {
 protected:
  playtest::TestWindow window_{600, 400, 320, 240};
  media::CPreviewSurface surface_;
  Reports reports_;
  std::unique_ptr<PreviewPlayer> player_;

  void Load(const std::string& file, int width, int height) {
    if (width > 0) {
      ASSERT_EQ(surface_.Create(window_.id(), width, height, 320, 240), 1);
    }
    player_ = std::make_unique<PreviewPlayer>(surface_, nullptr, nullptr, reports_.Events());
    player_->SetFile(file);
    player_->SetState(media::kStopped);
    player_->SetStillPreview(true);
  }
  bool WaitStopped(int ms) {
    const double deadline = playtest::NowMs() + ms;
    while (player_->state() != media::kStopped && playtest::NowMs() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return player_->state() == media::kStopped;
  }
};

TEST_F(PlayerTest, PlaysInStepWithTheSoundAndInRealTime) {
  const std::string file = FlashRecording();
  ASSERT_FALSE(file.empty());
  Load(file, 320, 240);
  playtest::MonitorRecording monitor;
  playtest::BrightnessWatch watch(window_.id());
  player_->StartPlayback();
  ASSERT_TRUE(reports_.WaitStarted(3000));
  EXPECT_EQ(player_->state(), media::kPlaying);
  ASSERT_TRUE(reports_.WaitEnded(15'000)) << "the playback did not end";
  const std::vector<avsync::Brightness> shown = watch.Stop();
  monitor.Stop();
  ASSERT_TRUE(monitor.ok());
  EXPECT_TRUE(WaitStopped(2000));

  std::vector<double> beeps = avsync::FindBeeps(monitor.sound(), 2, 0, 48'000);
  for (double& b : beeps) b += monitor.firstSampleMs();
  const std::vector<double> flashes = avsync::FindFlashes(shown);
  ASSERT_EQ(beeps.size(), std::size(kFlashes)) << "the beeps did not all arrive";
  // Ten seconds take ten seconds: the beeps lie as far apart as in the file.
  const double span = (beeps.back() - beeps.front()) / 1000.0;
  const double fileSpan = kFlashes[std::size(kFlashes) - 1] - kFlashes[0];
  EXPECT_NEAR(span, fileSpan, 0.02 * fileSpan);
  EXPECT_NEAR((reports_.endedMs - reports_.startedMs) / 1000.0, 10.0, 0.2);
  // Each picture shows while its own sound plays: within two ticks.
  const std::vector<avsync::Pair> pairs = avsync::PairEvents(flashes, beeps);
  EXPECT_EQ(pairs.size(), std::size(kFlashes));
  for (const auto& p : pairs) EXPECT_LE(std::abs(p.offsetMs()), 80.0) << "flash at " << p.flashMs;
  const avsync::Summary s = avsync::Summarise(pairs);
  std::printf("picture to sound: median %.1f ms (%.1f ... %.1f), %zu pairs; 8.4 s of beeps in %.3f s\n",
              s.medianMs, s.minMs, s.maxMs, s.count, span);
  // The slider followed: every percent from 1 to 99 once, in order.
  std::lock_guard lock(reports_.mutex);
  ASSERT_EQ(reports_.slider.size(), 99u);
  for (size_t i = 0; i < 99; ++i) EXPECT_EQ(reports_.slider[i].second, static_cast<int>(i) + 1);
  EXPECT_EQ(player_->position(), 100);
}

TEST_F(PlayerTest, SoundOnlyTicksOnceASecondAndEndsWithItsSound) {
  const std::string wav = testmedia::Make(
      "tone.wav", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "3"});
  Load(wav, 0, 0);
  player_->StartPlayback();
  ASSERT_TRUE(reports_.WaitStarted(3000));
  ASSERT_TRUE(reports_.WaitEnded(8000));
  std::lock_guard lock(reports_.mutex);
  EXPECT_NEAR((reports_.endedMs - reports_.startedMs) / 1000.0, 3.0, 0.25);
  ASSERT_EQ(reports_.slider.size(), 2u);
  EXPECT_EQ(reports_.slider[0].second, 33);
  EXPECT_EQ(reports_.slider[1].second, 66);
  EXPECT_NEAR((reports_.slider[1].first - reports_.slider[0].first) / 1000.0, 1.0, 0.1);
}

TEST_F(PlayerTest, PicturesWithoutSoundPlayOnSilenceToTheirEnd) {
  const std::string silent = testmedia::Make(
      "silent.avi", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=15", "-t", "2", "-c:v", "msmpeg4v3"});
  Load(silent, 160, 120);
  playtest::BrightnessWatch watch(window_.id());
  player_->StartPlayback();
  ASSERT_TRUE(reports_.WaitStarted(3000));
  ASSERT_TRUE(reports_.WaitEnded(6000));
  const auto shown = watch.Stop();
  EXPECT_NEAR((reports_.endedMs - reports_.startedMs) / 1000.0, 2.0, 0.2);
  // The pictures moved: the test source's brightness changes as it plays.
  double lo = 255, hi = 0;
  for (const auto& b : shown)
    if (b.ms > reports_.startedMs + 100 && b.ms < reports_.endedMs) {
      lo = std::min(lo, b.level);
      hi = std::max(hi, b.level);
    }
  EXPECT_GT(hi, 0);
  EXPECT_GT(hi - lo, 0.5);
  // Played to its end, it plays again.
  ASSERT_TRUE(WaitStopped(1000));
  reports_.startedMs = 0;
  player_->SetPosition(0);
  player_->StartPlayback();
  EXPECT_TRUE(reports_.WaitStarted(3000)) << "a second playback did not start";
}

TEST_F(PlayerTest, StartsAtItsPositionAndShowsStills) {
  // Ten seconds whose brightness steps up each second: 16 + 20 x second.
  const std::string steps = testmedia::Make(
      "steps.avi", {"-f", "lavfi", "-i", "color=black:size=160x120:rate=25", "-vf",
                    "geq=lum='16+20*floor(T)':cb=128:cr=128", "-t", "10", "-c:v", "msmpeg4v3", "-q:v", "2"});
  ASSERT_FALSE(steps.empty());
  Load(steps, 160, 120);
  player_->StopPlayback();  // nothing plays: nothing happens
  EXPECT_EQ(player_->state(), media::kStopped);
  // The still at 52 %: the third picture from the first key frame after
  // 5.2 s (at 5.48 s), before the step at 6 s.
  player_->ShowStill(52);
  std::vector<uint8_t> picture;
  int w = 0, h = 0;
  ASSERT_TRUE(player_->LastShown(&picture, &w, &h));
  EXPECT_EQ(w, 160);
  EXPECT_NEAR(picture[60 * 160 + 80], 116, 3);

  player_->SetPosition(50);
  player_->StartPlayback();
  ASSERT_TRUE(reports_.WaitStarted(3000));
  {
    std::unique_lock lock(reports_.mutex);
    ASSERT_TRUE(reports_.changed.wait_for(lock, std::chrono::seconds(2), [&] { return reports_.slider.size() >= 2; }));
    EXPECT_EQ(reports_.slider[0].second, 50);
    EXPECT_EQ(reports_.slider[1].second, 51);
  }
  ASSERT_TRUE(player_->LastShown(&picture, &w, &h));
  EXPECT_NEAR(picture[60 * 160 + 80], 116, 3) << "not playing from the middle";
  player_->StopPlayback();
  EXPECT_EQ(player_->state(), media::kStopped);
  EXPECT_GE(player_->position(), 51);
  EXPECT_LT(player_->position(), 70);
}

TEST_F(PlayerTest, DamagedFilesEndQuietlyAndAKilledRecordingPlays) {
  TempDir dir;
  WriteFile(dir / "noise.avi", std::string(100'000, '\x5a'));
  killtest::Plan plan;
  plan.pictures = 50;
  const killtest::Outcome killed = killtest::Record(dir / "killed.avi", plan);
  ASSERT_TRUE(killed.ok) << killed.error;

  // Not media: the thread ends during its set-up, never playing.
  Load(dir / "noise.avi", 0, 0);
  player_->StartPlayback();
  ASSERT_TRUE(reports_.WaitEnded(3000));
  EXPECT_EQ(reports_.startedMs, 0);
  EXPECT_TRUE(WaitStopped(1000));

  // Killed (no index): plays what was written, and the file may even be
  // deleted while it plays.
  player_.reset();
  reports_.startedMs = reports_.endedMs = 0;
  Load(dir / "killed.avi", 320, 240);
  player_->StartPlayback();
  ASSERT_TRUE(reports_.WaitStarted(3000)) << "a killed recording does not play";
  std::filesystem::remove(dir / "killed.avi");
  ASSERT_TRUE(reports_.WaitEnded(6000));
  EXPECT_NEAR((reports_.endedMs - reports_.startedMs) / 1000.0, 2.0, 0.3);
  EXPECT_TRUE(WaitStopped(1000));
}

// A thread stuck in a call (here: opening a pipe nobody writes) is waited
// for ten seconds, then cut loose; when its call returns it ends quietly.
TEST_F(PlayerTest, AStuckThreadIsCutLooseAfterTheBoundedWait) {
  TempDir dir;
  const std::string fifo = dir / "stuck.avi";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Load(fifo, 0, 0);
  const int threads = ThreadCount();
  player_->StartPlayback();
  const double before = playtest::NowMs();
  player_->StopPlayback();
  const double waited = playtest::NowMs() - before;
  EXPECT_NEAR(waited, 10'000, 600);
  EXPECT_EQ(player_->state(), media::kStopped);
  player_.reset();  // the owner goes; the thread still waits in its call
  // Unblock it: it finds garbage, ends, and reports nothing to the owner
  // that is gone.
  // Each of its two inputs opens the pipe in turn; each is fed garbage.
  const std::string garbage(4096, '\0');
  const double deadline = playtest::NowMs() + 5000;
  while (ThreadCount() > threads && playtest::NowMs() < deadline) {
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      EXPECT_EQ(write(fd, garbage.data(), garbage.size()), static_cast<ssize_t>(garbage.size()));
      close(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(ThreadCount(), threads) << "the thread cut loose did not end";
  std::lock_guard lock(reports_.mutex);
  EXPECT_EQ(reports_.endedMs, 0) << "a thread cut loose reported";
}

// A dialog's automatic start: one post after half a second, none when the
// dialog has gone before.
TEST(AutoStart, PostsOnceAfterHalfASecondUnlessDestroyedFirst) {
  std::atomic<int> posts{0};
  std::atomic<double> postedMs{0};
  const double from = playtest::NowMs();
  {
    media::AutoStart start([&] {
      postedMs = playtest::NowMs();
      ++posts;
    });
    while (posts == 0 && playtest::NowMs() < from + 3000)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(posts, 1);
  EXPECT_NEAR(postedMs - from, 500, 100);
  { media::AutoStart cancelled([&] { ++posts; }); }
  EXPECT_EQ(posts, 1);
}

}  // namespace

int main(int argc, char** argv) {
  platform::InitXlibThreads();  // the surface draws from the player thread
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
