#pragma once
// A main window in the test process, with a program folder of its own whose
// skin is the real one, so settings and folders stay inside the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/main_window.h"
#include "support/temp_dir.h"
#include "support/wx_env.h"
#include "support/x_screen.h"

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    fs::create_directories(dir_ / "prog");
    fs::create_directories(dir_ / "home");
    fs::create_directory_symlink(std::string(MURMURANT_SOURCE_DIR) + "/skin", dir_ / "prog/skin");
    folders_ = AppFolders::Resolve(dir_ / "prog", dir_ / "home", dir_ / "home/.config",
                                   dir_ / "home/.local/share", true);
    xtest::MovePointer(1200, 1000);  // keep the pointer off every button
  }
  void TearDown() override {
    if (window_) {
      window_->Destroy();
      PumpFor(100);
    }
  }
  MainWindow* Open() {
    window_ = new MainWindow(folders_);
    window_->OnInitDialog();
    window_->Show();
    EXPECT_TRUE(PumpUntil([&] { return window_->IsShownOnScreen(); }));
    PumpFor(300);
    return window_;
  }

  TempDir dir_;
  AppFolders folders_;
  MainWindow* window_ = nullptr;
};
