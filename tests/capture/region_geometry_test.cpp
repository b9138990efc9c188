#include <gtest/gtest.h>

#include "capture/frame_grab.h"
#include "capture/region_geometry.h"

using namespace capture;

TEST(RegionSelection, ReverseDragGivesTheSameRectangle) {
  RegionSelection forward, backward;
  forward.ButtonDown({10, 20});
  forward.MoveTo({330, 260});
  backward.ButtonDown({330, 260});
  backward.MoveTo({10, 20});
  auto a = forward.ButtonUp(), b = backward.ButtonUp();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, (ScreenRect{10, 20, 330, 260}));
  EXPECT_EQ(*a, *b);
}

TEST(RegionSelection, ClickWithoutMovementCommitsNothing) {
  RegionSelection s;
  s.ButtonDown({50, 60});
  EXPECT_FALSE(s.MoveTo({50, 60}));
  EXPECT_FALSE(s.ButtonUp().has_value());
  EXPECT_FALSE(s.dragging());
  // A one-pixel-wide line is as empty as a point.
  s.ButtonDown({50, 60});
  s.MoveTo({50, 200});
  EXPECT_FALSE(s.ButtonUp().has_value());
}

TEST(RegionSelection, MovesOutsideADragAreIgnoredAndCancelEndsIt) {
  RegionSelection s;
  EXPECT_FALSE(s.MoveTo({5, 5}));
  s.ButtonDown({0, 0});
  EXPECT_TRUE(s.MoveTo({40, 30}));
  s.Cancel();
  EXPECT_FALSE(s.dragging());
  EXPECT_EQ(s.committed(), (ScreenRect{0, 0, 40, 30}));
  EXPECT_FALSE(s.MoveTo({80, 80}));
}

TEST(SelectionLabel, TextCountsInclusivePixels) {
  EXPECT_EQ(SelectionLabel({10, 20, 330, 260}), "Left : 10  Top : 20  Width : 321  Height : 241");
}

TEST(SelectionLabel, GoesBelowWhenTheTopIsTooCloseToTheScreenEdge) {
  const int cy = 13;
  EXPECT_EQ(LabelPosition({10, 100, 200, 300}, cy), (Point{16, 100 - 18}));
  EXPECT_EQ(LabelPosition({10, 18, 200, 300}, cy), (Point{16, 0}));   // exactly room
  EXPECT_EQ(LabelPosition({10, 17, 200, 300}, cy), (Point{16, 305}));  // below
  const Box bg = LabelBackground({10, 100, 200, 300}, {16, 82}, 250, cy);
  EXPECT_EQ(bg, (Box{16, 78, 10 + 250 + 14 - 16, 21}));
}

TEST(SelectionStrips, FourThreePixelStripsHugTheEdges) {
  auto s = SelectionStrips({10, 20, 110, 80});
  EXPECT_EQ(s[0], (Box{10, 20, 100, 3}));   // top
  EXPECT_EQ(s[1], (Box{10, 77, 3, -54}));   // left, drawn upward
  EXPECT_EQ(s[2], (Box{107, 23, 3, 54}));   // right
  EXPECT_EQ(s[3], (Box{110, 77, -100, 3}));  // bottom, drawn leftward
}

TEST(MarkerBrackets, FourCornersRemainAroundTheArea) {
  const int w = 200, h = 100;
  BracketShape s = BracketsFor(w, h);
  // Offsets are relative to (x - 8, y - 8): the area starts at (8, 8).
  EXPECT_TRUE(s.Contains(0, 0));            // outer corner, top-left
  EXPECT_TRUE(s.Contains(23, 0));           // end of the top arm
  EXPECT_FALSE(s.Contains(24, 0));          // gap between the corners
  EXPECT_TRUE(s.Contains(0, 23));           // end of the left arm
  EXPECT_FALSE(s.Contains(0, 24));
  EXPECT_FALSE(s.Contains(8, 8));           // the recorded area stays clear
  EXPECT_FALSE(s.Contains(w / 2, h / 2));
  EXPECT_TRUE(s.Contains(w + 14, h + 14));  // bottom-right outer corner
  EXPECT_FALSE(s.Contains(w + 15, h + 14));
  EXPECT_TRUE(s.Contains(w - 12, h + 14));  // start of the bottom-right arm
  EXPECT_FALSE(s.Contains(w - 13, h + 14));
  EXPECT_TRUE(s.Contains(7, 7));            // thickness 8 at the corner
  EXPECT_FALSE(s.Contains(8, 9));
}

TEST(MarkerMove, ClampsAtTheScreenEdgesWithoutResizing) {
  const ScreenRect r{100, 100, 419, 339};  // 320 x 240
  EXPECT_EQ(ClampedMove(r, 10, -5, 1280, 1024), (ScreenRect{110, 95, 429, 334}));
  ScreenRect right = ClampedMove(r, 2000, 0, 1280, 1024);
  EXPECT_EQ(right.right, 1279);
  EXPECT_EQ(right.width(), 320);
  ScreenRect topLeft = ClampedMove(r, -500, -500, 1280, 1024);
  EXPECT_EQ(topLeft, (ScreenRect{0, 0, 319, 239}));
  ScreenRect bottom = ClampedMove(r, 0, 900, 1280, 1024);
  EXPECT_EQ(bottom.bottom, 1023);
  EXPECT_EQ(bottom.height(), 240);
}

TEST(MarkerMove, PublishedMoveIsTakenOnce) {
  PublishedMove move;
  EXPECT_FALSE(move.Take());
  move.Publish({5, 6, 100, 100});
  move.Publish({7, 8, 102, 102});  // the latest wins
  auto p = move.Take();
  ASSERT_TRUE(p);
  EXPECT_EQ(*p, (Point{7, 8}));
  EXPECT_FALSE(move.Take());
}

TEST(Geometry, SizesRoundDownToMultiplesOfFour) {
  ScreenRect r{0, 0, 321, 242};  // 322 x 243
  EXPECT_EQ(RoundDownTo4(r.width()), 320);
  EXPECT_EQ(RoundDownTo4(r.height()), 240);
  EXPECT_EQ(RoundDownTo4(3), 0);
  EXPECT_EQ(Normalise({30, 40, 10, 20}), (ScreenRect{10, 20, 30, 40}));
}

TEST(SelectionStrips, InvertingTwiceRestoresThePicture) {
  const int w = 20, h = 10, stride = w * 3;
  std::vector<uint8_t> picture(stride * h);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 13);
  const auto original = picture;
  // A strip with negative width (drawn leftward), partly off the picture.
  const Box strip{25, 2, -10, 3};
  InvertHatchedStrip(picture.data(), w, h, stride, strip);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = y * stride + x * 3;
      const bool inside = x >= 15 && y >= 2 && y < 5;
      const bool line = OnHatchLine(x, y);
      EXPECT_EQ(picture[i] ^ original[i], inside && !line ? 0xff : 0) << x << "," << y;
      EXPECT_EQ(picture[i + 2] ^ original[i + 2], inside ? (line ? 100 : 0xff) : 0);
    }
  InvertHatchedStrip(picture.data(), w, h, stride, strip);
  EXPECT_EQ(picture, original);
}
