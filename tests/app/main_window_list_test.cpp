// The recordings list of the real main window, on the X server, driven by real
// pointer input.
#include <gtest/gtest.h>
#include <wx/panel.h>
#include <wx/settings.h>

#include <filesystem>

#include "app/main_window.h"
#include "app/media_list.h"
#include "support/temp_dir.h"
#include "support/wx_env.h"
#include "support/x_screen.h"
#include "ui/bitmap_progress_ctrl.h"
#include "ui/bitmap_slider_static.h"
#include "ui/skin_list_ctrl.h"
#include "main_window_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr int kHeaderHeight = 24;

class RecordingsListTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    Open();
    list_ = window_->mediaList();
    ASSERT_NE(list_, nullptr);
  }

  // A real click at a point of the list's client area.
  void ClickList(wxPoint at) {
    wxPoint screen = list_->ClientToScreen(at);
    xtest::MovePointer(screen.x, screen.y);
    PumpFor(80);
    xtest::PressButton(1, true);
    PumpFor(50);
    xtest::PressButton(1, false);
    PumpFor(200);
  }
  void Command(int id) {
    wxCommandEvent event(wxEVT_BUTTON, id);
    window_->ProcessWindowEvent(event);
    PumpFor(100);
  }
  // Pixels of a cell that are much darker than its background: its text.
  int DarkPixels(int row, int column) {
    wxRect r = list_->CellRect(row, column);
    wxPoint s = list_->ClientToScreen(r.GetTopLeft());
    xtest::Image img = xtest::GrabScreen(s.x, s.y, r.width, r.height);
    int dark = 0;
    for (const auto& p : img.pixels) dark += p.r < 100 && p.g < 100 && p.b < 100;
    return dark;
  }

  MediaList* list_ = nullptr;
};

}  // namespace

TEST_F(RecordingsListTest, EmptyListShowsItsBackgroundTiledBelowTheHeader) {
  EXPECT_TRUE(list_->IsShown());
  EXPECT_EQ(list_->GetPosition(), wxPoint(15, 100));
  EXPECT_EQ(list_->GetSize(), wxSize(480, 360));
  EXPECT_FALSE(list_->gridLines());
  auto back = xtest::ReadBmp(folders_.skinFolder + "list_back.bmp");
  ASSERT_TRUE(back);
  wxPoint body = list_->ClientToScreen(wxPoint(0, kHeaderHeight));
  const int height = 360 - kHeaderHeight;
  xtest::Image screen = xtest::GrabScreen(body.x, body.y, 480, height);
  EXPECT_EQ(xtest::CountDifferences(screen, 0, 0, *back, 0, 0, 480, height), 0);
  // The header is not the list's background: it has its own art.
  EXPECT_GT(xtest::CountDifferences(xtest::GrabScreen(body.x, body.y - kHeaderHeight, 480, 20), 0,
                                    0, *back, 0, 0, 480, 20, 8),
            1000);
}

