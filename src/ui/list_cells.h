#pragma once
// The per-cell state of the skinned list without its window: one record per
// column for every row, the row selection, and the check-box rules between the
// cells and the column headers' select-all check boxes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ui {

// An RGB colour; "none" in an optional means the system default colour.
struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct ListCellData {
  int enabled = 1;  // kept in the row's first cell: a disabled row never toggles
  int bold = 0;
  int image = -1;   // index into the list's row image list, -1 none
  std::string toolTip;
  std::optional<Rgb> textColour;  // none: the system window-text colour
  std::optional<Rgb> backColour;  // none: the system window colour
  int check = -1;   // -1 no check box, 0 unchecked, 1 checked
  int userValue = 0;
  std::string text;
};

class ListCells {
 public:
  explicit ListCells(int columns = 0) { SetColumnCount(columns); }

  // Existing rows gain default cells or lose their last ones.
  void SetColumnCount(int columns);
  int columns() const { return static_cast<int>(headerChecks_.size()); }
  int rows() const { return static_cast<int>(rows_.size()); }

  // Inserts a row of default cells before `index` (clamped to the end).
  // Returns the new row's index, -1 when the list has no columns.
  int InsertRow(int index);
  bool DeleteRow(int row);
  void DeleteAll();

  // Null when out of range.
  ListCellData* Cell(int row, int column);
  const ListCellData* Cell(int row, int column) const;
  bool RowEnabled(int row) const;

  // Stores the state and brings the column's header check box up to date.
  bool SetCheck(int row, int column, int state);
  int GetCheck(int row, int column) const;

  // A click on a cell: an enabled row's check box flips. Returns true when it
  // flipped (the header check box then follows the column).
  bool ToggleCheck(int row, int column);

  // Header check box of a column: -1 none, 0 unchecked, 1 checked.
  int HeaderCheck(int column) const;
  void SetHeaderCheck(int column, int state);
  // A click on a header item that shows a check box: it flips and every cell
  // of the column that has a check box takes its new state. Returns true when
  // the header had a check box.
  bool ToggleHeaderCheck(int column);

  // Selection, row by row.
  bool IsSelected(int row) const;
  void Select(int row, bool selected);
  void SelectOnly(int row);  // -1 clears the selection
  void SelectRange(int from, int to);
  int FirstSelected() const;
  std::vector<int> SelectedRows() const;

 private:
  struct Row {
    std::vector<ListCellData> cells;
    bool selected = false;
  };
  void SyncHeader(int column);
  bool Valid(int row, int column) const;

  std::vector<Row> rows_;
  std::vector<int> headerChecks_;
};

}  // namespace ui
