#include "ui/skin_list_ctrl.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>
#include <wx/vscroll.h>

#include <algorithm>

#include "ui/hover_button.h"
#include "ui/image_strip.h"

wxDEFINE_EVENT(wxEVT_SKINLIST_CLICK, wxCommandEvent);
wxDEFINE_EVENT(wxEVT_SKINLIST_DCLICK, wxCommandEvent);
wxDEFINE_EVENT(wxEVT_SKINLIST_RCLICK, wxCommandEvent);

namespace {

// The header is as tall as its background art.
constexpr int kHeaderHeight = 24;
// Tool-tip texts are cut where the platform's request buffer ended.
constexpr size_t kMaxToolTip = 80;
const wxColour kGridColour(214, 214, 214);

wxColour ToColour(const ui::Rgb& c) { return wxColour(c.r, c.g, c.b); }

}  // namespace

// The scrolled area under the header. It only forwards painting and input to
// the list, which owns every cell.
class SkinListBody : public wxVScrolledWindow {
 public:
  SkinListBody(CSkinListCtrl* list, const wxPoint& pos, const wxSize& size)
      : wxVScrolledWindow(list, wxID_ANY, pos, size, wxBORDER_NONE | wxWANTS_CHARS),
        list_(list) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
      wxAutoBufferedPaintDC dc(this);
      list_->PaintBody(dc, GetClientSize(), GetVisibleRowsBegin());
    });
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
      SetFocus();
      list_->BodyClick(e.GetPosition(), e.ControlDown(), e.ShiftDown(), false);
    });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& e) {
      list_->BodyClick(e.GetPosition(), e.ControlDown(), e.ShiftDown(), true);
    });
    Bind(wxEVT_RIGHT_DOWN, [this](wxMouseEvent& e) {
      SetFocus();
      list_->BodyRightClick(e.GetPosition());
    });
    Bind(wxEVT_MOTION, [this](wxMouseEvent& e) { list_->BodyMotion(e.GetPosition()); });
    Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& e) {
      if (!list_->BodyKey(e.GetKeyCode(), e.ShiftDown())) e.Skip();
    });
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& e) { Refresh(false); e.Skip(); });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) { Refresh(false); e.Skip(); });
  }

 private:
  wxCoord OnGetRowHeight(size_t) const override { return list_->RowHeight(); }
  CSkinListCtrl* list_;
};

CSkinListCtrl::CSkinListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE) {
  ReadSystemColours();
  listFont_ = GetFont();
  const wxSize client = GetClientSize();
  header_ = new CSkinHeaderCtrl(this, wxID_ANY, wxPoint(0, 0), wxSize(client.x, kHeaderHeight));
  header_->SetOnItemClick([this](int column) { HeaderClick(column); });
  body_ = new SkinListBody(this, wxPoint(0, kHeaderHeight),
                           wxSize(client.x, std::max(client.y - kHeaderHeight, 0)));
  body_->SetRowCount(0);
  Bind(wxEVT_SIZE, &CSkinListCtrl::OnSize, this);
  Bind(wxEVT_SYS_COLOUR_CHANGED, &CSkinListCtrl::OnSysColourChanged, this);
}

CSkinListCtrl::~CSkinListCtrl() = default;

void CSkinListCtrl::OnSize(wxSizeEvent& event) {
  const wxSize client = GetClientSize();
  header_->SetSize(0, 0, client.x, kHeaderHeight);
  body_->SetSize(0, kHeaderHeight, client.x, std::max(client.y - kHeaderHeight, 0));
  event.Skip();
}

void CSkinListCtrl::ReadSystemColours() {
  grayText_ = wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
  window_ = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
  windowText_ = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
  if (!customHighlight_) {
    highlight_ = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    highlightText_ = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT);
  }
}

void CSkinListCtrl::OnSysColourChanged(wxSysColourChangedEvent& event) {
  ReadSystemColours();
  RefreshList();
  event.Skip();
}