TEST_F(RecordingsListTest, TwoRecordingsShowAsRowsAndARealClickSelectsOne) {
  const std::string dirPath = dir_ / "out";
  window_->AppendRecording(dirPath + "/2026-12-08 10-00-00.avi", "2026-12-08 10-00-00.avi",
                           "00:00:05");
  window_->AppendRecording(dirPath + "/2026-12-08 10-01-00.avi", "2026-12-08 10-01-00.avi",
                           "00:01:02");
  PumpFor(200);
  ASSERT_EQ(list_->GetRowCount(), 2);
  EXPECT_EQ(list_->GetCellText(0, 1), "2026-12-08 10-00-00.avi");
  EXPECT_EQ(list_->GetCellText(0, 2), "00:00:05");
  EXPECT_EQ(list_->GetCellText(1, 1), "2026-12-08 10-01-00.avi");
  EXPECT_EQ(list_->GetCellText(1, 2), "00:01:02");
  EXPECT_EQ(list_->GetCheck(1, 0), 1);
  EXPECT_EQ(list_->GetHeaderCheck(0), 1);
  EXPECT_TRUE(list_->gridLines());

  // On screen: both rows carry text in both columns, on the cells' colour.
  for (int row = 0; row < 2; ++row)
    for (int column = 1; column <= 2; ++column) EXPECT_GT(DarkPixels(row, column), 20) << row;
  wxPoint cell = list_->ClientToScreen(list_->CellRect(0, 2).GetTopLeft() + wxPoint(3, 3));
  EXPECT_EQ(xtest::GrabScreen(cell.x, cell.y, 1, 1).at(0, 0), (xtest::Pixel{250, 250, 250}));
  // The file-name column is left-aligned, the duration centred.
  wxRect nameCell = list_->CellRect(0, 1);
  EXPECT_GT(DarkPixels(0, 1), 0);
  wxPoint nameLeft = list_->ClientToScreen(nameCell.GetTopLeft());
  xtest::Image leftPart = xtest::GrabScreen(nameLeft.x, nameLeft.y, 40, nameCell.height);
  int dark = 0;
  for (const auto& p : leftPart.pixels) dark += p.r < 100;
  EXPECT_GT(dark, 10);

  // A real click on the second row selects it and makes its file current.
  wxRect second = list_->CellRect(1, 2);
  ClickList(wxPoint(second.x + 8, second.y + second.height / 2));
  ASSERT_TRUE(PumpUntil([&] { return list_->model().selectedIndex() == 1; }));
  EXPECT_EQ(window_->currentFile(), dirPath + "/2026-12-08 10-01-00.avi");
  EXPECT_TRUE(list_->IsRowSelected(1));
  EXPECT_FALSE(list_->IsRowSelected(0));
  const wxColour highlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
  wxPoint selected = list_->ClientToScreen(second.GetTopLeft() + wxPoint(3, 3));
  xtest::Pixel p = xtest::GrabScreen(selected.x, selected.y, 1, 1).at(0, 0);
  EXPECT_EQ(p, (xtest::Pixel{highlight.Red(), highlight.Green(), highlight.Blue()}));

  // A click on the empty space below the rows selects nothing and keeps the file.
  ClickList(wxPoint(200, 300));
  EXPECT_TRUE(PumpUntil([&] { return list_->model().selectedIndex() == -1; }));
  EXPECT_EQ(window_->currentFile(), dirPath + "/2026-12-08 10-01-00.avi");
  EXPECT_EQ(list_->GetFirstSelected(), -1);
}

