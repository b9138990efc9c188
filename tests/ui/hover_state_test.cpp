#include <gtest/gtest.h>

#include "ui/etched_group_box.h"
#include "ui/hover_state.h"

TEST(HoverState, PressWinsOverHoverAndAClickNeedsReleaseInside) {
  HoverState s;
  EXPECT_EQ(s.Face(), HoverFace::Normal);
  s.MouseEntered();
  EXPECT_EQ(s.Face(), HoverFace::Hover);
  s.Pressed();
  EXPECT_EQ(s.Face(), HoverFace::Click);
  EXPECT_TRUE(s.Released(true));
  EXPECT_EQ(s.Face(), HoverFace::Hover);

  // Pressed, dragged out, released outside: no click, and no stuck press.
  s.Pressed();
  s.MouseLeft();
  EXPECT_EQ(s.Face(), HoverFace::Normal);
  EXPECT_FALSE(s.Released(false));
  s.MouseEntered();
  EXPECT_EQ(s.Face(), HoverFace::Hover);

  // A release without a press is not a click; a lost capture drops the press.
  EXPECT_FALSE(s.Released(true));
  s.Pressed();
  s.Cancelled();
  EXPECT_FALSE(s.Released(true));
}

TEST(EtchedGroupBox, CaptionPlacement) {
  EXPECT_EQ(EtchedCaptionLeft(200, 50, CaptionAlign::Left), 10);
  EXPECT_EQ(EtchedCaptionLeft(200, 50, CaptionAlign::Right), 140);
  EXPECT_EQ(EtchedCaptionLeft(200, 50, CaptionAlign::Centre), 75);
  EXPECT_EQ(EtchedCaptionLeft(40, 80, CaptionAlign::Right), 0);  // never left of the frame
}