int CSkinListCtrl::InsertColumn(int index, const wxString& title, int align, int width) {
  index = std::clamp(index, 0, GetColumnCount());
  CSkinHeaderCtrl::Item item;
  item.text = title;
  item.width = width;
  item.align = align;
  header_->InsertItem(index, item);
  // Columns go in at the end in practice; the cell records follow the count.
  cells_.SetColumnCount(GetColumnCount() + 1);
  RefreshList();
  return index;
}

int CSkinListCtrl::GetColumnWidth(int column) const {
  return column >= 0 && column < header_->GetItemCount() ? header_->GetItem(column).width : 0;
}

int CSkinListCtrl::InsertRow(int index, const wxString& text, std::optional<ui::Rgb> textColour,
                             std::optional<ui::Rgb> backColour) {
  const int row = cells_.InsertRow(index);
  if (row < 0) return -1;
  ui::ListCellData* first = cells_.Cell(row, 0);
  first->text = text.utf8_string();
  first->textColour = textColour;
  first->backColour = backColour;
  if (anchorRow_ >= row) ++anchorRow_;
  if (caretRow_ >= row) ++caretRow_;
  RefreshRowCount();
  return row;
}

void CSkinListCtrl::DeleteAllRows() {
  cells_.DeleteAll();
  anchorRow_ = caretRow_ = -1;
  RefreshRowCount();
}

bool CSkinListCtrl::DeleteRow(int row) {
  if (!cells_.DeleteRow(row)) return false;
  anchorRow_ = caretRow_ = -1;
  RefreshRowCount();
  return true;
}

void CSkinListCtrl::RefreshRowCount() {
  body_->SetRowCount(static_cast<size_t>(cells_.rows()));
  body_->Refresh(false);
}

bool CSkinListCtrl::SetCell(int row, int column, const std::optional<wxString>& text,
                            std::optional<ui::Rgb> textColour, std::optional<ui::Rgb> backColour) {
  ui::ListCellData* cell = cells_.Cell(row, column);
  if (!cell) return false;
  if (text) cell->text = text->utf8_string();
  cell->textColour = textColour;
  cell->backColour = backColour;
  body_->RefreshRect(BodyCellRect(row, column).Inflate(1, 0), false);
  return true;
}

wxString CSkinListCtrl::GetCellText(int row, int column) const {
  const ui::ListCellData* cell = cells_.Cell(row, column);
  return cell ? wxString::FromUTF8(cell->text) : wxString();
}

bool CSkinListCtrl::SetCheck(int row, int column, int state) {
  if (!cells_.SetCheck(row, column, state)) return false;
  SyncHeaderImages();
  body_->Refresh(false);
  return true;
}

bool CSkinListCtrl::SetBold(int row, int column, bool bold) {
  ui::ListCellData* cell = cells_.Cell(row, column);
  if (!cell) return false;
  cell->bold = bold ? 1 : 0;
  body_->Refresh(false);
  return true;
}

bool CSkinListCtrl::SetImage(int row, int column, int image) {
  ui::ListCellData* cell = cells_.Cell(row, column);
  if (!cell) return false;
  cell->image = image;
  body_->Refresh(false);
  return true;
}

bool CSkinListCtrl::SetToolTipText(int row, int column, const wxString& text) {
  ui::ListCellData* cell = cells_.Cell(row, column);
  if (!cell) return false;
  cell->toolTip = text.utf8_string();
  return true;
}

bool CSkinListCtrl::SetRowEnabled(int row, bool enabled) {
  ui::ListCellData* cell = cells_.Cell(row, 0);
  if (!cell) return false;
  cell->enabled = enabled ? 1 : 0;
  body_->Refresh(false);
  return true;
}

void CSkinListCtrl::SetHeaderCheck(int column, int state) {
  cells_.SetHeaderCheck(column, state);
  SyncHeaderImages();
}

