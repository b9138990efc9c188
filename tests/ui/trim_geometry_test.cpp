#include <gtest/gtest.h>

#include <vector>

#include "ui/trim_geometry.h"

using ui::TrimGeometry;
using Notices = std::vector<ui::TrimNotice>;

namespace {

// The trim tool's pictures: the 209 x 38 channel, the 11 x 15 thumb, the
// 13 x 19 markers and the 4-pixel range strip.
TrimGeometry TrimToolSlider() {
  TrimGeometry g;
  g.SetSizes(209, 38, 11, 15, 13, 19, 4);
  g.SetRange(0, 100);
  return g;
}

}  // namespace

TEST(TrimGeometry, PixelsValuesAndMarkersKeptApart) {
  TrimGeometry g = TrimToolSlider();
  EXPECT_EQ(g.PixelOf(0), 13);
  EXPECT_EQ(g.PixelOf(100), 196);
  EXPECT_EQ(g.ValueOf(104), 49);  // 91 / 183 * 100 = 49.7 truncated
  EXPECT_EQ(g.StartRect().x + g.StartRect().width, 13);  // ends at the start's pixel
  EXPECT_EQ(g.StartRect().y + g.StartRect().height, 38);
  g.SetStart(10);
  g.SetEnd(5);
  EXPECT_EQ(g.end(), 11);
  EXPECT_EQ(g.position(), 11);
  g.SetMarkers(70, 90);  // the old end (11) would hold the start back if set first
  EXPECT_EQ(g.start() * 1000 + g.end(), 70090);
}

TEST(TrimGeometry, DragNoticesFollowTheDraggedPart) {
  TrimGeometry g = TrimToolSlider();
  g.SetEnd(60);
  g.SetPosition(0);
  g.ButtonDown(10, 25);  // 3 pixels left of the start marker's pixel
  EXPECT_EQ(g.Move(10), Notices{});  // not moved: nothing said
  // Pixel to value truncates: 40's own pixel reads back as 39, one more is 40.
  EXPECT_EQ(g.Move(g.PixelOf(40) + 1 - 3), (Notices{{3075, 40}, {3073, 40}}));
  g.Move(200);
  EXPECT_EQ(g.ButtonUp(), (Notices{{3076, 59}, {3074, 59}}));
  // The thumb over a marker wins; dragging it reports the position only.
  g.ButtonDown(g.PixelOf(59), 5);
  EXPECT_EQ(g.Move(0), (Notices{{3073, 0}}));
  EXPECT_EQ(g.ButtonUp(), (Notices{{3074, 0}}));
  EXPECT_EQ(g.ButtonUp(), Notices{});
}
