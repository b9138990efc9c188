#include <gtest/gtest.h>

#include "recording/floating_placement.h"

using capture::Point;
using capture::ScreenRect;
using recording::FloatingStopPlacement;

TEST(FloatingStopPlacement, CandidatesInOrder) {
  const int W = 1280, H = 1024;
  // Room below: right-aligned under the rectangle.
  EXPECT_EQ(FloatingStopPlacement({100, 100, 419, 339}, W, H), (Point{420 - 52, 340}));
  // Ends 10 pixels above the bottom: above its top-left corner.
  EXPECT_EQ(FloatingStopPlacement({100, 500, 419, H - 11}, W, H), (Point{100, 500 - 54}));
  // No room below or above: right of it, top-aligned.
  EXPECT_EQ(FloatingStopPlacement({100, 30, 419, H - 1}, W, H), (Point{420, 30}));
  // Only the left side has room: bottom-aligned.
  EXPECT_EQ(FloatingStopPlacement({700, 30, W - 1, H - 2}, W, H), (Point{648, H - 55}));
}

TEST(FloatingStopPlacement, StrictlyInsideAndNoneForTheWholeScreen) {
  const int W = 1280, H = 1024;
  // The right candidate would touch y = 0 and the left one y = H: neither is
  // strictly inside.
  EXPECT_EQ(FloatingStopPlacement({100, 0, 419, H - 1}, W, H), std::nullopt);
  EXPECT_EQ(FloatingStopPlacement({0, 0, W - 1, H - 1}, W, H), std::nullopt);
}
