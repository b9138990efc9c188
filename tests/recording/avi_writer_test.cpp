// The AVI writer on its own: what the file declares and holds, read back by
// ffprobe and by libavformat.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "avi_check.h"
#include "recording/avi_writer.h"
#include "support/temp_dir.h"

using recording::AviWriter;

namespace {

recording::UniqueFd NewFile(const std::string& path) {
  return recording::UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
}

capture::Frame Gradient(int w, int h, int shift) {
  capture::Frame f(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = f.TopDownRow(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x + shift);
      p[1] = static_cast<uint8_t>(y * 2);
      p[2] = static_cast<uint8_t>(128 + shift);
    }
  return f;
}

std::unique_ptr<AviWriter> Open(const std::string& path, int w, int h) {
  std::unique_ptr<AviWriter> writer;
  base::Outcome s = AviWriter::Create(NewFile(path), path, {.width = w, .height = h}, writer);
  EXPECT_TRUE(s.ok()) << s.message();
  return writer;
}

}  // namespace

TEST(AviWriter, EmptyRecordingStillDeclaresBothStreams) {
  TempDir dir;
  const std::string path = dir / "empty.avi";
  auto writer = Open(path, 320, 240);
  ASSERT_TRUE(writer);
  EXPECT_TRUE(writer->Finish().ok());
  auto p = avicheck::Probe(path);
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p["format.format_name"], "avi");
  EXPECT_EQ(p["format.nb_streams"], "2");
  EXPECT_EQ(p["streams.stream.0.codec_name"], "msmpeg4v3");
  EXPECT_EQ(p["streams.stream.0.codec_tag_string"], "MP43");
  EXPECT_EQ(p["streams.stream.0.width"], "320");
  EXPECT_EQ(p["streams.stream.0.r_frame_rate"], "25/1");
  EXPECT_EQ(p["streams.stream.1.codec_name"], "pcm_s16le");
  EXPECT_EQ(p["streams.stream.1.sample_rate"], "48000");
  EXPECT_EQ(p["streams.stream.1.channels"], "2");
  auto c = avicheck::Read(path);
  ASSERT_TRUE(c.opened);
  EXPECT_EQ(c.videoPackets + c.audioPackets, 0);
}

TEST(AviWriter, SkippedIndicesPlayBackAsRepeatedPictures) {
  TempDir dir;
  const std::string path = dir / "gaps.avi";
  auto writer = Open(path, 64, 48);
  ASSERT_TRUE(writer);
  for (int64_t index : {0, 1, 5, 6}) ASSERT_TRUE(writer->WriteVideo(index, Gradient(64, 48, index * 9)).ok());
  EXPECT_FALSE(writer->WriteVideo(6, Gradient(64, 48, 0)).ok()) << "indices must grow";
  ASSERT_TRUE(writer->Finish().ok());

  auto p = avicheck::Probe(path);
  EXPECT_EQ(p["streams.stream.0.nb_frames"], "7");  // the gap counts as frames
  EXPECT_NEAR(std::stod(p["streams.stream.0.duration"]), 7 / 25.0, 1e-6);
  std::vector<int64_t> pts;
  auto c = avicheck::Read(path, [&](const avicheck::Picture& pic) {
    pts.push_back(pic.pts);
    EXPECT_NEAR(pic.at(10, 3)[2], 128 + pic.pts * 9, 3) << "picture " << pic.pts;
  });
  EXPECT_EQ(c.videoPackets, 4);
  EXPECT_EQ(c.decodeErrors, 0);
  EXPECT_EQ(pts, (std::vector<int64_t>{0, 1, 5, 6}));
}

TEST(AviWriter, AudioChunkAdvancesThePositionInFourByteFrames) {
  TempDir dir;
  const std::string path = dir / "sound.avi";
  auto writer = Open(path, 32, 32);
  ASSERT_TRUE(writer);
  std::vector<uint8_t> chunk(48'000);
  for (size_t i = 0; i < chunk.size() / 4; ++i) {
    const int16_t left = static_cast<int16_t>(10000 * std::sin(i * 0.0575));
    std::memcpy(&chunk[i * 4], &left, 2);  // right stays silent
  }
  ASSERT_TRUE(writer->WriteAudio(chunk).ok());
  EXPECT_EQ(writer->audioPosition(), 12'000);
  ASSERT_TRUE(writer->WriteVideo(0, Gradient(32, 32, 0)).ok());
  ASSERT_TRUE(writer->WriteAudio(chunk).ok());
  EXPECT_EQ(writer->audioPosition(), 24'000);
  ASSERT_TRUE(writer->Finish().ok());
  auto p = avicheck::Probe(path);
  EXPECT_EQ(p["streams.stream.1.nb_frames"], "24000");  // sample frames
  auto c = avicheck::Read(path);
  EXPECT_GT(c.audioPackets, 0);
  ASSERT_EQ(c.samples.size(), 48'000u);
  EXPECT_EQ(std::memcmp(c.samples.data(), chunk.data(), chunk.size()), 0);
}

TEST(AviWriter, RefusesSizesTheEncoderCannotTake) {
  TempDir dir;
  std::unique_ptr<AviWriter> writer;
  EXPECT_FALSE(AviWriter::Create(NewFile(dir / "a.avi"), dir / "a.avi", {.width = 322, .height = 240},
                                 writer)
                   .ok());
  EXPECT_FALSE(writer);
}

// Takes about a minute and 1.2 GiB of disk: run with MURMURANT_LARGE_TESTS=1.
TEST(AviWriter, FilesPastOneGibibyteStayReadable) {
  if (!std::getenv("MURMURANT_LARGE_TESTS")) GTEST_SKIP() << "set MURMURANT_LARGE_TESTS=1";
  TempDir dir;
  struct statvfs fs {};
  if (::statvfs(dir.path().c_str(), &fs) != 0 ||
      static_cast<double>(fs.f_bavail) * fs.f_frsize < 3.0 * (1 << 30))
    GTEST_SKIP() << "needs 3 GiB free in the temporary folder";
  const std::string path = dir / "large.avi";
  auto writer = Open(path, 64, 48);
  ASSERT_TRUE(writer);
  // 1.2 GiB in 1 MiB sound chunks, each followed by its picture.
  std::vector<uint8_t> chunk(1 << 20);
  const capture::Frame picture = Gradient(64, 48, 0);
  for (int i = 0; i < 1200; ++i) {
    chunk[0] = static_cast<uint8_t>(i);
    ASSERT_TRUE(writer->WriteAudio(chunk).ok()) << i;
    ASSERT_TRUE(writer->WriteVideo(i, picture).ok()) << i;
  }
  ASSERT_TRUE(writer->Finish().ok());
  EXPECT_GT(std::filesystem::file_size(path), 1200u << 20);
  auto p = avicheck::Probe(path);
  EXPECT_EQ(p["streams.stream.0.nb_frames"], "1200");
  EXPECT_EQ(p["streams.stream.1.nb_frames"], std::to_string(1200LL * (1 << 18)));
  // The pictures past the first gibibyte are found and decode.
  int64_t lastPts = -1;
  auto c = avicheck::Read(path, [&](const avicheck::Picture& pic) { lastPts = pic.pts; });
  EXPECT_EQ(c.pictures, 1200);
  EXPECT_EQ(lastPts, 1199);
  EXPECT_EQ(c.decodeErrors, 0);
}
