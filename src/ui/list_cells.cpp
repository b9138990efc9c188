#include "ui/list_cells.h"

#include <algorithm>

namespace ui {

void ListCells::SetColumnCount(int columns) {
  const size_t n = static_cast<size_t>(std::max(columns, 0));
  headerChecks_.resize(n, -1);
  for (auto& row : rows_) row.cells.resize(n);
}

int ListCells::InsertRow(int index) {
  if (headerChecks_.empty()) return -1;
  index = std::clamp(index, 0, rows());
  Row row;
  row.cells.resize(headerChecks_.size());
  rows_.insert(rows_.begin() + index, std::move(row));
  return index;
}

bool ListCells::DeleteRow(int row) {
  if (row < 0 || row >= rows()) return false;
  rows_.erase(rows_.begin() + row);
  return true;
}

void ListCells::DeleteAll() { rows_.clear(); }

bool ListCells::Valid(int row, int column) const {
  return row >= 0 && row < rows() && column >= 0 && column < columns();
}

ListCellData* ListCells::Cell(int row, int column) {
  return Valid(row, column) ? &rows_[row].cells[column] : nullptr;
}

const ListCellData* ListCells::Cell(int row, int column) const {
  return Valid(row, column) ? &rows_[row].cells[column] : nullptr;
}

bool ListCells::RowEnabled(int row) const {
  const ListCellData* first = Cell(row, 0);
  return first && first->enabled;
}

bool ListCells::SetCheck(int row, int column, int state) {
  ListCellData* cell = Cell(row, column);
  if (!cell) return false;
  cell->check = state;
  SyncHeader(column);
  return true;
}

int ListCells::GetCheck(int row, int column) const {
  const ListCellData* cell = Cell(row, column);
  return cell ? cell->check : -1;
}

bool ListCells::ToggleCheck(int row, int column) {
  ListCellData* cell = Cell(row, column);
  if (!cell || !RowEnabled(row) || (cell->check != 0 && cell->check != 1)) return false;
  cell->check = cell->check ? 0 : 1;
  SyncHeader(column);
  return true;
}

int ListCells::HeaderCheck(int column) const {
  return column >= 0 && column < columns() ? headerChecks_[column] : -1;
}

void ListCells::SetHeaderCheck(int column, int state) {
  if (column >= 0 && column < columns()) headerChecks_[column] = state;
}

bool ListCells::ToggleHeaderCheck(int column) {
  const int state = HeaderCheck(column);
  if (state != 0 && state != 1) return false;
  const int flipped = state ? 0 : 1;
  headerChecks_[column] = flipped;
  for (auto& row : rows_)
    if (row.cells[column].check != -1) row.cells[column].check = flipped;
  return true;
}

void ListCells::SyncHeader(int column) {
  // Only a header that shows a check box follows its column.
  if (HeaderCheck(column) == -1) return;
  bool all = true;
  for (const auto& row : rows_)
    if (row.cells[column].check != 1) all = false;
  headerChecks_[column] = all ? 1 : 0;
}

bool ListCells::IsSelected(int row) const { return row >= 0 && row < rows() && rows_[row].selected; }

void ListCells::Select(int row, bool selected) {
  if (row >= 0 && row < rows()) rows_[row].selected = selected;
}

void ListCells::SelectOnly(int row) {
  for (int i = 0; i < rows(); ++i) rows_[i].selected = i == row;
}

void ListCells::SelectRange(int from, int to) {
  if (from > to) std::swap(from, to);
  for (int i = 0; i < rows(); ++i) rows_[i].selected = i >= from && i <= to;
}

int ListCells::FirstSelected() const {
  for (int i = 0; i < rows(); ++i)
    if (rows_[i].selected) return i;
  return -1;
}

std::vector<int> ListCells::SelectedRows() const {
  std::vector<int> out;
  for (int i = 0; i < rows(); ++i)
    if (rows_[i].selected) out.push_back(i);
  return out;
}

}  // namespace ui
