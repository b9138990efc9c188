// Whole recordings on the test's X server: a clock drawn on the screen and a
// tone in the far-side ring, written by the capture thread and read back.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "avi_check.h"
#include "pattern_window.h"
#include "recording/capture_thread.h"
#include "platform/wave_device.h"
#include "recording/ring_audio_source.h"
#include "support/temp_dir.h"

using namespace std::chrono_literals;
using recording::CaptureOutcome;
using recording::CaptureThread;
using Clock = std::chrono::steady_clock;

namespace {

class Observer : public recording::CaptureObserver {
 public:
  void OnStarted(const capture::ScreenRect& rect, const std::string& path) override {
    std::lock_guard lock(mutex_);
    started_ = true;
    rect_ = rect;
    path_ = path;
    changed_.notify_all();
  }
  void OnHalfSecond() override { ++halfSeconds_; }
  void OnFinished(const CaptureOutcome& outcome) override {
    std::lock_guard lock(mutex_);
    finished_ = true;
    outcome_ = outcome;
    changed_.notify_all();
  }
  bool WaitStarted(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return started_; });
  }
  bool WaitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return finished_; });
  }
  bool started() {
    std::lock_guard lock(mutex_);
    return started_;
  }
  capture::ScreenRect rect() {
    std::lock_guard lock(mutex_);
    return rect_;
  }
  CaptureOutcome outcome() {
    std::lock_guard lock(mutex_);
    return outcome_;
  }
  int halfSeconds() const { return halfSeconds_; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool started_ = false, finished_ = false;
  capture::ScreenRect rect_;
  std::string path_;
  CaptureOutcome outcome_;
  std::atomic<int> halfSeconds_{0};
};

// Draws the time since its start on the screen as a Gray code of 2 ms units
// in 16 black-or-white blocks, so each picture tells when it was grabbed (a
// picture caught mid-update reads as the old or the new time, never a third).
class ClockPainter {
 public:
  static constexpr int kBlock = 20, kRow = 100;
  ClockPainter(int x, int y) : window_(x, y, 16 * kBlock, 240) {
    window_.Draw([](int px, int py) { return testx::Rgb{uint8_t(px), uint8_t(py), 90}; });
    start_ = Clock::now();
    thread_ = std::thread([this] { Run(); });
  }
  ~ClockPainter() {
    stop_ = true;
    thread_.join();
  }
  bool ok() const { return window_.ok(); }
  Clock::time_point start() const { return start_; }

  // The time a picture shows, in ms after the painter's start; -1 when a
  // block is neither clearly black nor white.
  static int64_t Read(const avicheck::Picture& p, int atX, int atY) {
    uint32_t gray = 0;
    for (int bit = 0; bit < 16; ++bit) {
      const uint8_t* px = p.at(atX + bit * kBlock + kBlock / 2, atY + kRow + kBlock / 2);
      const int level = (px[0] + px[1] + px[2]) / 3;
      if (level > 60 && level < 195) return -1;
      if (level >= 195) gray |= 1u << bit;
    }
    uint32_t units = 0;
    for (uint32_t g = gray; g; g >>= 1) units ^= g;
    return int64_t{units} * 2;
  }

 private:
  void Run() {
    while (!stop_) {
      const auto units = static_cast<uint32_t>((Clock::now() - start_) / 2ms);
      const uint32_t gray = units ^ (units >> 1);
      for (int bit = 0; bit < 16; ++bit) {
        const uint8_t v = (gray >> bit) & 1 ? 255 : 0;
        window_.Fill(bit * kBlock, kRow, kBlock, kBlock, {v, v, v});
      }
      window_.Sync();
      std::this_thread::sleep_for(1ms);
    }
  }
  testx::PatternWindow window_;
  Clock::time_point start_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Stands in for the two input streams: every 250 ms one 48,000-byte buffer
// per side goes in with its capture time, as the call audio's drain does.
class ToneFeeder {
 public:
  ToneFeeder(audio::CallSide& far, audio::CallSide& near)
      : farIn_(far), nearIn_(near), thread_([this] {
          std::vector<uint8_t> farBlock(48'000), nearBlock(48'000);
          int64_t frame = 0;
          auto next = Clock::now();
          while (!stop_) {
            next += 250ms;
            std::this_thread::sleep_until(next);
            for (int i = 0; i < 12'000; ++i, ++frame) {
              const auto a = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * frame / 48000.0));
              const auto b = static_cast<int16_t>(3000 * std::sin(2 * M_PI * 1000 * frame / 48000.0));
              int16_t f[2] = {a, a}, n[2] = {b, b};
              std::memcpy(&farBlock[i * 4], f, 4);
              std::memcpy(&nearBlock[i * 4], n, 4);
            }
            const int64_t end = platform::MonotonicNowNs();
            farIn_.Write(farBlock, end);
            nearIn_.Write(nearBlock, end);
          }
        }) {}
  ~ToneFeeder() {
    stop_ = true;
    thread_.join();
  }

 private:
  audio::SideWriter farIn_, nearIn_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

