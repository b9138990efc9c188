#include <gtest/gtest.h>

#include <set>

#include "app/main_layout.h"

TEST(MainLayout, ShapeRoundsOnlyTheTwoTopCorners) {
  auto spans = layout::WindowShapeSpans();
  ASSERT_EQ(spans.size(), 621u);
  EXPECT_GT(spans.front().x0, 0);                 // top row is inset by the curve
  EXPECT_EQ(spans.front().x0, 511 - spans.front().x1);  // symmetric
  for (int y = 6; y < 621; ++y) {
    EXPECT_EQ(spans[y].x0, 0) << y;
    EXPECT_EQ(spans[y].x1, 511) << y;
  }
  EXPECT_FALSE(layout::InsideShape(0, 0));
  EXPECT_FALSE(layout::InsideShape(510, 0));
  EXPECT_TRUE(layout::InsideShape(0, 620));  // bottom corners stay square
  EXPECT_TRUE(layout::InsideShape(510, 620));
  EXPECT_TRUE(layout::InsideShape(255, 0));
  EXPECT_FALSE(layout::InsideShape(255, 621));
}

TEST(MainLayout, ButtonIdsAreUniqueAndShownOnesLieInTheWindowExceptHelp) {
  std::set<int> ids;
  for (const auto& b : layout::Buttons()) {
    EXPECT_TRUE(ids.insert(b.id).second) << b.id;
    bool inside = b.rect.x + b.rect.w <= layout::kWidth && b.rect.y + b.rect.h <= layout::kHeight;
    if (b.id == 1005) {
      EXPECT_FALSE(inside);
    } else if (b.shown) {
      EXPECT_TRUE(inside) << b.id;
    }
  }
  for (int id : {1052, 1053, 1049, 1033, 1006, 1007, 1013, 1012}) EXPECT_TRUE(ids.count(id)) << id;
}
