#include <gtest/gtest.h>

#include "recording/frame_clock.h"

using recording::FrameClock;

TEST(FrameClock, IndicesFollowTheWallClockAndSkipWhatWasMissed) {
  FrameClock clock(40);
  EXPECT_EQ(clock.framesPerSecond(), 25);
  EXPECT_EQ(clock.IndexAt(999), 0);  // the first picture is 0 whenever it comes
  EXPECT_TRUE(clock.ShouldWrite(0));
  clock.Written(0);
  EXPECT_EQ(clock.NextDueMs(), 40);
  EXPECT_EQ(clock.IndexAt(39), 0);
  EXPECT_FALSE(clock.ShouldWrite(0));  // the same slot twice: dropped
  EXPECT_EQ(clock.IndexAt(41), 1);
  clock.Written(1);
  // A slow grab: slots 2 and 3 are never written, the next picture is 4.
  EXPECT_EQ(clock.IndexAt(165), 4);
  EXPECT_TRUE(clock.ShouldWrite(4));
  clock.Written(4);
  EXPECT_EQ(clock.NextDueMs(), 200);
  EXPECT_EQ(clock.IndexAt(1000), 25);
}

TEST(FrameClock, LongIntervalsCountPicturesWhateverTheTime) {
  FrameClock clock(2000);
  EXPECT_EQ(clock.framesPerSecond(), 1);
  EXPECT_EQ(clock.IndexAt(0), 0);
  clock.Written(0);
  EXPECT_EQ(clock.IndexAt(9000), 1);
  clock.Written(1);
  EXPECT_EQ(clock.IndexAt(9100), 2);
  EXPECT_EQ(clock.NextDueMs(), 4000);
}

TEST(FrameClock, DueTimesRoundUpToTheSlotStart) {
  FrameClock clock(30);  // 33 whole frames a second
  clock.Written(0);
  EXPECT_EQ(clock.NextDueMs(), 31);  // 1000 / 33 = 30.3 ms
  EXPECT_EQ(clock.IndexAt(clock.NextDueMs()), 1);
}