double Rms(const std::vector<int16_t>& s, int channel, size_t fromFrame) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = fromFrame * 2 + channel; i < s.size(); i += 2, ++n) sum += double(s[i]) * s[i];
  return n ? std::sqrt(sum / n) : 0;
}

recording::CaptureConfig Config(const std::string& folder, capture::ScreenRect rect,
                                std::shared_ptr<Observer> observer) {
  recording::CaptureConfig c;
  c.rect = rect;
  c.outputName = "2026-01-01 10-00-00.avi";
  c.outputFolder = [folder] { return folder; };
  c.randomSeed = static_cast<unsigned>(std::time(nullptr));
  c.observer = std::move(observer);
  return c;
}

class CaptureThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs the test X server";
    testx::WarpPointer(1200, 1000);
  }
};

// A tmpfs of our own, mounted for the test and gone after it.
class Mount {
 public:
  Mount(const std::string& at, const std::string& options) : at_(at) {
    std::filesystem::create_directories(at);
    ok_ = ::mount("tmpfs", at.c_str(), "tmpfs", options.find("ro") == 0 ? MS_RDONLY : 0,
                  options.c_str()) == 0;
  }
  ~Mount() {
    if (ok_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool ok() const { return ok_; }

 private:
  std::string at_;
  bool ok_ = false;
};

}  // namespace

TEST_F(CaptureThreadTest, FiveSecondsOfMovingPictureAndToneStayInStep) {
  TempDir dir;
  ClockPainter painter(200, 200);
  ASSERT_TRUE(painter.ok());
  audio::CallSide far, near;
  ToneFeeder feeder(far, near);
  auto observer = std::make_shared<Observer>();
  // 322 x 243 pixels, inclusive corners: recorded as 320 x 240.
  auto config = Config(dir.path(), {200, 200, 521, 442}, observer);
  config.audio = std::make_shared<recording::RingAudioSource>(far, near);
  {
    CaptureThread thread(std::move(config));
    ASSERT_TRUE(observer->WaitStarted(5s));
    std::this_thread::sleep_for(5s);
    thread.Stop();
    ASSERT_TRUE(observer->WaitFinished(5s));
  }
  const CaptureOutcome out = observer->outcome();
  EXPECT_FALSE(out.interrupted) << out.error;
  EXPECT_EQ(observer->rect(), (capture::ScreenRect{200, 200, 519, 439}));
  EXPECT_GE(observer->halfSeconds(), 9);

  auto p = avicheck::Probe(out.path);
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p["format.nb_streams"], "2");
  EXPECT_EQ(p["streams.stream.0.codec_name"], "msmpeg4v3");
  EXPECT_EQ(p["streams.stream.0.codec_tag_string"], "MP43");
  EXPECT_EQ(p["streams.stream.0.width"], "320");
  EXPECT_EQ(p["streams.stream.0.height"], "240");
  EXPECT_EQ(p["streams.stream.0.r_frame_rate"], "25/1");
  EXPECT_EQ(p["streams.stream.1.codec_name"], "pcm_s16le");
  EXPECT_EQ(p["streams.stream.1.sample_rate"], "48000");
  EXPECT_EQ(p["streams.stream.1.channels"], "2");
  const double videoSeconds = std::stod(p["streams.stream.0.duration"]);
  const double audioSeconds = std::stod(p["streams.stream.1.nb_frames"]) / 48000.0;
  EXPECT_NEAR(videoSeconds, 5.0, 0.3);
  EXPECT_NEAR(audioSeconds, videoSeconds, 0.3);
  std::printf("video %.3f s, audio %.3f s, difference %+.0f ms, %lld pictures for %lld slots\n",
              videoSeconds, audioSeconds, (videoSeconds - audioSeconds) * 1000,
              static_cast<long long>(out.picturesWritten),
              static_cast<long long>(out.lastIndex + 1));

