// Snapshots: the first free name, the file's layout, and the picture as
// another program reads it back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "media/media_decoder.h"
#include "media/snapshot.h"
#include "support/temp_dir.h"
#include "test_media.h"

namespace {

uint32_t Le32(const std::string& s, size_t at) {
  uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

TEST(Snapshot, TakesTheFirstFreeNumberAndNeverOverwrites) {
  TempDir dir;
  WriteFile(dir / "Call_1.bmp", "one");
  WriteFile(dir / "Call_3.bmp", "three");
  const std::vector<uint8_t> picture(16 * 16 * 3 / 2, 128);
  EXPECT_EQ(media::SaveSnapshot(dir.path(), "Call", picture.data(), 16, 16).value(), dir / "Call_2.bmp");
  EXPECT_EQ(media::SaveSnapshot(dir.path(), "Call", picture.data(), 16, 16).value(), dir / "Call_4.bmp");
  EXPECT_EQ(ReadFile(dir / "Call_1.bmp"), "one");
  EXPECT_EQ(ReadFile(dir / "Call_3.bmp"), "three");
  // A folder that cannot be written: an error, and no file.
  const base::Result<std::string> failed =
      media::SaveSnapshot(dir / "missing", "Call", picture.data(), 16, 16);
  EXPECT_TRUE(failed.Is(media::SnapshotError::kFailed));
  EXPECT_FALSE(failed.message().empty());
}

// A picture 321 wide: rows of 964 bytes, bottom row first, and ffmpeg reads
// the file back as the picture it was made from.
TEST(Snapshot, OddWidthRowsArePaddedAndTheFileReadsBackAsThePicture) {
  const std::string bars = testmedia::Make(
      "bars321.avi", {"-f", "lavfi", "-i", "smptebars=size=321x240:rate=25", "-t", "1", "-c:v",
                      "mpeg4", "-q:v", "3"});
  ASSERT_FALSE(bars.empty());
  media::CMediaDecoder decoder;
  decoder.Initialise();
  ASSERT_EQ(decoder.Open(bars.c_str()), 1);
  auto frame = decoder.CreateVideoFrame();
  while (decoder.DecodeVideoFrame(frame.get()) != 1) ASSERT_FALSE(decoder.VideoEnded());

  TempDir dir;
  const base::Result<std::string> shot = media::SaveSnapshot(dir.path(), "Bars", frame->data.data(), 321, 240);
  ASSERT_TRUE(shot.ok()) << shot.message();
  const std::string file = ReadFile(shot.value());
  ASSERT_EQ(file.size(), 54u + 964u * 240u);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(Le32(file, 2), file.size());
  EXPECT_EQ(Le32(file, 10), 54u);
  EXPECT_EQ(Le32(file, 18), 321u);
  EXPECT_EQ(Le32(file, 22), 240u);  // positive: bottom-up
  for (int row = 0; row < 240; ++row)
    EXPECT_EQ(file[54 + row * 964 + 963], 0) << "padding of row " << row;

  // Top-down RGB of the snapshot and of the recording's first picture, both
  // as ffmpeg converts them.
  const std::string fromSnapshot = dir / "snapshot.rgb", fromRecording = dir / "recording.rgb";
  ASSERT_TRUE(testmedia::Run({"ffmpeg", "-v", "error", "-i", shot.value(), "-pix_fmt", "rgb24", "-f",
                              "rawvideo", fromSnapshot}));
  ASSERT_TRUE(testmedia::Run({"ffmpeg", "-v", "error", "-i", bars, "-frames:v", "1", "-pix_fmt",
                              "rgb24", "-f", "rawvideo", fromRecording}));
  const std::string a = ReadFile(fromSnapshot), b = ReadFile(fromRecording);
  ASSERT_EQ(a.size(), 321u * 240 * 3);
  ASSERT_EQ(b.size(), a.size());
  int worst = 0, worstAt = -1;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)  // the last column repeats its neighbour
      for (int c = 0; c < 3; ++c) {
        const size_t i = (static_cast<size_t>(y) * 321 + x) * 3 + c;
        const int d = std::abs(static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i]));
        if (d > worst) worst = d, worstAt = static_cast<int>(i / 3);
      }
  EXPECT_LE(worst, 2) << "at pixel " << worstAt % 321 << "," << worstAt / 321;
}

}  // namespace
