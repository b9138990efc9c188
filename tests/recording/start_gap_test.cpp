#include <gtest/gtest.h>

#include "recording/ring_audio_source.h"

using namespace std::chrono_literals;
using recording::StartGapFiller;

TEST(StartGapFiller, SilenceKeepsPaceWithThePictureUntilTheFirstSound) {
  StartGapFiller gap;
  auto t0 = std::chrono::steady_clock::time_point{} + 10s;
  gap.Begin(t0);
  EXPECT_EQ(gap.SilenceDue(t0 + 200ms, false), 0u);  // within one block's latency
  // 1 s in: 750 ms of silence (1 s less the block latency), whole frames.
  std::size_t first = gap.SilenceDue(t0 + 1000ms, false);
  EXPECT_EQ(first, 750u * 192);
  EXPECT_EQ(first % 4, 0u);
  // Only what is newly due comes next time.
  EXPECT_EQ(gap.SilenceDue(t0 + 1040ms, false), 40u * 192);
  // Sound arrives: no more silence, ever, in this recording.
  EXPECT_EQ(gap.SilenceDue(t0 + 1080ms, true), 0u);
  EXPECT_EQ(gap.SilenceDue(t0 + 5000ms, false), 0u);
  // A new recording starts afresh.
  gap.Begin(t0 + 6s);
  EXPECT_EQ(gap.SilenceDue(t0 + 6500ms, false), 250u * 192);
}
