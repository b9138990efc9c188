#pragma once
// The report-view list with per-cell colours, bold text, images and check
// boxes, a select-all check box in the column header, per-cell tool tips and a
// tiled background bitmap while it is empty.
//
// It is a control of its own (a header window above a row-scrolled body that
// it paints cell by cell) rather than a wxListCtrl: on GTK the report-view
// list is the generic implementation, which offers neither per-cell drawing
// nor a header drawn from bitmaps nor a background picture, so none of those
// looks could be honoured through it.
#include <wx/bitmap.h>
#include <wx/control.h>
#include <wx/event.h>

#include <string>
#include <vector>

#include "ui/list_cells.h"
#include "ui/skin_header_ctrl.h"

class SkinListBody;

// Sent to the parent (by ProcessWindowEvent, with the list's id) after a click
// or double click on the list; GetInt() is the row under the pointer or -1.
// Check boxes have already been toggled when the click is seen.
wxDECLARE_EVENT(wxEVT_SKINLIST_CLICK, wxCommandEvent);
wxDECLARE_EVENT(wxEVT_SKINLIST_DCLICK, wxCommandEvent);
#define EVT_SKINLIST_CLICK(id, fn) \
  wx__DECLARE_EVT1(wxEVT_SKINLIST_CLICK, id, wxCommandEventHandler(fn))
#define EVT_SKINLIST_DCLICK(id, fn) \
  wx__DECLARE_EVT1(wxEVT_SKINLIST_DCLICK, id, wxCommandEventHandler(fn))
// A right click on a row: the row is selected first (alone, unless it was
// already among the selected), then this is sent with the row in GetInt().
// A right click under the last row sends nothing.
wxDECLARE_EVENT(wxEVT_SKINLIST_RCLICK, wxCommandEvent);
#define EVT_SKINLIST_RCLICK(id, fn) \
  wx__DECLARE_EVT1(wxEVT_SKINLIST_RCLICK, id, wxCommandEventHandler(fn))

class CSkinListCtrl : public wxControl {
 public:
  static constexpr int kDefaultFontHeight = 16;

  CSkinListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);
  ~CSkinListCtrl() override;

  // Columns.
  int InsertColumn(int index, const wxString& title, int align, int width);
  int GetColumnCount() const { return cells_.columns(); }
  int GetColumnWidth(int column) const;
  CSkinHeaderCtrl* header() const { return header_; }

  // Rows. InsertRow sets the first cell's text and colours (none = system).
  int InsertRow(int index, const wxString& text, std::optional<ui::Rgb> textColour = {},
                std::optional<ui::Rgb> backColour = {});
  int GetRowCount() const { return cells_.rows(); }
  void DeleteAllRows();
  bool DeleteRow(int row);

  // Cells. Colours given as none restore the system defaults.
  bool SetCell(int row, int column, const std::optional<wxString>& text,
               std::optional<ui::Rgb> textColour, std::optional<ui::Rgb> backColour);
  wxString GetCellText(int row, int column) const;
  bool SetCheck(int row, int column, int state);
  int GetCheck(int row, int column) const { return cells_.GetCheck(row, column); }
  bool SetBold(int row, int column, bool bold);
  bool SetImage(int row, int column, int image);
  bool SetToolTipText(int row, int column, const wxString& text);
  bool SetRowEnabled(int row, bool enabled);
  const ui::ListCellData* GetCellData(int row, int column) const { return cells_.Cell(row, column); }
  // Header check box of a column: -1 none, 0 unchecked, 1 checked.
  void SetHeaderCheck(int column, int state);
  int GetHeaderCheck(int column) const { return cells_.HeaderCheck(column); }

  // Selection.
  int GetFirstSelected() const { return cells_.FirstSelected(); }
  std::vector<int> GetSelectedRows() const { return cells_.SelectedRows(); }
  bool IsRowSelected(int row) const { return cells_.IsSelected(row); }
  void SelectRow(int row, bool selected);
  // Scrolls as little as needed to show the whole row.
  void EnsureVisible(int row);

  // Looks.
  void SetGridLines(bool on);
  bool gridLines() const { return gridLines_; }
  void SetFullRowSelect(bool on) { fullRowSelect_ = on; }
  void SetAlwaysShowSelection(bool on) { showSelectionAlways_ = on; }
  void SetCellFontHeight(int pixels);  // -1: the list font's own height
  void SetListFont(const wxFont& font);
  void SetHighlightColours(const wxColour& text, const wxColour& back);
  // The loaded bitmap fills the body while the list is empty. False when the
  // file cannot be loaded (the default background is drawn then).
  bool SetBackgroundBitmap(const std::string& path, bool redraw = true);
  // Check-box pictures (unchecked, checked) from a 16-pixel strip, magenta key.
  bool SetCheckImages(const std::string& path);
  // Row images from a strip `imageWidth` wide, masked by `key`.
  bool SetRowImages(const std::string& path, int imageWidth, const wxColour& key);
  int RowHeight() const;

  // Freeze and thaw painting of the body and header together.
  void FreezeList();
  void ThawList();
  void RefreshList();

  // Cell rectangle in list client coordinates (empty when out of range).
  wxRect CellRect(int row, int column) const;

 protected:
  // Reflected notifications for a subclass, after the list toggled the boxes.
  virtual void OnCellCheckToggled(int row, int column) { (void)row, (void)column; }
  virtual void OnHeaderCheckToggled(int column) { (void)column; }

 private:
  friend class SkinListBody;
  void PaintBody(wxDC& dc, const wxSize& size, size_t firstRow);
  void PaintCell(wxDC& dc, int row, int column, const wxRect& rect);
  void BodyClick(const wxPoint& at, bool ctrl, bool shift, bool doubleClick);
  void BodyRightClick(const wxPoint& at);
  void BodyMotion(const wxPoint& at);
  bool BodyKey(int keyCode, bool shift);
  void HeaderClick(int column);
  void HitTest(const wxPoint& bodyPoint, int& row, int& column) const;
  wxRect BodyCellRect(int row, int column) const;
  void SyncHeaderImages();
  void RefreshRowCount();
  void OnSize(wxSizeEvent& event);
  void OnSysColourChanged(wxSysColourChangedEvent& event);
  void ReadSystemColours();
  wxColour TextColourOf(const ui::ListCellData& cell) const;
  wxColour BackColourOf(const ui::ListCellData& cell) const;

  ui::ListCells cells_;
  CSkinHeaderCtrl* header_ = nullptr;
  SkinListBody* body_ = nullptr;
  wxFont listFont_;
  int cellFontHeight_ = kDefaultFontHeight;
  bool gridLines_ = false;
  bool fullRowSelect_ = false;
  bool showSelectionAlways_ = false;
  bool customHighlight_ = false;
  int anchorRow_ = -1;  // where a Shift range starts
  int caretRow_ = -1;   // the row the arrow keys move from
  wxColour grayText_, highlight_, highlightText_, window_, windowText_;
  wxBitmap background_;
  std::vector<wxBitmap> checkImages_;
  std::vector<wxBitmap> rowImages_;
  wxString shownToolTip_;
  static constexpr int kGap = 6;  // between a cell's picture and its text
};
