// A window destroyed while a connection of ours is still asking about it: a
// storm of errors nobody checks for. The process lives, the storm ends in
// bounded time, and the log gets a bounded number of lines and a count.
// gtest first: Xlib's macros (None, Bool...) would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
// clang-format on

#include <chrono>

#include "platform/x11_internal.h"
#include "support/log_file.h"

namespace {

TEST(XErrorLog, AStormOfUncheckedErrorsLeavesAFewLinesAndACount) {
  LogToTempFile log;
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  const Window w = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 10, 10, 0, 0, 0);
  XSync(other, False);

  constexpr int kQueries = 5000;
  const auto start = std::chrono::steady_clock::now();
  int answered = 0;
  {
    platform::x11::DisplayPtr ours = platform::x11::OpenDisplay();
    ASSERT_TRUE(ours);
    for (int i = 0; i < kQueries; ++i) {
      if (i == 100) {  // gone in the middle of the queries
        XDestroyWindow(other, w);
        XSync(other, False);
      }
      XWindowAttributes a;
      answered += XGetWindowAttributes(ours.get(), w, &a) != 0;
    }
  }  // closing the connection tells what was held back
  const auto took = std::chrono::steady_clock::now() - start;
  XCloseDisplay(other);

  EXPECT_EQ(answered, 100);
  EXPECT_LT(took, std::chrono::seconds(20));
  // Ten lines for each ten seconds the storm lasted (one such span, mostly).
  const auto spans = 1 + std::chrono::duration_cast<std::chrono::seconds>(took).count() / 10;
  const int lines = log.Count("x11: unchecked X error");
  EXPECT_GE(lines, 1);
  EXPECT_LE(lines, 10 * spans) << log.Text();
  EXPECT_GE(log.Count("x11: ... and "), 1) << log.Text();
  EXPECT_LE(log.Count("x11: ... and "), spans) << log.Text();
}

}  // namespace
