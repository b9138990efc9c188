// The repair engine on recordings the real writer left when it was killed,
// and on everything it must leave alone. Files are read back by ffprobe and
// by libavformat and libavcodec, the way players read them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cmath>
#include <filesystem>
#include <optional>
#include <random>

#include "audio/sound_test_support.h"
#include "avi_check.h"
#include "killed_recording.h"
#include "media/recording_repair.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using media::RepairError;

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Key-frame flags of the picture packets as the demuxer reports them from
// the file's index.
std::vector<int64_t> KeyPictures(const std::string& path) {
  std::vector<int64_t> keys;
  AVFormatContext* f = nullptr;
  if (avformat_open_input(&f, path.c_str(), nullptr, nullptr) < 0) return keys;
  AVPacket* pkt = av_packet_alloc();
  while (av_read_frame(f, pkt) >= 0) {
    if (pkt->stream_index == 0 && pkt->size > 0 && (pkt->flags & AV_PKT_FLAG_KEY))
      keys.push_back(pkt->pts);
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  avformat_close_input(&f);
  return keys;
}

double Seconds(const std::string& value) {
  return value.empty() || value == "N/A" ? -1 : std::stod(value);
}

const std::uint8_t* Pcm(const avicheck::Contents& c) {
  return reinterpret_cast<const std::uint8_t*>(c.samples.data());
}

}  // namespace

TEST(Repair, KilledRecordingGetsItsLengthBackWithEveryPictureAndTheSoundInPlace) {
  TempDir dir;
  const std::string path = dir / "2024-05-01 10-00-00.avi";
  killtest::Plan plan;  // 6 s: 150 frame indices, three of them skipped
  plan.skipped = {50, 51, 52};
  const killtest::Outcome killed = killtest::Record(path, plan);
  ASSERT_TRUE(killed.ok) << killed.error;
  ASSERT_EQ(killed.picturesWritten, 147);
  // What the kill left: no length a player can tell, but the chunks are there.
  EXPECT_EQ(avicheck::Probe(path)["format.duration"], "N/A");
  const avicheck::Contents before = avicheck::Read(path);
  ASSERT_EQ(before.pictures, killed.picturesWritten) << "each chunk reaches the file as written";
  struct stat statBefore {};
  ASSERT_EQ(::stat(path.c_str(), &statBefore), 0);

  const auto r = media::RepairRecording(path);
  ASSERT_TRUE(r.ok() && r.value().rebuilt) << r.message();
  EXPECT_EQ(r.value().pictures, 147);
  EXPECT_NEAR(r.value().soundSeconds, 6.0, 1e-9);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"2024-05-01 10-00-00.avi"});

  auto probe = avicheck::Probe(path);
  EXPECT_NEAR(Seconds(probe["format.duration"]), 6.0, 1.0);
  EXPECT_EQ(probe["streams.stream.0.codec_tag_string"], "MP43");
  EXPECT_EQ(probe["streams.stream.0.r_frame_rate"], "25/1");
  EXPECT_EQ(probe["streams.stream.0.nb_frames"], "150");  // the skipped indices count as frames
  EXPECT_EQ(probe["streams.stream.1.nb_frames"], std::to_string(killed.audioFrames));

  std::vector<int64_t> pts;
  const avicheck::Contents after =
      avicheck::Read(path, [&](const avicheck::Picture& p) { pts.push_back(p.pts); });
  EXPECT_EQ(after.decodeErrors, 0);
  EXPECT_EQ(after.pictures, before.pictures);
  ASSERT_EQ(pts.size(), 147u);
  EXPECT_EQ(pts[49], 49);
  EXPECT_EQ(pts[50], 53) << "the skipped indices stay skipped";
  EXPECT_EQ(pts.back(), 149);
  // The sound is all there, where it was, each side in its own channel.
  ASSERT_EQ(after.samples.size(), static_cast<size_t>(killed.audioFrames) * 2);
  EXPECT_EQ(after.samples, before.samples);
  const size_t bytes = after.samples.size() * 2;
  EXPECT_GT(soundtest::Energy(Pcm(after), bytes, 0, plan.leftHz), 1e6);
  EXPECT_GT(soundtest::Energy(Pcm(after), bytes, 1, plan.rightHz), 1e6);
  EXPECT_LT(soundtest::Energy(Pcm(after), bytes, 0, plan.rightHz), 1e3);
  // Seeking lands on pictures that decode on their own: one in 25 sent.
  EXPECT_EQ(KeyPictures(path), (std::vector<int64_t>{0, 25, 53, 78, 103, 128}));
  // The recording keeps its time.
  struct stat statAfter {};
  ASSERT_EQ(::stat(path.c_str(), &statAfter), 0);
  EXPECT_EQ(statAfter.st_mtim.tv_sec, statBefore.st_mtim.tv_sec);
  EXPECT_EQ(statAfter.st_mtim.tv_nsec, statBefore.st_mtim.tv_nsec);
}