void CSkinListCtrl::SyncHeaderImages() {
  for (int c = 0; c < GetColumnCount(); ++c) {
    const int state = cells_.HeaderCheck(c);
    // Only a header that shows a check box has its image driven by the cells.
    if (state != -1 || header_->GetCheck(c) != -1) header_->SetCheck(c, state);
  }
}

void CSkinListCtrl::SelectRow(int row, bool selected) {
  cells_.Select(row, selected);
  body_->Refresh(false);
}

void CSkinListCtrl::EnsureVisible(int row) {
  if (row < 0 || row >= cells_.rows()) return;
  const size_t first = body_->GetVisibleRowsBegin();
  const size_t shown = static_cast<size_t>(std::max(body_->GetClientSize().y / RowHeight(), 1));
  const size_t target = static_cast<size_t>(row);
  if (target < first)
    body_->ScrollToRow(target);
  else if (target >= first + shown)
    body_->ScrollToRow(target + 1 - shown);
}

void CSkinListCtrl::SetGridLines(bool on) {
  gridLines_ = on;
  body_->Refresh(false);
}

void CSkinListCtrl::SetCellFontHeight(int pixels) {
  cellFontHeight_ = pixels;
  body_->Refresh(false);
}

void CSkinListCtrl::SetListFont(const wxFont& font) {
  listFont_ = font;
  SetFont(font);
  body_->SetRowCount(static_cast<size_t>(cells_.rows()));  // row height follows the font
  body_->Refresh(false);
}

void CSkinListCtrl::SetHighlightColours(const wxColour& text, const wxColour& back) {
  customHighlight_ = true;
  highlightText_ = text;
  highlight_ = back;
  body_->Refresh(false);
}

bool CSkinListCtrl::SetBackgroundBitmap(const std::string& path, bool redraw) {
  background_ = LoadSkinBitmap(path);
  if (redraw) body_->Refresh(false);
  return background_.IsOk();
}

bool CSkinListCtrl::SetCheckImages(const std::string& path) {
  checkImages_ = ui::LoadImageStrip(path, 16, wxColour(255, 0, 255));
  body_->Refresh(false);
  return checkImages_.size() >= 2;
}

bool CSkinListCtrl::SetRowImages(const std::string& path, int imageWidth, const wxColour& key) {
  rowImages_ = ui::LoadImageStrip(path, imageWidth, key);
  body_->Refresh(false);
  return !rowImages_.empty();
}

int CSkinListCtrl::RowHeight() const {
  // As tall as the list font's line plus a little air, and never shorter than
  // the pictures drawn in the cells.
  int text = listFont_.IsOk() ? listFont_.GetPixelSize().y : 0;
  if (text <= 0) text = GetCharHeight();
  int pictures = 16;
  for (const auto* list : {&checkImages_, &rowImages_})
    if (!list->empty()) pictures = std::max(pictures, list->front().GetHeight());
  return std::max(text, pictures) + 4;
}

void CSkinListCtrl::FreezeList() { Freeze(); }

void CSkinListCtrl::ThawList() {
  if (IsFrozen()) Thaw();
}

void CSkinListCtrl::RefreshList() {
  header_->Refresh(false);
  body_->Refresh(false);
}

wxRect CSkinListCtrl::BodyCellRect(int row, int column) const {
  if (row < 0 || row >= cells_.rows() || column < 0 || column >= GetColumnCount()) return {};
  const int first = static_cast<int>(body_->GetVisibleRowsBegin());
  const int y = (row - first) * RowHeight();
  return wxRect(header_->ItemLeft(column), y, GetColumnWidth(column), RowHeight());
}

wxRect CSkinListCtrl::CellRect(int row, int column) const {
  wxRect r = BodyCellRect(row, column);
  if (r.height > 0) r.y += kHeaderHeight;
  return r;
}

wxColour CSkinListCtrl::TextColourOf(const ui::ListCellData& cell) const {
  return cell.textColour ? ToColour(*cell.textColour) : windowText_;
}

