#include <gtest/gtest.h>

#include <vector>

#include "ui/trim_geometry.h"

using ui::TrimGeometry;
using ui::TrimNotice;

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

TEST(TrimGeometry, PixelsValuesAndRectangles) {
  TrimGeometry g = TrimToolSlider();
  EXPECT_EQ(g.PixelOf(0), 13);
  EXPECT_EQ(g.PixelOf(100), 196);
  EXPECT_EQ(g.PixelOf(50), 13 + 91);  // 183 * 50 / 100 truncated
  EXPECT_EQ(g.ValueOf(13), 0);
  EXPECT_EQ(g.ValueOf(196), 100);
  EXPECT_EQ(g.ValueOf(104), 49);  // 91 / 183 * 100 = 49.7 truncated
  EXPECT_EQ(g.StartRect().x, 0);  // ends at the start's pixel
  EXPECT_EQ(g.EndRect().x, 196);
  EXPECT_EQ(g.StartRect().y + g.StartRect().height, 38);
  EXPECT_EQ(g.ThumbRect().x, 13 - 5);
}

TEST(TrimGeometry, MarkersStayApartAndThePositionFollowsThem) {
  TrimGeometry g = TrimToolSlider();
  g.SetStart(10);
  g.SetEnd(5);
  EXPECT_EQ(g.end(), 11);
  EXPECT_EQ(g.position(), 11);
  g.SetStart(50);
  EXPECT_EQ(g.start(), 10);  // end - 1 at most
  g.SetMarkers(70, 90);  // the start would be pushed back by the old end first
  EXPECT_EQ(g.start(), 70);
  EXPECT_EQ(g.end(), 90);
  g.SetMarkers(5, 20);
  EXPECT_EQ(g.start(), 5);
  EXPECT_EQ(g.end(), 20);
  g.SetRange(0, 100);
  EXPECT_EQ(g.start() + g.position(), 0);
  EXPECT_EQ(g.end(), 100);
}

TEST(TrimGeometry, DraggingTheStartOntoTheEndStopsOneShort) {
  TrimGeometry g = TrimToolSlider();
  g.SetEnd(60);
  g.SetPosition(0);
  // Grab the start marker 3 pixels left of its pixel (13), in its row.
  g.ButtonDown(10, 25);
  ASSERT_EQ(g.dragged(), ui::TrimPart::Start);
  EXPECT_EQ(g.Move(10), std::vector<TrimNotice>{});  // not moved: nothing said
  // Pixel to value truncates: 40's own pixel reads back as 39, one more is 40.
  const std::vector<TrimNotice> moved = g.Move(g.PixelOf(40) + 1 - 3);
  EXPECT_EQ(moved, (std::vector<TrimNotice>{{3075, 40}, {3073, 40}}));
  g.Move(200);
  EXPECT_EQ(g.start(), 59);
  EXPECT_EQ(g.ButtonUp(), (std::vector<TrimNotice>{{3076, 59}, {3074, 59}}));
  EXPECT_EQ(g.ButtonUp(), std::vector<TrimNotice>{});

  // The thumb over a marker wins; dragging it reports the position only.
  g.ButtonDown(g.PixelOf(59), 5);
  ASSERT_EQ(g.dragged(), ui::TrimPart::Thumb);
  EXPECT_EQ(g.Move(0), (std::vector<TrimNotice>{{3073, 0}}));
  EXPECT_EQ(g.ButtonUp(), (std::vector<TrimNotice>{{3074, 0}}));
}