TEST_F(RecordingsListTest, DoubleClickOpensTheRowsFileWithTheDefaultApplication) {
  // The desktop's opener is found through PATH: a stand-in writes down what it
  // was asked to open.
  fs::create_directories(dir_ / "bin");
  const std::string opened = dir_ / "opened.txt";
  WriteFile(dir_ / "bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened + "'\n");
  fs::permissions(dir_ / "bin/xdg-open", fs::perms::owner_all);
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (dir_ / "bin" + ":" + oldPath).c_str(), 1);

  window_->AppendRecording("/o/first call.avi", "first call.avi", "00:00:01");
  window_->AppendRecording("/o/second call.avi", "second call.avi", "00:00:02");
  PumpFor(200);
  wxPoint at = list_->ClientToScreen(list_->CellRect(1, 1).GetTopLeft() + wxPoint(20, 8));
  xtest::MovePointer(at.x, at.y);
  PumpFor(80);
  for (int i = 0; i < 2; ++i) {
    xtest::PressButton(1, true);
    xtest::PressButton(1, false);
  }
  EXPECT_TRUE(PumpUntil([&] { return ReadFile(opened) == "/o/second call.avi"; }, 5000))
      << ReadFile(opened);
  EXPECT_EQ(window_->currentFile(), "/o/second call.avi");
  EXPECT_EQ(list_->model().selectedIndex(), 1);
  setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(RecordingsListTest, ALongListScrollsAndTheArrowKeysMoveTheSelection) {
  for (int i = 0; i < 20; ++i)
    window_->AppendRecording("/o/" + std::to_string(i) + ".avi", std::to_string(i) + ".avi",
                             "00:00:01");
  list_->EnsureVisible(19);
  PumpFor(200);
  // The body shows whole rows; the last one is at the bottom now.
  const int shown = (360 - kHeaderHeight) / list_->RowHeight();
  ASSERT_LT(shown, 20);
  ClickList(wxPoint(200, kHeaderHeight + 5));
  ASSERT_TRUE(PumpUntil([&] { return list_->model().selectedIndex() == 20 - shown; }))
      << list_->model().selectedIndex();
  EXPECT_EQ(window_->currentFile(), "/o/" + std::to_string(20 - shown) + ".avi");
  EXPECT_EQ(list_->CellRect(20 - shown, 1).y, kHeaderHeight);

  // Keys move the list's selection; only a click makes a file current.
  xtest::Key("Down");
  xtest::Key("Down");
  ASSERT_TRUE(PumpUntil([&] { return list_->GetFirstSelected() == 22 - shown; }));
  xtest::Key("Up");
  ASSERT_TRUE(PumpUntil([&] { return list_->GetFirstSelected() == 21 - shown; }));
  EXPECT_EQ(list_->model().selectedIndex(), 20 - shown);
  xtest::Key("Home");
  ASSERT_TRUE(PumpUntil([&] { return list_->GetFirstSelected() == 0; }));
  EXPECT_EQ(list_->CellRect(0, 1).y, kHeaderHeight);  // scrolled back to the top
  xtest::Key("End");
  ASSERT_TRUE(PumpUntil([&] { return list_->GetFirstSelected() == 19; }));
  Command(1001);
  EXPECT_EQ(list_->GetRowCount(), 19);
  EXPECT_EQ(list_->GetCellText(18, 1), "18.avi");
}

TEST_F(RecordingsListTest, DeleteAndClearCommandsRemoveRowsAndHideTheEmptyList) {
  for (int i = 0; i < 4; ++i)
    window_->AppendRecording("/o/" + std::to_string(i) + ".avi", std::to_string(i) + ".avi",
                             "00:00:0" + std::to_string(i));
  PumpFor(200);
  ClickList(list_->CellRect(1, 1).GetTopLeft() + wxPoint(5, 5));
  // Ctrl+click adds row 3 to the selection, as in any list.
  wxPoint third = list_->ClientToScreen(list_->CellRect(3, 1).GetTopLeft() + wxPoint(5, 5));
  xtest::MovePointer(third.x, third.y);
  PumpFor(80);
  xtest::KeyDown("Control_L", true);
  xtest::PressButton(1, true);
  xtest::PressButton(1, false);
  xtest::KeyDown("Control_L", false);
  ASSERT_TRUE(PumpUntil([&] { return list_->GetSelectedRows() == std::vector<int>{1, 3}; }));

  Command(1001);
  ASSERT_EQ(list_->GetRowCount(), 2);
  EXPECT_EQ(list_->GetCellText(0, 1), "0.avi");
  EXPECT_EQ(list_->GetCellText(1, 1), "2.avi");
  EXPECT_TRUE(list_->IsShown());

  ClickList(list_->CellRect(0, 1).GetTopLeft() + wxPoint(5, 5));
  Command(1001);
  ClickList(list_->CellRect(0, 1).GetTopLeft() + wxPoint(5, 5));
  Command(1001);
  EXPECT_EQ(list_->GetRowCount(), 0);
  EXPECT_FALSE(list_->IsShown());

  // The next recording shows the list again; clear empties and hides it.
  window_->AppendRecording("/o/n.avi", "n.avi", "00:00:09");
  EXPECT_TRUE(list_->IsShown());
  EXPECT_EQ(list_->GetRowCount(), 1);
  Command(1047);
  EXPECT_EQ(list_->model().size(), 0u);
  EXPECT_FALSE(list_->IsShown());
}

TEST(BitmapSlider, RealDragPostsMovingWhileTheValueChangesAndMovedOnRelease) {
  const std::string res = std::string(MURMURANT_SOURCE_DIR) + "/skin/res/";
  xtest::MovePointer(1200, 1000);
  auto* frame = new wxFrame(nullptr, wxID_ANY, "slider", wxPoint(600, 300), wxSize(400, 100));
  auto* panel = new wxPanel(frame);
  auto* slider = new CBitmapSliderStatic(panel, 4321, wxPoint(20, 20), wxSize(10, 10));
  ASSERT_TRUE(slider->SetChannelBitmaps(res + "432.bmp", ""));
  ASSERT_TRUE(slider->SetThumbBitmaps(res + "136.bmp", res + "137.bmp", true,
                                      CBitmapSliderStatic::kKeyFromPixel, 0, 0));
  EXPECT_FALSE(slider->SetThumbBitmaps(res + "136.bmp", "/nonexistent.bmp"));
  slider->DrawFocusRect(false);
  EXPECT_EQ(slider->GetClientSize(), wxSize(282, 26));  // the channel's size
  std::vector<std::pair<long, int>> heard;
  auto record = [&](wxCommandEvent& e) {
    EXPECT_EQ(e.GetId(), 4321);
    heard.emplace_back(e.GetExtraLong(), e.GetInt());
  };
  panel->Bind(wxEVT_BITMAPSLIDER_MOVING, record);
  panel->Bind(wxEVT_BITMAPSLIDER_MOVED, record);
  frame->Show();
  ASSERT_TRUE(PumpUntil([&] { return slider->IsShownOnScreen(); }));
  PumpFor(200);
  EXPECT_EQ(slider->GetClientSize(), wxSize(282, 26));

  // Press on the thumb's centre, drag 53 pixels right (20 steps), release.
  wxPoint centre = slider->ClientToScreen(wxPoint(slider->geometry().ThumbCentre(), 12));
  xtest::MovePointer(centre.x, centre.y);
  PumpFor(50);
  xtest::PressButton(1, true);
  PumpFor(50);
  EXPECT_TRUE(heard.empty());  // grabbed in place: nothing changed yet
  xtest::MovePointer(centre.x + 53, centre.y);
  PumpFor(100);
  xtest::PressButton(1, false);
  ASSERT_TRUE(PumpUntil([&] { return !heard.empty() && heard.back().first == 10450; }));
  EXPECT_EQ(slider->GetPos(), 20);
  ASSERT_GE(heard.size(), 2u);
  EXPECT_EQ(heard.front(), (std::pair<long, int>{10449, 20}));
  EXPECT_EQ(heard.back(), (std::pair<long, int>{10450, 20}));

  // The thumb's key-coloured corners show the channel behind them; its
  // middle shows the thumb.
  auto channel = xtest::ReadBmp(res + "432.bmp");
  auto thumb = xtest::ReadBmp(res + "136.bmp");
  ASSERT_TRUE(channel && thumb);
  PumpFor(100);
  wxPoint origin = slider->ClientToScreen(wxPoint(0, 0));
  xtest::Image shown = xtest::GrabScreen(origin.x, origin.y, 282, 26);
  const int left = slider->geometry().ThumbCentre() - 17 / 2;
  EXPECT_EQ(left, 53);
  EXPECT_EQ(thumb->at(0, 0), (xtest::Pixel{255, 0, 255}));
  EXPECT_EQ(shown.at(left, 0), channel->at(left, 0));
  EXPECT_EQ(shown.at(left + 8, 12), thumb->at(8, 12));

  // Keys go to the focused slider: End, then Page Up.
  heard.clear();
  xtest::Key("End");
  xtest::Key("Prior");
  ASSERT_TRUE(PumpUntil([&] { return heard.size() == 2; }));
  EXPECT_EQ(heard[0], (std::pair<long, int>{10450, 100}));
  EXPECT_EQ(heard[1], (std::pair<long, int>{10450, 80}));
  frame->Destroy();
  PumpFor(50);
}

TEST(SkinList, RealClicksToggleCheckBoxesAndTheHeaderBoxSetsTheColumn) {
  const std::string res = std::string(MURMURANT_SOURCE_DIR) + "/skin/res/";
  xtest::MovePointer(1200, 1000);
  auto* frame = new wxFrame(nullptr, wxID_ANY, "list", wxPoint(600, 300), wxSize(300, 200));
  auto* list = new CSkinListCtrl(frame, 777, wxPoint(0, 0), wxSize(300, 200));
  list->SetCheckImages(res + "133.bmp");
  list->header()->SetImageStrip(res + "130.bmp", 16, wxColour(255, 0, 255));
  list->InsertColumn(0, " ", wxALIGN_CENTER_HORIZONTAL, 40);
  list->InsertColumn(1, "Name", wxALIGN_CENTER_HORIZONTAL, 200);
  list->SetHeaderCheck(0, 0);
  for (int r = 0; r < 3; ++r) {
    list->InsertRow(r, " ");
    list->SetCell(r, 1, wxString::Format("row %d", r), {}, {});
    list->SetCheck(r, 0, r == 2 ? -1 : 0);  // the last row has no check box
  }
  std::vector<int> clicks;
  frame->Bind(wxEVT_SKINLIST_CLICK, [&](wxCommandEvent& e) { clicks.push_back(e.GetInt()); });
  frame->Show();
  ASSERT_TRUE(PumpUntil([&] { return list->IsShownOnScreen(); }));
  PumpFor(200);
  auto click = [&](wxPoint at) {
    wxPoint s = list->ClientToScreen(at);
    xtest::MovePointer(s.x, s.y);
    PumpFor(50);
    xtest::PressButton(1, true);
    xtest::PressButton(1, false);
    PumpFor(300);  // apart from the next click, so no double click
  };
  auto checkBox = [&](int row) { return list->CellRect(row, 0).GetTopLeft() + wxPoint(12, 8); };

  click(checkBox(0));
  EXPECT_EQ(list->GetCheck(0, 0), 1);
  EXPECT_EQ(list->GetHeaderCheck(0), 0);
  // The owner hears of the click after the box flipped.
  EXPECT_EQ(clicks, std::vector<int>{0});
  click(checkBox(1));
  EXPECT_EQ(list->GetCheck(1, 0), 1);
  EXPECT_EQ(list->GetHeaderCheck(0), 0);  // the row without a box is not checked
  EXPECT_EQ(list->header()->GetCheck(0), 0);

  // The header box sets every box of its column, leaving the cell without one.
  click(wxPoint(14, 12));
  EXPECT_EQ(list->GetHeaderCheck(0), 1);
  EXPECT_EQ(list->header()->GetCheck(0), 1);
  click(wxPoint(14, 12));
  EXPECT_EQ(list->GetCheck(0, 0), 0);
  EXPECT_EQ(list->GetCheck(1, 0), 0);
  EXPECT_EQ(list->GetCheck(2, 0), -1);

  // A disabled row's box stays as it is.
  list->SetRowEnabled(1, false);
  click(checkBox(1));
  EXPECT_EQ(list->GetCheck(1, 0), 0);

  // Cell colours: own ones, then none again for the system's.
  auto cellPixel = [&](int row) {
    wxPoint s = list->ClientToScreen(list->CellRect(row, 1).GetTopLeft() + wxPoint(180, 3));
    return xtest::GrabScreen(s.x, s.y, 1, 1).at(0, 0);
  };
  list->SetCell(2, 1, std::nullopt, ui::Rgb{200, 0, 0}, ui::Rgb{10, 120, 30});
  PumpFor(150);
  EXPECT_EQ(cellPixel(2), (xtest::Pixel{10, 120, 30}));
  EXPECT_EQ(list->GetCellText(2, 1), "row 2");  // no text given: kept
  list->SetCell(2, 1, std::nullopt, std::nullopt, std::nullopt);
  PumpFor(150);
  const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
  EXPECT_EQ(cellPixel(2), (xtest::Pixel{window.Red(), window.Green(), window.Blue()}));
  EXPECT_FALSE(list->GetCellData(2, 1)->backColour);
  frame->Destroy();
  PumpFor(50);
}

TEST(BitmapProgress, HalfWayStretchesTheBarOverHalfTheBackground) {
  const std::string res = std::string(MURMURANT_SOURCE_DIR) + "/skin/res/";
  auto bar = xtest::ReadBmp(res + "219.bmp");
  auto back = xtest::ReadBmp(res + "220.bmp");
  ASSERT_TRUE(bar && back);
  auto* frame = new wxFrame(nullptr, wxID_ANY, "progress", wxPoint(300, 600), wxSize(760, 40));
  // On a panel: a frame would stretch its only child over its whole client area.
  auto* panel = new wxPanel(frame);
  auto* progress = new CBitmapProgressCtrl(panel, 1018, wxPoint(10, 10), wxSize(720, 6));
  ASSERT_TRUE(progress->SetBitmaps(res + "220.bmp", res + "219.bmp"));
  progress->SetRange(0, 100);
  progress->SetPos(50);
  frame->Show();
  ASSERT_TRUE(PumpUntil([&] { return progress->IsShownOnScreen(); }));
  PumpFor(200);
  EXPECT_EQ(progress->BarWidth(), 360);
  wxPoint origin = progress->ClientToScreen(wxPoint(0, 0));
  xtest::Image shown = xtest::GrabScreen(origin.x, origin.y, 720, 6);
  int wrong = 0;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 720; ++x)
      wrong += shown.at(x, y) != (x < 360 ? bar->at(0, y) : back->at(x, y));
  EXPECT_EQ(wrong, 0);
  frame->Destroy();
  PumpFor(50);
}
