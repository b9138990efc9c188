// The flash-and-beep measurement on a recording whose offsets are known:
// written with the recorder's own AVI writer, read back like any recording.
#include "av_sync.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "call_timeline.h"
#include "recording/avi_writer.h"
#include "support/temp_dir.h"

TEST(AvSync, FindsEachFlashAndItsOwnBeepEvenWhenTheSoundIsLateByMoreThanAGap) {
  TempDir dir;
  const std::string path = dir / "sync.avi";
  std::unique_ptr<recording::AviWriter> writer;
  ASSERT_TRUE(recording::AviWriter::Create(
                  recording::UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644)), path,
                  {.width = 160, .height = 120}, writer)
                  .ok());

  // The double's flashes, each on the first picture after it began; the
  // sound runs 1.4 s late (a whole gap of the schedule) plus a different
  // error for each beep, and beep 3 never sounds.
  constexpr int kPictures = 450;  // 18 s
  constexpr double kLateMs = 1400;
  const double jitterMs[] = {0.0, 17.5, -23.0, 0.0, 35.0, -8.25, 12.0, -30.5};
  constexpr int kLostBeep = 3;
  std::vector<int> flashPicture;
  for (int k = 0; k < 8; ++k)
    flashPicture.push_back(
        static_cast<int>((call::FlashStart(k) * 25 + call::kRate - 1) / call::kRate));

  std::vector<std::int16_t> sound(static_cast<std::size_t>(kPictures) * 1920 * 2);
  std::mt19937 noise(7);
  std::uniform_int_distribution<int> speech(-5000, 5000);
  for (std::size_t n = 0; n < sound.size() / 2; ++n) {
    sound[2 * n] = static_cast<std::int16_t>(speech(noise));
    // The near side: a steady 1 kHz on the right must not count as beeps.
    sound[2 * n + 1] = static_cast<std::int16_t>(20000 * std::sin(2 * M_PI * 1000.0 * n / 48000));
  }
  for (int k = 0; k < 8; ++k) {
    if (k == kLostBeep) continue;
    const double startMs = flashPicture[k] * 40.0 + kLateMs + jitterMs[k];
    const auto first = static_cast<std::size_t>(std::lround(startMs * 48));
    for (std::size_t i = 0; i < 120 * 48 && first + i < sound.size() / 2; ++i)
      sound[2 * (first + i)] = static_cast<std::int16_t>(
          sound[2 * (first + i)] + 22000 * std::sin(2 * M_PI * 1000.0 * i / 48000));
  }

  capture::Frame picture(160, 120);
  for (int f = 0; f < kPictures; ++f) {
    bool white = false;
    for (int start : flashPicture) white = white || (f >= start && f < start + 4);
    for (int y = 0; y < 120; ++y) std::memset(picture.TopDownRow(y), white ? 255 : 40 + y / 4, 480);
    ASSERT_TRUE(writer->WriteVideo(f, picture).ok());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(sound.data() + f * 1920 * 2);
    ASSERT_TRUE(writer->WriteAudio({bytes, 1920 * 4}).ok());
  }
  ASSERT_TRUE(writer->Finish().ok());

  const avsync::Analysis a = avsync::Analyse(path);
  ASSERT_TRUE(a.opened);
  std::printf("%s\n", avsync::Describe(a).c_str());
  ASSERT_EQ(a.flashesMs.size(), 8u);
  for (int k = 0; k < 8; ++k) EXPECT_DOUBLE_EQ(a.flashesMs[k], flashPicture[k] * 40.0);
  EXPECT_EQ(a.beepsMs.size(), 7u);
  ASSERT_EQ(a.pairs.size(), 7u) << "the flash whose beep is lost stays alone";
  std::size_t p = 0;
  for (int k = 0; k < 8; ++k) {
    if (k == kLostBeep) continue;
    EXPECT_DOUBLE_EQ(a.pairs[p].flashMs, flashPicture[k] * 40.0);
    EXPECT_NEAR(a.pairs[p].offsetMs(), kLateMs + jitterMs[k], 1.0) << "flash " << k;
    ++p;
  }
  const avsync::Summary s = avsync::Summarise(a.pairs);
  EXPECT_NEAR(s.medianMs, kLateMs + 0.0, 1.0);
  EXPECT_NEAR(s.minMs, kLateMs - 30.5, 1.0);
  EXPECT_NEAR(s.maxMs, kLateMs + 35.0, 1.0);
}