  // Every picture decodes, and the clock it shows advances with its index.
  std::vector<std::pair<int64_t, int64_t>> seen;  // (index, ms shown)
  int unreadable = 0;
  auto c = avicheck::Read(out.path, [&](const avicheck::Picture& pic) {
    const int64_t shown = ClockPainter::Read(pic, 0, 0);
    if (shown < 0) ++unreadable;
    else seen.emplace_back(pic.pts, shown);
  });
  EXPECT_EQ(c.decodeErrors, 0);
  EXPECT_EQ(c.pictures, c.videoPackets);
  EXPECT_EQ(c.pictures, out.picturesWritten);
  EXPECT_GE(c.pictures, 50) << "at least 10 pictures a second";
  EXPECT_EQ(unreadable, 0);
  ASSERT_FALSE(seen.empty());
  std::vector<int64_t> offsets;
  for (auto [index, shown] : seen) offsets.push_back(shown - index * 40);
  std::sort(offsets.begin(), offsets.end());
  const int64_t median = offsets[offsets.size() / 2];
  // Each picture is taken within its 40 ms slot; allow one more slot of
  // scheduling delay on a busy machine.
  EXPECT_GE(offsets.front(), median - 80);
  EXPECT_LE(offsets.back(), median + 80);
  std::printf("picture time minus index time: %lld .. %lld ms around %lld\n",
              static_cast<long long>(offsets.front() - median),
              static_cast<long long>(offsets.back() - median), static_cast<long long>(median));

  // Far side on the left (mean of its two channels), near side on the right.
  ASSERT_EQ(c.channels, 2);
  EXPECT_NEAR(Rms(c.samples, 0, 0), 8000 / std::sqrt(2.0), 300);
  EXPECT_NEAR(Rms(c.samples, 1, 0), 3000 / std::sqrt(2.0), 200);
}

TEST_F(CaptureThreadTest, StopBeforeTheFirstPictureLeavesAnEmptyValidFile) {
  TempDir dir;
  auto observer = std::make_shared<Observer>();
  auto config = Config(dir.path(), {100, 100, 419, 339}, observer);
  std::promise<void> stopped;
  auto stoppedFuture = stopped.get_future();
  config.openGrabber = [&] {
    stoppedFuture.wait();  // the stop comes while the thread is still setting up
    return capture::OpenScreenGrabber();
  };
  CaptureThread thread(std::move(config));
  thread.Stop();
  stopped.set_value();
  ASSERT_TRUE(observer->WaitFinished(5s));
  thread.Join();
  const CaptureOutcome out = observer->outcome();
  EXPECT_FALSE(out.interrupted) << out.error;
  EXPECT_EQ(out.picturesWritten, 0);
  auto p = avicheck::Probe(out.path);
  EXPECT_EQ(p["streams.stream.0.codec_tag_string"], "MP43");
  EXPECT_EQ(p["streams.stream.1.codec_name"], "pcm_s16le");
  auto c = avicheck::Read(out.path);
  EXPECT_TRUE(c.opened);
  EXPECT_EQ(c.videoPackets + c.audioPackets, 0);
}

TEST_F(CaptureThreadTest, SecondRecordingInTheSameSecondGoesToATempName) {
  TempDir dir;
  auto first = std::make_shared<Observer>(), second = std::make_shared<Observer>();
  CaptureThread a(Config(dir.path(), {0, 0, 159, 119}, first));
  ASSERT_TRUE(first->WaitStarted(5s));
  CaptureThread b(Config(dir.path(), {0, 0, 159, 119}, second));
  ASSERT_TRUE(second->WaitStarted(5s));
  std::this_thread::sleep_for(300ms);
  a.Stop();
  b.Stop();
  ASSERT_TRUE(first->WaitFinished(5s) && second->WaitFinished(5s));
  const std::string firstName = std::filesystem::path(first->outcome().path).filename();
  const std::string secondName = std::filesystem::path(second->outcome().path).filename();
  EXPECT_EQ(firstName, "2026-01-01 10-00-00.avi");
  EXPECT_EQ(secondName.rfind("~temp", 0), 0u) << secondName;
  for (const auto& o : {first->outcome(), second->outcome()}) {
    EXPECT_FALSE(o.interrupted) << o.error;
    auto c = avicheck::Read(o.path);
    EXPECT_GT(c.pictures, 0) << o.path;
    EXPECT_EQ(c.decodeErrors, 0);
  }
}

