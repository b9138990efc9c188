#include "app/media_list.h"

namespace {

constexpr ui::Rgb kCellText{0, 0, 0};
constexpr ui::Rgb kCellBack{250, 250, 250};
const wxColour kListText(50, 50, 50);
constexpr int kRowFontHeight = 20;
constexpr int kCheckColumn = 0;

// "Arial" is Liberation Sans here.
wxFont ListFont(int weight) {
  return wxFontInfo(wxSize(0, kRowFontHeight)).FaceName("Liberation Sans").Weight(weight);
}

}  // namespace

MediaList::MediaList(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : CSkinListCtrl(parent, id, pos, size) {}

void MediaList::Setup(const std::string& skinFolder) {
  const std::string res = skinFolder + "res/";
  SetListFont(ListFont(wxFONTWEIGHT_NORMAL));
  // The header draws its titles at its own 16-pixel height, extra bold.
  header()->SetHeaderFont(wxFontInfo(wxSize(0, 16)).FaceName("Liberation Sans").Weight(800));
  SetForegroundColour(kListText);
  SetRowImages(res + "134.bmp", 16, *wxWHITE);
  SetCheckImages(res + "133.bmp");
  header()->SetImageStrip(res + "130.bmp", 16, wxColour(255, 0, 255));
  header()->SetBackgroundBitmap(res + "129.bmp");
  if (GetColumnCount() == 0) {
    // The check-box column takes no width: its boxes exist but are not seen.
    InsertColumn(0, " ", wxALIGN_CENTER_HORIZONTAL, 0);
    InsertColumn(1, "FileName", wxALIGN_CENTER_HORIZONTAL, 240);
    InsertColumn(2, "Duration", wxALIGN_CENTER_HORIZONTAL, 160);
    SetHeaderCheck(kCheckColumn, 0);
  }
  SetFullRowSelect(true);
  // The selection stays visible when the focus goes to a button, so the user
  // sees which rows "delete" will take.
  SetAlwaysShowSelection(true);
  SetBackgroundBitmap(skinFolder + "list_back.bmp");
  RefreshRows();
}

void MediaList::RefreshRows() {
  FreezeList();
  DeleteAllRows();
  const MediaItemArray& items = model_.items();
  SetGridLines(!items.empty());
  for (size_t i = 0; i < items.size(); ++i) {
    const MediaItem& item = items[i];
    const int row = InsertRow(static_cast<int>(i), " ", kCellText, kCellBack);
    SetCell(row, 1, wxString::FromUTF8(item.fileName), kCellText, kCellBack);
    SetCheck(row, kCheckColumn, item.checked ? 1 : 0);
    SetCell(row, 2, wxString::FromUTF8(item.duration), kCellText, kCellBack);
  }
  ThawList();
  RefreshList();
}

void MediaList::OnCellCheckToggled(int row, int column) {
  if (column != kCheckColumn) return;
  const bool all = model_.OnRowChecked(row, GetCheck(row, column) == 1);
  SetHeaderCheck(kCheckColumn, all ? 1 : 0);
}

void MediaList::OnHeaderCheckToggled(int column) {
  if (column == kCheckColumn) model_.OnHeaderChecked(GetHeaderCheck(kCheckColumn) == 1);
}
