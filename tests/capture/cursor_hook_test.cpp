// The cursor hook library, loaded from the program folder like the recorder
// does, reporting real shape changes on the test's X server.
#include <X11/cursorfont.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "capture/cursor_hook.h"
#include "pattern_window.h"
#include "platform/x11_messaging.h"

using namespace std::chrono_literals;

TEST(CursorHook, MissingLibraryLeavesTheRecorderWithoutReports) {
  capture::CursorHook hook("/nonexistent-program-folder");
  EXPECT_FALSE(hook.loaded());
  EXPECT_FALSE(hook.loadError().empty());
  EXPECT_FALSE(hook.Install(1234, 5678));
  EXPECT_FALSE(hook.Uninstall(1234));
}

TEST(CursorHook, ReportsEveryShapeChangeUntilUninstalled) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs the test X server";
  capture::CursorHook hook(MURMURANT_BIN_DIR);
  ASSERT_TRUE(hook.loaded()) << hook.loadError();

  const platform::MessageId saveCursor = platform::RegisterWindowMessage("WM_USER_SAVECURSOR_MSG");
  std::vector<unsigned long> reports;
  auto receiver = platform::MessageWindow::Create(
      {"MurmurantHookTest", "hook receiver"},
      [&](platform::MessageId m, platform::WParam w, platform::LParam, const platform::CopyData*) {
        if (m == saveCursor) reports.push_back(static_cast<unsigned long>(w));
        return platform::LResult{0};
      });
  ASSERT_TRUE(receiver);
  auto pump = [&](std::chrono::milliseconds forAtMost, size_t until) {
    const auto end = std::chrono::steady_clock::now() + forAtMost;
    while (reports.size() < until && std::chrono::steady_clock::now() < end) {
      pollfd p{receiver->fd(), POLLIN, 0};
      if (!receiver->HasPending()) poll(&p, 1, 20);
      receiver->DispatchPending();
    }
  };

  testx::WarpPointer(1200, 1000);
  ASSERT_TRUE(hook.Install(receiver->id(), saveCursor));
  pump(2s, 1);
  ASSERT_EQ(reports.size(), 1u) << "the shape in use is reported at once";
  EXPECT_EQ(reports[0], testx::CurrentCursor().serial);

  // Moving onto a window with another cursor changes the desktop's shape.
  testx::PatternWindow hand(50, 50, 100, 100);
  ASSERT_TRUE(hand.ok());
  hand.UseFontCursor(XC_hand2);
  testx::WarpPointer(100, 100);
  pump(2s, 2);
  ASSERT_GE(reports.size(), 2u);
  const unsigned long handSerial = testx::CurrentCursor().serial;
  EXPECT_NE(handSerial, reports[0]);
  EXPECT_EQ(reports.back(), handSerial);

  EXPECT_TRUE(hook.Uninstall(receiver->id()));
  EXPECT_FALSE(hook.Uninstall(receiver->id()));
  const size_t before = reports.size();
  testx::WarpPointer(1200, 1000);
  pump(300ms, before + 1);
  EXPECT_EQ(reports.size(), before) << "no reports after uninstall";
}