// A kill in the middle of a chunk's write, or a power cut that leaves the
// file's last blocks unwritten: only what is whole is kept.
TEST(Repair, AChunkCutByTheKillOrZerosAtTheEndCostOnlyThatChunk) {
  TempDir dir;
  killtest::Plan plan;
  plan.pictures = 40;
  const killtest::Outcome killed = killtest::Record(dir / "cut.avi", plan);
  ASSERT_TRUE(killed.ok) << killed.error;
  const std::string whole = ReadFile(dir / "cut.avi");
  WriteFile(dir / "cut.avi", whole.substr(0, whole.size() - 1000));  // inside the last picture
  WriteFile(dir / "zeros.avi", whole + std::string(64 * 1024, '\0'));

  for (const auto& [name, pictures] : {std::pair{"cut.avi", 39}, std::pair{"zeros.avi", 40}}) {
    const auto r = media::RepairRecording(dir / name);
    ASSERT_TRUE(r.ok() && r.value().rebuilt) << name << ": " << r.message();
    const avicheck::Contents c = avicheck::Read(dir / name);
    EXPECT_EQ(c.pictures, pictures) << name;
    EXPECT_EQ(c.decodeErrors, 0) << name;
    EXPECT_EQ(static_cast<int64_t>(c.samples.size()), killed.audioFrames * 2) << name;
  }
}