wxColour CSkinListCtrl::BackColourOf(const ui::ListCellData& cell) const {
  return cell.backColour ? ToColour(*cell.backColour) : window_;
}

void CSkinListCtrl::PaintBody(wxDC& dc, const wxSize& size, size_t firstRow) {
  if (cells_.rows() == 0 && background_.IsOk()) {
    // Tiled from the header's bottom edge, which is the body's top.
    for (int y = 0; y < size.y; y += background_.GetHeight())
      for (int x = 0; x < size.x; x += background_.GetWidth()) dc.DrawBitmap(background_, x, y, false);
    return;
  }
  dc.SetBackground(wxBrush(window_));
  dc.Clear();
  const int rowHeight = RowHeight();
  const int columns = GetColumnCount();
  for (int row = static_cast<int>(firstRow); row < cells_.rows(); ++row) {
    const int y = (row - static_cast<int>(firstRow)) * rowHeight;
    if (y >= size.y) break;
    for (int column = 0; column < columns; ++column) {
      const int width = GetColumnWidth(column);
      if (width <= 0) continue;
      PaintCell(dc, row, column, wxRect(header_->ItemLeft(column), y, width, rowHeight));
    }
  }
  if (!gridLines_) return;
  // Grid lines fill the whole body, below the last row too.
  dc.SetPen(wxPen(kGridColour));
  for (int y = rowHeight - 1; y < size.y; y += rowHeight) dc.DrawLine(0, y, size.x, y);
  for (int column = 0; column < columns; ++column) {
    const int x = header_->ItemLeft(column) + GetColumnWidth(column) - 1;
    if (GetColumnWidth(column) > 0) dc.DrawLine(x, 0, x, size.y);
  }
}

void CSkinListCtrl::PaintCell(wxDC& dc, int row, int column, const wxRect& rect) {
  const ui::ListCellData& cell = *cells_.Cell(row, column);
  wxColour text = TextColourOf(cell);
  wxColour back = BackColourOf(cell);
  const bool showsSelection = showSelectionAlways_ || body_->HasFocus();
  if (cells_.IsSelected(row) && (column == 0 || fullRowSelect_) && showsSelection) {
    text = highlightText_;
    back = highlight_;
  }
  if (!cells_.RowEnabled(row)) text = grayText_;

  dc.SetClippingRegion(rect);
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(back));
  dc.DrawRectangle(rect);

  int textLeft = rect.x + kGap;
  const wxBitmap* picture = nullptr;
  if (cell.check == 0 || cell.check == 1) {
    if (static_cast<size_t>(cell.check) < checkImages_.size()) picture = &checkImages_[cell.check];
  } else if (cell.image >= 0 && static_cast<size_t>(cell.image) < rowImages_.size()) {
    picture = &rowImages_[cell.image];
  }
  if (picture) {
    dc.DrawBitmap(*picture, textLeft, rect.y + (rect.height - picture->GetHeight()) / 2, true);
    textLeft += picture->GetWidth() + kGap;
  }

  wxFont font = listFont_;
  if (cellFontHeight_ > 0) font.SetPixelSize(wxSize(0, cellFontHeight_));
  if (cell.bold) font.SetNumericWeight(wxFONTWEIGHT_BOLD);
  dc.SetFont(font);
  dc.SetTextForeground(text);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  const wxRect textRect(textLeft, rect.y, rect.GetRight() - kGap - textLeft + 1, rect.height);
  // The file-name column reads from the left; every other column is centred.
  const int align = column == 1 ? wxALIGN_LEFT : wxALIGN_CENTER_HORIZONTAL;
  dc.DrawLabel(wxString::FromUTF8(cell.text), textRect, align | wxALIGN_CENTER_VERTICAL);
  dc.DestroyClippingRegion();
}

