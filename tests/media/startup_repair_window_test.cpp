// The start-up repair inside the real main window: what a crash left in the
// output folder is rebuilt behind the window, and the status line says so
// unless a recording has it.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "app/main_window.h"
#include "app/main_window_fixture.h"
#include "killed_recording.h"
#include "media/avi_triage.h"
#include "recording/recording_controller.h"
#include "support/temp_dir.h"
#include "support/wx_env.h"

namespace fs = std::filesystem;

namespace {

class StartupRepairWindow : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    folder_ = folders_.defaultOutputFolder;
    fs::create_directories(folder_);
    killtest::Plan plan;
    plan.pictures = 50;
    ASSERT_TRUE(killtest::Record(folder_ + "/killed.avi", plan).ok);
  }
  bool Repaired(const std::string& name) {
    return media::InspectAvi(folder_ + "/" + name).state == media::AviState::Complete;
  }
  std::string folder_;
};

}  // namespace

TEST_F(StartupRepairWindow, StatusLineTellsWhatWasRepairedAndLeftAndNewerFilesAreNotTouched) {
  WriteFile(folder_ + "/garbage.avi", "no recording here");
  // A file changed after the program started: a recording under way.
  killtest::Plan plan;
  plan.pictures = 20;
  ASSERT_TRUE(killtest::Record(folder_ + "/newer.avi", plan).ok);
  fs::last_write_time(folder_ + "/newer.avi",
                      fs::file_time_type::clock::now() + std::chrono::hours(1));
  const std::string newer = ReadFile(folder_ + "/newer.avi");

  MainWindow* w = Open();
  EXPECT_TRUE(PumpUntil(
      [&] { return w->statusText() == "Repaired 1; 1 damaged left alone"; }, 10000))
      << "status: " << w->statusText().utf8_string();
  EXPECT_TRUE(Repaired("killed.avi"));
  EXPECT_TRUE(ReadFile(folder_ + "/newer.avi") == newer)
      << "a file newer than the start was touched";
  EXPECT_EQ(ReadFile(folder_ + "/garbage.avi"), "no recording here");
}

TEST_F(StartupRepairWindow, ARecordingStartedMeanwhileKeepsTheStatusLine) {
  window_ = new MainWindow(folders_);
  window_->OnInitDialog();
  // Before any event is handled, so before the repair's report can arrive.
  window_->recorder()->RecordFixed(std::time(nullptr));
  window_->Show();
  ASSERT_EQ(window_->statusText().utf8_string(), "Recording");
  ASSERT_TRUE(PumpUntil([&] { return Repaired("killed.avi"); }, 10000));
  ASSERT_TRUE(PumpUntil([&] { return window_->recorder()->recording(); }, 5000));
  PumpFor(300);  // the report has been handled by now
  EXPECT_EQ(window_->statusText().utf8_string(), "Recording");
  EXPECT_TRUE(window_->recorder()->Stop());
  EXPECT_EQ(window_->statusText().utf8_string(), "Ready");
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