TEST(Repair, EverythingButAKilledRecordingIsLeftByteForByte) {
  TempDir dir;
  killtest::Plan plan;
  plan.pictures = 50;
  ASSERT_TRUE(killtest::Record(dir / "killed.avi", plan).ok);
  plan.finish = true;
  ASSERT_TRUE(killtest::Record(dir / "complete.avi", plan).ok);
  plan.pictures = 0;
  plan.finish = false;
  ASSERT_TRUE(killtest::Record(dir / "killed-at-once.avi", plan).ok);

  std::string garbage(100'000, '\0');
  std::mt19937 random(7);
  for (char& c : garbage) c = static_cast<char>(random());
  WriteFile(dir / "garbage.avi", garbage);
  const std::string killed = ReadFile(dir / "killed.avi");
  WriteFile(dir / "cut-header.avi", killed.substr(0, 5000));
  const std::string complete = ReadFile(dir / "complete.avi");
  WriteFile(dir / "complete-cut.avi", complete.substr(0, complete.size() / 2));
  WriteFile(dir / "wave.avi", "RIFF\x24\0\0\0WAVEfmt " + std::string(40, '\1'));

  const struct {
    const char* name;
    std::optional<RepairError> cause;  // none: a finished file, nothing to do
  } cases[] = {{"complete.avi", std::nullopt},
               {"garbage.avi", RepairError::kNotOurs},
               {"wave.avi", RepairError::kNotOurs},
               {"cut-header.avi", RepairError::kDamaged},
               {"complete-cut.avi", RepairError::kDamaged},
               {"killed-at-once.avi", RepairError::kDamaged}};
  const auto filesBefore = FilesIn(dir.path());
  for (const auto& c : cases) {
    const std::string before = ReadFile(dir / c.name);
    const auto r = media::RepairRecording(dir / c.name);
    if (c.cause) {
      EXPECT_TRUE(r.Is(*c.cause)) << c.name << ": " << r.message();
      EXPECT_FALSE(r.message().empty()) << c.name << " needs a cause";
    } else {
      EXPECT_TRUE(r.ok() && !r.value().rebuilt) << c.name << ": " << r.message();
    }
    EXPECT_TRUE(ReadFile(dir / c.name) == before) << c.name << " was changed";
  }
  EXPECT_EQ(FilesIn(dir.path()), filesBefore);
}

TEST(Repair, AFailedOrCancelledRebuildLeavesTheOriginalAndNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir / "killed.avi";
  ASSERT_TRUE(killtest::Record(path, {}).ok);
  const std::string original = ReadFile(path);

  std::stop_source stop;
  stop.request_stop();
  const auto r = media::RepairRecording(path, stop.get_token());
  EXPECT_TRUE(r.Is(RepairError::kCancelled)) << r.message();
  EXPECT_TRUE(ReadFile(path) == original);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"killed.avi"});

  // A disk that takes no more than 1 MB of the new file (the limit on file
  // size fails the writes the way a full disk does; it binds root too).
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto failed = media::RepairRecording(path);
    std::fprintf(stderr, "repair under the limit: %s\n", failed.message().c_str());
    ::_exit(failed.Is(RepairError::kFailed) && !failed.message().empty() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the rebuild did not report its failure";
  EXPECT_TRUE(ReadFile(path) == original);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"killed.avi"});
}

// Takes about a minute and 2.4 GiB of disk: run with MURMURANT_LARGE_TESTS=1.
TEST(Repair, KilledPastOneGibibyteKeepsThePartAfterTheFirstIndex) {
  if (!std::getenv("MURMURANT_LARGE_TESTS")) GTEST_SKIP() << "set MURMURANT_LARGE_TESTS=1";
  TempDir dir;
  struct statvfs vfs {};
  if (::statvfs(dir.path().c_str(), &vfs) != 0 ||
      static_cast<double>(vfs.f_bavail) * vfs.f_frsize < 3.0 * (1 << 30))
    GTEST_SKIP() << "needs 3 GiB free in the temporary folder";
  const std::string path = dir / "large.avi";
  killtest::Plan plan;  // 1100 frames, each with 1 MiB of sound: 1.1 GiB
  plan.width = 64;
  plan.height = 48;
  plan.pictures = 1100;
  plan.skipped = {1050};
  plan.audioChunkFrames = 1 << 18;
  const killtest::Outcome killed = killtest::Record(path, plan);
  ASSERT_TRUE(killed.ok) << killed.error;
  // The writer had finished the first RIFF with its index; players see only that.
  const avicheck::Contents before = avicheck::Read(path);
  EXPECT_LT(before.pictures, 1030);

  const auto r = media::RepairRecording(path);
  ASSERT_TRUE(r.ok() && r.value().rebuilt) << r.message();
  auto probe = avicheck::Probe(path);
  EXPECT_NEAR(Seconds(probe["format.duration"]), 44.0, 1.0);
  int64_t lastPts = -1;
  const avicheck::Contents after =
      avicheck::Read(path, [&](const avicheck::Picture& p) { lastPts = p.pts; });
  EXPECT_EQ(after.pictures, killed.picturesWritten);
  EXPECT_EQ(after.decodeErrors, 0);
  EXPECT_EQ(lastPts, 1099);
  EXPECT_EQ(static_cast<int64_t>(after.samples.size()), killed.audioFrames * 2);
}
