// The main window in this process, recording for real: a click on "record
// fixed", F9 two seconds later, and the list, status and time that follow.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "app/main_window.h"
#include "app/media_list.h"
#include "recording/recording_controller.h"
#include "support/temp_dir.h"
#include "support/wx_env.h"
#include "support/x_screen.h"

namespace fs = std::filesystem;

TEST(RecordingWindow, StopAddsOneRowWithNameAndLengthAndSaysReady) {
  TempDir dir;
  // A program folder of our own with the real companions and skin, so that
  // settings and recordings stay inside the test's folder.
  fs::create_directories(dir / "prog");
  fs::create_directories(dir / "home");
  for (const char* name : {"audiotrans", "libhook.so", "skin"})
    if (fs::exists(std::string(MURMURANT_BIN_DIR) + "/" + name))
      fs::create_symlink(std::string(MURMURANT_BIN_DIR) + "/" + name, dir / ("prog/" + std::string(name)));
  AppFolders folders = AppFolders::Resolve(dir / "prog", dir / "home", dir / "home/.config",
                                           dir / "home/.local/share", true);
  xtest::MovePointer(1200, 1000);
  auto* window = new MainWindow(folders);
  window->OnInitDialog();
  window->Show();
  ASSERT_TRUE(PumpUntil([&] { return window->IsShownOnScreen(); }, 10000));
  PumpFor(500);
  EXPECT_EQ(window->statusText(), "");
  EXPECT_EQ(window->elapsedText(), "00:00:00");

  // F9 while idle does nothing.
  xtest::Key("F9");
  PumpFor(300);
  EXPECT_EQ(window->mediaList()->model().items().size(), 0u);

  xtest::MovePointer(37, 55);
  PumpFor(200);
  xtest::PressButton(1, true);
  xtest::PressButton(1, false);
  ASSERT_TRUE(PumpUntil([&] { return window->recorder()->recording(); }, 5000));
  EXPECT_EQ(window->statusText(), "Recording");
  // The icon blinks while recording: both faces show within two seconds.
  bool sawRecording = false, sawNormal = false;
  for (int i = 0; i < 23; ++i) {
    PumpFor(100);
    (window->showingRecordingIcon() ? sawRecording : sawNormal) = true;
  }
  EXPECT_TRUE(sawRecording && sawNormal);
  EXPECT_EQ(window->elapsedText(), "00:00:02");

  xtest::Key("F9");
  ASSERT_TRUE(PumpUntil([&] { return !window->recorder()->recording(); }, 3000));
  EXPECT_EQ(window->statusText(), "Ready");
  EXPECT_FALSE(window->showingRecordingIcon());
  const auto& items = window->mediaList()->model().items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_TRUE(std::regex_match(items[0].fileName,
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.avi)")));
  EXPECT_EQ(items[0].duration, "00:00:02");
  EXPECT_EQ(items[0].checked, 1);
  EXPECT_TRUE(window->mediaList()->IsShown());
  // The listed file is the one on disk.
  EXPECT_TRUE(PumpUntil([&] { return fs::exists(items[0].fullPath); }, 3000)) << items[0].fullPath;

  window->Close();
  PumpFor(500);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
