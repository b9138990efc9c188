#pragma once
// A main window in the test process, with a program folder of its own whose
// skin is the real one, so settings and folders stay inside the test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "app/media_list.h"
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

  // A real click at a screen point.
  void Click(wxPoint screen, int button = 1) {
    xtest::MovePointer(screen.x, screen.y);
    PumpFor(80);
    xtest::PressButton(button, true);
    PumpFor(50);
    xtest::PressButton(button, false);
    PumpFor(150);
  }

  static bool WaitFlag(const std::atomic<bool>& flag, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!flag && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return flag.load();
  }

  // Right-clicks the row and picks the item `downs` places down its menu
  // with the keyboard; `inDialog` runs on another thread meanwhile, as the
  // item may open a modal dialog that holds this thread. The menu runs its
  // own loop inside the click, so the keys come from another thread once
  // the menu holds the keyboard.
  void PickFromRowMenu(int downs, const std::function<void()>& inDialog = {}, int row = 0) {
    std::atomic<bool> open{false}, closed{false};
    auto onOpen = [&](wxMenuEvent& e) { open = true; e.Skip(); };
    auto onClose = [&](wxMenuEvent& e) { closed = true; e.Skip(); };
    window_->Bind(wxEVT_MENU_OPEN, onOpen);
    window_->Bind(wxEVT_MENU_CLOSE, onClose);
    std::jthread keys([&] {
      if (!WaitFlag(open, std::chrono::seconds(5))) return;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
      while (!xtest::KeyboardGrabbed() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      for (int i = 0; i < downs; ++i) xtest::Key("Down");
      xtest::Key("Return");
      if (WaitFlag(closed, std::chrono::seconds(3)) && inDialog) inDialog();
    });
    MediaList* list = window_->mediaList();
    const wxRect cell = list->CellRect(row, 1);
    Click(list->ClientToScreen(cell.GetTopLeft() + wxPoint(20, cell.height / 2)), 3);
    PumpUntil([&] { return closed.load(); }, 5000);
    keys.join();
    window_->Unbind(wxEVT_MENU_OPEN, onOpen);
    window_->Unbind(wxEVT_MENU_CLOSE, onClose);
    ASSERT_TRUE(closed) << "the row menu did not open and close";
    PumpFor(200);
  }

  // From the input thread: clicks at `at` in the dialog titled `title` until
  // the dialog has gone. False when it never appeared or never went.
  static bool ClickUntilClosed(const std::string& title, wxPoint at) {
    auto dialog = xtest::WaitForWindow(title, 8000);
    if (!dialog) return false;
    for (int attempt = 0; attempt < 40; ++attempt) {
      xtest::MovePointer(dialog->x + at.x, dialog->y + at.y);
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      xtest::PressButton(1, true);
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      xtest::PressButton(1, false);
      // Gone within a moment, or the click was early (closing still locked).
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
      while (std::chrono::steady_clock::now() < deadline) {
        if (xtest::FindWindowsByTitle(title).empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    return false;
  }

  TempDir dir_;
  AppFolders folders_;
  MainWindow* window_ = nullptr;
};