TEST_F(CaptureThreadTest, FolderWithoutRoomForAnyFileEndsAsInterrupted) {
  TempDir dir;
  const std::string folder = dir / "locked";
  std::unique_ptr<Mount> readOnly;
  if (geteuid() == 0) {
    // Root writes through permission bits: only a read-only mount refuses.
    readOnly = std::make_unique<Mount>(folder, "ro,size=64k");
    if (!readOnly->ok()) GTEST_SKIP() << "cannot mount a read-only tmpfs here";
  } else {
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0555);
  }
  auto observer = std::make_shared<Observer>();
  const auto t0 = Clock::now();
  CaptureThread thread(Config(folder, {0, 0, 159, 119}, observer));
  ASSERT_TRUE(observer->WaitFinished(5s));
  EXPECT_LT(Clock::now() - t0, 2s);
  const CaptureOutcome out = observer->outcome();
  EXPECT_TRUE(out.interrupted);
  EXPECT_TRUE(out.path.empty());
  EXPECT_FALSE(observer->started());
  EXPECT_NE(out.error.find("no output file"), std::string::npos) << out.error;
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(CaptureThreadTest, FullDiskEndsTheRecordingWithAPlayableFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
  TempDir dir;
  const std::string folder = dir / "small";
  Mount small(folder, "size=1536k");
  if (!small.ok()) GTEST_SKIP() << "cannot mount a tmpfs here";
  // Noise compresses badly: the disk fills within a second or two.
  testx::PatternWindow noise(300, 300, 320, 240);
  ASSERT_TRUE(noise.ok());
  std::mt19937 random(5);
  noise.Draw([&](int, int) {
    const uint32_t v = random();
    return testx::Rgb{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
  });
  auto observer = std::make_shared<Observer>();
  CaptureThread thread(Config(folder, {300, 300, 619, 539}, observer));
  ASSERT_TRUE(observer->WaitFinished(20s)) << "the recording must end by itself";
  const CaptureOutcome out = observer->outcome();
  EXPECT_TRUE(out.interrupted);
  EXPECT_NE(out.error.find("disk is full"), std::string::npos) << out.error;
  ASSERT_GT(out.picturesWritten, 0);

  auto p = avicheck::Probe(out.path);
  ASSERT_FALSE(p.empty()) << "ffprobe must read the file";
  EXPECT_EQ(p["streams.stream.0.nb_frames"], std::to_string(out.lastIndex + 1));
  auto c = avicheck::Read(out.path);
  EXPECT_EQ(c.pictures, out.picturesWritten);
  EXPECT_EQ(c.decodeErrors, 0);
  std::printf("%lld pictures, %lld bytes on a 1.5 MiB disk\n",
              static_cast<long long>(c.pictures),
              static_cast<long long>(std::filesystem::file_size(out.path)));
}

TEST_F(CaptureThreadTest, ASetUpFailureLeavesNoFileBehind) {
  TempDir dir;
  // A drag of a few pixels, then a display that cannot be opened: both are
  // refused before anything reaches the disk, and no file is reported.
  for (bool tinyArea : {true, false}) {
    auto observer = std::make_shared<Observer>();
    auto config = Config(dir.path(), tinyArea ? capture::ScreenRect{10, 10, 12, 12}
                                              : capture::ScreenRect{0, 0, 159, 119},
                         observer);
    if (!tinyArea) config.openGrabber = [] { return std::unique_ptr<capture::ScreenGrabber>(); };
    CaptureThread thread(std::move(config));
    ASSERT_TRUE(observer->WaitFinished(5s));
    EXPECT_TRUE(observer->outcome().interrupted);
    EXPECT_TRUE(observer->outcome().path.empty()) << observer->outcome().path;
    EXPECT_FALSE(observer->started());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
}
