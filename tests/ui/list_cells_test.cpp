#include <gtest/gtest.h>

#include "ui/bitmap_progress_ctrl.h"
#include "ui/list_cells.h"

using ui::ListCells;

namespace {

// Three rows of two columns; column 0 has check boxes and a header check box.
ListCells CheckedColumn() {
  ListCells cells(2);
  cells.SetHeaderCheck(0, 0);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(cells.InsertRow(r), r);
    cells.SetCheck(r, 0, 0);
  }
  return cells;
}

}  // namespace

TEST(ListCells, NewCellsHaveTheirDefaultsAndRowsInsertWhereAsked) {
  ListCells cells(3);
  EXPECT_EQ(ListCells().InsertRow(0), -1);  // no columns, no rows
  EXPECT_EQ(cells.InsertRow(5), 0);         // clamped to the end
  cells.Cell(0, 1)->text = "first";
  EXPECT_EQ(cells.InsertRow(0), 0);
  EXPECT_EQ(cells.Cell(1, 1)->text, "first");
  const ui::ListCellData* c = cells.Cell(0, 2);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->enabled, 1);
  EXPECT_EQ(c->bold, 0);
  EXPECT_EQ(c->image, -1);
  EXPECT_EQ(c->check, -1);
  EXPECT_FALSE(c->textColour || c->backColour);
  EXPECT_EQ(cells.Cell(0, 3), nullptr);
  EXPECT_EQ(cells.Cell(2, 0), nullptr);
  EXPECT_FALSE(cells.SetCheck(7, 0, 1));
}

TEST(ListCells, CheckingTheLastUncheckedRowChecksTheHeaderAndUncheckingOneClearsIt) {
  ListCells cells = CheckedColumn();
  EXPECT_EQ(cells.HeaderCheck(0), 0);
  EXPECT_TRUE(cells.ToggleCheck(0, 0));
  EXPECT_TRUE(cells.ToggleCheck(1, 0));
  EXPECT_EQ(cells.HeaderCheck(0), 0);
  EXPECT_TRUE(cells.ToggleCheck(2, 0));
  EXPECT_EQ(cells.HeaderCheck(0), 1);
  EXPECT_TRUE(cells.ToggleCheck(1, 0));
  EXPECT_EQ(cells.GetCheck(1, 0), 0);
  EXPECT_EQ(cells.HeaderCheck(0), 0);
  // Column 1 has neither check boxes nor a header box: clicks change nothing.
  EXPECT_FALSE(cells.ToggleCheck(1, 1));
  EXPECT_EQ(cells.HeaderCheck(1), -1);
}

TEST(ListCells, DisabledRowsDoNotToggle) {
  ListCells cells = CheckedColumn();
  cells.Cell(1, 0)->enabled = 0;
  EXPECT_FALSE(cells.ToggleCheck(1, 0));
  EXPECT_EQ(cells.GetCheck(1, 0), 0);
}

TEST(ListCells, HeaderBoxSetsEveryCheckBoxOfItsColumnAndLeavesCellsWithoutOne) {
  ListCells cells = CheckedColumn();
  cells.SetCheck(1, 0, -1);  // this cell has no check box
  EXPECT_TRUE(cells.ToggleHeaderCheck(0));
  EXPECT_EQ(cells.HeaderCheck(0), 1);
  EXPECT_EQ(cells.GetCheck(0, 0), 1);
  EXPECT_EQ(cells.GetCheck(1, 0), -1);
  EXPECT_EQ(cells.GetCheck(2, 0), 1);
  EXPECT_TRUE(cells.ToggleHeaderCheck(0));
  EXPECT_EQ(cells.GetCheck(2, 0), 0);
  EXPECT_FALSE(cells.ToggleHeaderCheck(1));  // no header box there
}

TEST(ListCells, SelectionByRowSingleRangeAndFirst) {
  ListCells cells = CheckedColumn();
  EXPECT_EQ(cells.FirstSelected(), -1);
  cells.SelectOnly(1);
  EXPECT_EQ(cells.FirstSelected(), 1);
  cells.Select(2, true);
  EXPECT_EQ(cells.SelectedRows(), (std::vector<int>{1, 2}));
  cells.SelectRange(2, 0);
  EXPECT_EQ(cells.SelectedRows(), (std::vector<int>{0, 1, 2}));
  cells.SelectOnly(-1);
  EXPECT_TRUE(cells.SelectedRows().empty());
}

TEST(ProgressBar, HalfOfTheRangeStretchesTheBarOverHalfTheWidth) {
  EXPECT_EQ(ProgressBarWidth(50, 100, 720), 360);
  EXPECT_EQ(ProgressBarWidth(0, 100, 720), 0);
  EXPECT_EQ(ProgressBarWidth(100, 100, 720), 720);
  EXPECT_EQ(ProgressBarWidth(33, 100, 720), 237);  // whole pixels, truncated
  EXPECT_EQ(ProgressBarWidth(150, 100, 720), 720);
  EXPECT_EQ(ProgressBarWidth(5, 0, 720), 0);
}
