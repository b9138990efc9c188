// The main window inside the test process, driven by real X input (XTest).
#include <gtest/gtest.h>

#include "platform/x11_setup.h"
#include <wx/gauge.h>
#include <wx/textctrl.h>

#include <filesystem>
#include <thread>

#include "app/ini_file.h"
#include "app/main_window.h"
#include "main_window_fixture.h"
#include "app/window_messages.h"
#include "support/temp_dir.h"
#include "support/wx_env.h"
#include "support/x_screen.h"
#include "ui/bitmap_progress_ctrl.h"
#include "ui/hover_button.h"

namespace fs = std::filesystem;

namespace {

class MainWindowTest : public MainWindowFixture {};

}  // namespace

TEST_F(MainWindowTest, OutputFolderComesFromTheSettingsAndBothFoldersExist) {
  IniFile(folders_.settingsPath).WriteString("General", "FilePath", dir_ / "calls");
  MainWindow* w = Open();
  EXPECT_EQ(w->outputFolder().utf8_string(), dir_ / "calls");
  EXPECT_TRUE(fs::is_directory(dir_ / "calls"));
  EXPECT_TRUE(fs::is_directory(dir_ / "home/PlovanderOutput/Snapshot"));
}

TEST_F(MainWindowTest, HoverAndPressChangeTheButtonFaceAndPressWins) {
  MainWindow* w = Open();
  CHoverButton* record = w->button(1052);
  ASSERT_NE(record, nullptr);
  int clicks = 0;
  w->Bind(wxEVT_BUTTON, [&](wxCommandEvent& e) { clicks += e.GetId() == 1052; }, 1052);

  xtest::MovePointer(37, 55);
  ASSERT_TRUE(PumpUntil([&] { return record->face() == HoverFace::Hover; }));
  PumpFor(100);
  auto hover = xtest::ReadBmp(folders_.skinFolder + "record_fixed_hover.bmp");
  ASSERT_TRUE(hover);
  EXPECT_EQ(xtest::CountDifferences(xtest::GrabScreen(10, 32, 54, 47), 0, 0, *hover, 0, 0, 54, 47), 0);

  xtest::PressButton(1, true);
  ASSERT_TRUE(PumpUntil([&] { return record->face() == HoverFace::Click; }));
  PumpFor(100);
  auto click = xtest::ReadBmp(folders_.skinFolder + "record_fixed_click.bmp");
  ASSERT_TRUE(click);
  EXPECT_EQ(xtest::CountDifferences(xtest::GrabScreen(10, 32, 54, 47), 0, 0, *click, 0, 0, 54, 47), 0);
  xtest::PressButton(1, false);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
  EXPECT_EQ(record->face(), HoverFace::Hover);

  // Press, drag off the button, release: no command.
  xtest::PressButton(1, true);
  PumpFor(100);
  xtest::MovePointer(300, 300);
  PumpFor(100);
  xtest::PressButton(1, false);
  PumpFor(200);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(record->face(), HoverFace::Normal);
}

TEST_F(MainWindowTest, EscapeAndReturnLeaveTheWindowOpen) {
  MainWindow* w = Open();
  w->Raise();
  w->button(1052)->SetFocus();
  PumpFor(100);
  xtest::Key("Escape");
  xtest::Key("Return");
  PumpFor(300);
  EXPECT_TRUE(w->IsShownOnScreen());
  EXPECT_FALSE(w->IsBeingDeleted());
}

TEST_F(MainWindowTest, PressOnFreeBackgroundDragsTheWindow) {
  MainWindow* w = Open();
  xtest::MovePointer(300, 70);  // title area below the strip, right of the buttons: free
  PumpFor(100);
  xtest::PressButton(1, true);
  PumpFor(100);
  for (int step = 1; step <= 5; ++step) {
    xtest::MovePointer(300 + 10 * step, 70 + 6 * step);
    PumpFor(50);
  }
  xtest::PressButton(1, false);
  PumpFor(200);
  EXPECT_EQ(w->GetPosition(), wxPoint(50, 30));
}

TEST_F(MainWindowTest, CancellingTheFolderBrowserStillSavesTheTypedFolder) {
  MainWindow* w = Open();
  auto* box = wxDynamicCast(w->FindWindow(1009), wxTextCtrl);
  ASSERT_NE(box, nullptr);
  box->ChangeValue(dir_ / "typed");
  // The browser is modal: while it runs this thread is inside its loop, so a
  // second thread waits for it to appear and cancels it with a real Escape.
  std::thread canceller([] {
    for (int i = 0; i < 100 && xtest::FindWindowsByTitle("Output Folder").empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    xtest::Key("Escape");
  });
  xtest::MovePointer(446, 540);  // "browse"
  PumpFor(150);
  xtest::PressButton(1, true);
  xtest::PressButton(1, false);
  PumpFor(3000);
  canceller.join();
  PumpFor(200);
  EXPECT_EQ(IniFile(folders_.settingsPath).ReadString("General", "FilePath", ""), dir_ / "typed");
  EXPECT_EQ(w->outputFolder().utf8_string(), dir_ / "typed");
  EXPECT_FALSE(fs::exists(dir_ / "typed"));  // saved, not created
}

TEST_F(MainWindowTest, HiddenConversionCommandsDriveTheProgressBar) {
  MainWindow* w = Open();
  CBitmapProgressCtrl* bar = w->progressBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(bar->IsShown());
  auto command = [&](int id) {
    wxCommandEvent click(wxEVT_BUTTON, id);
    w->FindWindow(id)->ProcessWindowEvent(click);
  };
  command(1002);  // convert with no recording selected: nothing to do
  EXPECT_FALSE(bar->IsShown());
  EXPECT_FALSE(w->exporting());
  bar->Show();
  auto* progress = new wxCommandEvent(WM_CONVERT_PROGRESS);
  progress->SetExtraLong(40);
  wxQueueEvent(w, progress);
  EXPECT_TRUE(PumpUntil([&] { return bar->GetPos() == 40; }));
  command(1003);  // stop: hidden and back to 0
  EXPECT_FALSE(bar->IsShown());
  EXPECT_EQ(bar->GetPos(), 0);
}

TEST(HoverButton, ClickReachesTheParentWithoutAnyBitmap) {
  xtest::MovePointer(1200, 1000);
  auto* frame = new wxFrame(nullptr, wxID_ANY, "bare", wxPoint(600, 100), wxSize(200, 100));
  auto* button = new CHoverButton(frame, 4242, "bare", wxPoint(10, 10), wxSize(60, 40));
  button->LoadBitmaps("/nonexistent/a.bmp", "/nonexistent/b.bmp", "/nonexistent/c.bmp");
  int clicks = 0;
  frame->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; }, 4242);
  frame->Show();
  ASSERT_TRUE(PumpUntil([&] { return button->IsShownOnScreen(); }));
  PumpFor(200);
  wxPoint at = button->GetScreenPosition() + wxPoint(30, 20);
  xtest::MovePointer(at.x, at.y);
  PumpFor(100);
  xtest::PressButton(1, true);
  PumpFor(50);
  xtest::PressButton(1, false);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
  EXPECT_FALSE(button->HasFaceBitmap(HoverFace::Normal));
  frame->Destroy();
  PumpFor(50);
}

int main(int argc, char** argv) {
  platform::InitXlibThreads();  // the preview draws from its player thread
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
