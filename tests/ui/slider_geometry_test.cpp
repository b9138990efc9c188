#include <gtest/gtest.h>

#include "ui/slider_geometry.h"

using ui::SliderGeometry;
using ui::SliderKey;
using ui::SliderNotify;

namespace {

// 117 pixels wide with a 17-pixel thumb: 100 pixels of travel for 0..100, so
// position p sits at pixel p + 8.
SliderGeometry OnePixelPerStep() {
  SliderGeometry g;
  g.SetControlSize(117, 24);
  g.SetThumbSize(17, 24);
  return g;
}

// The main window's slider: a 282-pixel channel and the 17-pixel thumb.
SliderGeometry MainWindowSlider() {
  SliderGeometry g;
  g.SetControlSize(282, 26);
  g.SetThumbSize(17, 24);
  return g;
}

}  // namespace

TEST(SliderGeometry, PixelsAndPositionsMapBothWays) {
  SliderGeometry g = MainWindowSlider();
  EXPECT_EQ(g.PixelOf(0), 8);
  EXPECT_EQ(g.PixelOf(100), 8 + 265);
  EXPECT_EQ(g.PixelOf(50), 8 + 132);  // 265 * 50 / 100 truncated
  EXPECT_EQ(g.PositionOf(8), 0);
  EXPECT_EQ(g.PositionOf(273), 100);
  EXPECT_EQ(g.PositionOf(141), 50);   // 133 * 100 / 265 truncated
  EXPECT_EQ(g.PositionOf(143), 50);
  EXPECT_EQ(g.PositionOf(144), 51);

  // Exact integer steps: no position is lost to rounding.
  SliderGeometry one = OnePixelPerStep();
  for (int p = 0; p <= 100; ++p) EXPECT_EQ(one.PositionOf(p + 8), p) << p;

  // Margins keep the travel clear of the border.
  g.SetMargins(5, 0, 7, 0);
  EXPECT_EQ(g.PixelOf(0), 5 + 8);
  EXPECT_EQ(g.PixelOf(100), 5 + 253 + 8);

  // Vertical sliders use the height and the top and bottom margins.
  SliderGeometry v;
  v.SetVertical(true);
  v.SetControlSize(24, 117);
  v.SetThumbSize(24, 17);
  v.SetMargins(50, 0, 50, 0);  // across the axis: no effect
  EXPECT_EQ(v.PixelOf(40), 48);
  v.SetMargins(0, 10, 0, 10);
  EXPECT_EQ(v.PixelOf(0), 18);
  EXPECT_EQ(v.PixelOf(100), 10 + 80 + 8);
}

TEST(SliderGeometry, KeysMoveByPageStepOrToTheEndsAndAlwaysReportTheChange) {
  SliderGeometry g = MainWindowSlider();
  g.SetPosition(90);
  EXPECT_EQ(g.Key(SliderKey::PageDown), SliderNotify::Moved);
  EXPECT_EQ(g.position(), 100);  // clamped
  EXPECT_EQ(g.Key(SliderKey::PageUp), SliderNotify::Moved);
  EXPECT_EQ(g.position(), 80);
  g.Key(SliderKey::Home);
  EXPECT_EQ(g.position(), 0);
  EXPECT_EQ(g.Key(SliderKey::Left), SliderNotify::Moved);  // already at the end
  EXPECT_EQ(g.position(), 0);
  g.Key(SliderKey::Down);
  g.Key(SliderKey::Right);
  EXPECT_EQ(g.position(), 2);
  g.Key(SliderKey::Up);
  EXPECT_EQ(g.position(), 1);
  g.Key(SliderKey::End);
  EXPECT_EQ(g.position(), 100);
  g.SetPage(30);
  g.Key(SliderKey::PageUp);
  EXPECT_EQ(g.position(), 70);
}

TEST(SliderGeometry, GrabbedThumbKeepsItsDistanceToThePointer) {
  SliderGeometry g = OnePixelPerStep();
  g.SetPosition(40);  // centre at pixel 48
  // Grabbed 3 pixels right of its centre: the thumb does not jump.
  EXPECT_EQ(g.ButtonDown(51), SliderNotify::None);
  EXPECT_TRUE(g.dragging());
  EXPECT_EQ(g.dragOffset(), 3);
  EXPECT_EQ(g.position(), 40);
  EXPECT_EQ(g.Move(61), SliderNotify::Moving);
  EXPECT_EQ(g.position(), 50);
  EXPECT_EQ(g.ThumbCentre(), 61 - 3);
  EXPECT_EQ(g.ButtonUp(), SliderNotify::Moved);
  EXPECT_FALSE(g.dragging());
  EXPECT_EQ(g.Move(90), SliderNotify::None);  // no button, no drag
  EXPECT_EQ(g.position(), 50);
}

TEST(SliderGeometry, ClickFarFromTheThumbMakesItJumpUnderThePointer) {
  SliderGeometry g = OnePixelPerStep();
  g.SetPosition(10);  // centre 18, half a thumb is 8
  EXPECT_EQ(g.ButtonDown(80), SliderNotify::Moving);
  EXPECT_EQ(g.dragOffset(), 0);
  EXPECT_EQ(g.position(), 72);
  // Dragging beyond either end stops the thumb at the end of its travel.
  g.Move(500);
  EXPECT_EQ(g.position(), 100);
  g.Move(-40);
  EXPECT_EQ(g.position(), 0);
  g.ButtonUp();
}

TEST(SliderGeometry, DragThatDoesNotChangeThePositionPostsNothingButReleaseAlwaysDoes) {
  SliderGeometry g = MainWindowSlider();  // 2.65 pixels per step
  g.SetPosition(50);
  const int centre = g.ThumbCentre();
  EXPECT_EQ(g.ButtonDown(centre), SliderNotify::None);
  EXPECT_EQ(g.Move(centre), SliderNotify::None);
  // One pixel right still means position 50.
  EXPECT_EQ(g.Move(centre + 1), SliderNotify::None);
  EXPECT_EQ(g.position(), 50);
  EXPECT_EQ(g.ButtonUp(), SliderNotify::Moved);

  // Pinned at an end, moving further out changes nothing either.
  g.SetPosition(100);
  g.ButtonDown(g.ThumbCentre());
  EXPECT_EQ(g.Move(g.ThumbCentre() + 30), SliderNotify::None);
  EXPECT_EQ(g.ButtonUp(), SliderNotify::Moved);
}

TEST(SliderGeometry, RangeClampsThePositionAndAnEmptyRangeIsSafe) {
  SliderGeometry g = OnePixelPerStep();
  g.SetPosition(500);
  EXPECT_EQ(g.position(), 100);
  g.SetRange(10, 20);
  EXPECT_EQ(g.position(), 20);
  g.SetPosition(-5);
  EXPECT_EQ(g.position(), 10);
  EXPECT_EQ(g.PixelOf(15), 8 + 50);
  g.SetRange(5, 5);
  EXPECT_EQ(g.position(), 5);
  EXPECT_EQ(g.PixelOf(5), 8);
  g.ButtonDown(60);
  EXPECT_EQ(g.position(), 5);
}