void CSkinListCtrl::HitTest(const wxPoint& at, int& row, int& column) const {
  row = -1;
  column = header_->HitTest(at.x);
  if (at.y < 0) return;
  const int candidate = static_cast<int>(body_->GetVisibleRowsBegin()) + at.y / RowHeight();
  if (candidate < cells_.rows()) row = candidate;
}

void CSkinListCtrl::BodyClick(const wxPoint& at, bool ctrl, bool shift, bool doubleClick) {
  int row = -1, column = -1;
  HitTest(at, row, column);
  if (!doubleClick) {
    // The check box flips before the owner hears of the click.
    if (row >= 0 && column >= 0 && cells_.ToggleCheck(row, column)) {
      SyncHeaderImages();
      OnCellCheckToggled(row, column);
    }
    if (row >= 0) caretRow_ = row;
    if (row < 0) {
      if (!ctrl) cells_.SelectOnly(-1);
    } else if (shift && anchorRow_ >= 0) {
      cells_.SelectRange(anchorRow_, row);
    } else if (ctrl) {
      cells_.Select(row, !cells_.IsSelected(row));
      anchorRow_ = row;
    } else {
      cells_.SelectOnly(row);
      anchorRow_ = row;
    }
    body_->Refresh(false);
  }
  wxCommandEvent event(doubleClick ? wxEVT_SKINLIST_DCLICK : wxEVT_SKINLIST_CLICK, GetId());
  event.SetEventObject(this);
  event.SetInt(row);
  ProcessWindowEvent(event);
}

void CSkinListCtrl::BodyRightClick(const wxPoint& at) {
  int row = -1, column = -1;
  HitTest(at, row, column);
  if (row < 0) return;
  // The menu acts on what is selected, so the row under the pointer must be
  // part of it; a row already selected keeps a multiple selection intact.
  if (!cells_.IsSelected(row)) {
    cells_.SelectOnly(row);
    anchorRow_ = row;
  }
  caretRow_ = row;
  body_->Refresh(false);
  wxCommandEvent event(wxEVT_SKINLIST_RCLICK, GetId());
  event.SetEventObject(this);
  event.SetInt(row);
  ProcessWindowEvent(event);
}

bool CSkinListCtrl::BodyKey(int keyCode, bool shift) {
  // The arrow keys move the selection as in any list; like the native list,
  // they do not count as a click for the owner.
  if (cells_.rows() == 0) return false;
  const int current = caretRow_ >= 0 ? caretRow_ : std::max(cells_.FirstSelected(), 0);
  int next = current;
  switch (keyCode) {
    case WXK_UP: case WXK_NUMPAD_UP: next = current - 1; break;
    case WXK_DOWN: case WXK_NUMPAD_DOWN: next = current + 1; break;
    case WXK_HOME: case WXK_NUMPAD_HOME: next = 0; break;
    case WXK_END: case WXK_NUMPAD_END: next = cells_.rows() - 1; break;
    default: return false;
  }
  next = std::clamp(next, 0, cells_.rows() - 1);
  caretRow_ = next;
  if (shift && anchorRow_ >= 0) {
    cells_.SelectRange(anchorRow_, next);
  } else {
    cells_.SelectOnly(next);
    anchorRow_ = next;
  }
  EnsureVisible(next);
  body_->Refresh(false);
  return true;
}

void CSkinListCtrl::HeaderClick(int column) {
  if (!cells_.ToggleHeaderCheck(column)) return;
  SyncHeaderImages();
  body_->Refresh(false);
  OnHeaderCheckToggled(column);
}

void CSkinListCtrl::BodyMotion(const wxPoint& at) {
  int row = -1, column = -1;
  HitTest(at, row, column);
  const ui::ListCellData* cell = cells_.Cell(row, column);
  wxString tip = cell ? wxString::FromUTF8(cell->toolTip).Left(kMaxToolTip) : wxString();
  if (tip == shownToolTip_) return;
  shownToolTip_ = tip;
  if (tip.empty())
    body_->UnsetToolTip();
  else
    body_->SetToolTip(tip);
}
