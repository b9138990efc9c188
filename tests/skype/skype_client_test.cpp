// Finding the call client's main window among the desktop's processes.
#include <gtest/gtest.h>

#include "double_process.h"
#include "platform/process_snapshot.h"
#include "platform/x11_windows.h"
#include "skype/skype_client.h"

using skype::FindSkypeMainWindow;

TEST(FindSkypeMainWindow, FindsTheVisibleMainWindowOfTheClient) {
  EXPECT_EQ(0u, FindSkypeMainWindow());  // nothing running
  DoubleProcess client({"--geometry", "300x200+40+50"});
  ASSERT_NE(0u, client.mainWindow());
  EXPECT_EQ(client.mainWindow(), FindSkypeMainWindow());

  // The snapshot names the process after its executable, exactly.
  bool listed = false;
  for (const auto& p : platform::ProcessSnapshot())
    if (p.pid == client.pid()) listed = p.exeName == "Skype.exe";
  EXPECT_TRUE(listed);
}

TEST(FindSkypeMainWindow, ClassNeedsThePrefixAtTheStart) {
  {
    DoubleProcess client({"--class", "tSkMainForm.UnicodeClass.Extra"});
    EXPECT_EQ(client.mainWindow(), FindSkypeMainWindow());
  }
  {
    DoubleProcess client({"--class", "XtSkMainForm.UnicodeClass"});
    ASSERT_NE(0u, client.mainWindow());
    EXPECT_EQ(0u, FindSkypeMainWindow());
  }
}

TEST(FindSkypeMainWindow, HiddenWindowOrAnotherExecutableNameGivesNothing) {
  {
    DoubleProcess client({"--hidden"});
    ASSERT_NE(0u, client.mainWindow());
    EXPECT_EQ(0u, FindSkypeMainWindow());
  }
  {
    DoubleProcess client({}, "skype.exe");
    ASSERT_NE(0u, client.mainWindow());
    auto windows = platform::TopLevelWindowsOf(client.pid());
    ASSERT_FALSE(windows.empty());  // its window is there and visible
    EXPECT_EQ(0u, FindSkypeMainWindow());
  }
}

TEST(FindSkypeMainWindow, OnlyTheFirstClientProcessIsSearched) {
  DoubleProcess first({"--hidden"});
  DoubleProcess second;
  ASSERT_NE(0u, second.mainWindow());
  if (second.pid() < first.pid()) GTEST_SKIP() << "process ids wrapped around";
  EXPECT_EQ(0u, FindSkypeMainWindow());
}
