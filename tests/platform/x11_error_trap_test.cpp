// Every part of the X11 layer making requests that fail, from several
// threads at once, while windows come and go: each outcome must be the right
// one, no error may end the process, and the toolkit's handler must still get
// the errors of its own connection (and only those) afterwards.
// gtest first: Xlib's macros (None, Bool...) would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/hot_keys.h"
#include "platform/screen_grabber.h"
#include "platform/x11_messaging.h"
#include "platform/x11_window_control.h"
#include "platform/x11_windows.h"

using namespace platform;

namespace {

// Stands in for the toolkit's handler, which is in place before the layer's
// first use, as in the recorder.
std::atomic<Display*> gToolkitDisplay{nullptr};
std::atomic<int> gToolkitErrors{0};
std::atomic<int> gForeignErrors{0};  // errors of other connections that reached it
int ToolkitHandler(Display* display, XErrorEvent*) {
  ++(display == gToolkitDisplay.load() ? gToolkitErrors : gForeignErrors);
  return 0;
}

class ToolkitHandlerFirst : public ::testing::Environment {
  void SetUp() override { XSetErrorHandler(ToolkitHandler); }
};
[[maybe_unused]] auto* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new ToolkitHandlerFirst);

// Enough rounds that every pair of the threads' requests meets many times.
constexpr int kRounds = 300;

// Windows created and destroyed without pause on a connection of their own,
// so that window walks meet windows vanishing under them.
void Churn(const std::atomic<bool>& stop) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return;
  while (!stop.load()) {
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 5, 5, 20, 20, 0, 0, 0);
    XMapWindow(d, w);
    XStoreName(d, w, "churn");
    XFlush(d);
    XDestroyWindow(d, w);
    XSync(d, False);
  }
  XCloseDisplay(d);
}

}  // namespace

TEST(X11ErrorTrap, ConcurrentFailingRequestsEachGetTheirOwnOutcome) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs the test X server";
  Display* toolkit = XOpenDisplay(nullptr);
  ASSERT_NE(toolkit, nullptr);
  gToolkitDisplay = toolkit;
  const Window root = DefaultRootWindow(toolkit);
  // Another client holds F9, one window lives and one is gone.
  XGrabKey(toolkit, XKeysymToKeycode(toolkit, XK_F9), 0, root, False, GrabModeAsync,
           GrabModeAsync);
  const Window live = XCreateSimpleWindow(toolkit, root, 40, 50, 30, 20, 0, 0, 0);
  XMapWindow(toolkit, live);
  const Window gone = XCreateSimpleWindow(toolkit, root, 0, 0, 10, 10, 0, 0, 0);
  XDestroyWindow(toolkit, gone);
  XSync(toolkit, False);

  std::atomic<bool> stop{false};
  std::thread churn(Churn, std::cref(stop));

  std::atomic<int> heldKeyGranted{0}, freeKeyRefused{0};
  std::thread keys([&] {
    auto hotKeys = GlobalHotKeys::Create([](int) {});
    if (!hotKeys) return ++freeKeyRefused, void();
    for (int i = 0; i < kRounds; ++i) {
      if (hotKeys->Register(1, 0, 0x78)) ++heldKeyGranted;  // F9
      if (!hotKeys->Register(2, 0, 0x79)) ++freeKeyRefused;  // F10
      hotKeys->Unregister(2);
    }
  });

  std::atomic<int> goneSeen{0}, liveMissed{0};
  std::thread windows([&] {
    auto messenger = MessageWindow::Create({"ErrorTrapTest", "messenger"}, nullptr);
    if (!messenger) return ++liveMissed, void();
    for (int i = 0; i < kRounds; ++i) {
      if (WindowScreenRect(gone) || BringWindowToFront(gone) || IsWindow(gone) ||
          PostWindowMessage(gone, WM_USER, 1, 2))
        ++goneSeen;
      // A send to a window that is gone fails at once instead of waiting.
      const auto sendStart = std::chrono::steady_clock::now();
      if (messenger->Send(gone, WM_USER, 1, 2, std::chrono::seconds(2)) ||
          std::chrono::steady_clock::now() - sendStart > std::chrono::seconds(1))
        ++goneSeen;
      auto rect = WindowScreenRect(live);
      if (!rect || rect->left != 40 || rect->bottom != 69 || !IsWindow(live)) ++liveMissed;
      if (i % 10 == 0) {
        auto all = TopLevelWindows();
        if (std::none_of(all.begin(), all.end(), [&](const auto& w) { return w.id == live; }))
          ++liveMissed;
      }
    }
  });

  std::atomic<int> grabsFailed{0};
  std::atomic<bool> sharedMemoryLost{false};
  std::thread grabs([&] {
    auto grabber = capture::OpenScreenGrabber({.display = "", .showCursor = false});
    if (!grabber) return ++grabsFailed, void();
    capture::Frame frame;
    for (int i = 0; i < kRounds; ++i) {
      // A new size every time: each grab attaches a fresh shared segment.
      if (!grabber->Grab(0, 0, 32 + i % 2, 32, frame)) ++grabsFailed;
      grabber->PaintWindow(gone, 0xff0000);  // the marker vanished: no harm
    }
    sharedMemoryLost = !grabber->usesSharedMemory();
  });

  keys.join();
  windows.join();
  grabs.join();
  stop = true;
  churn.join();

  EXPECT_EQ(heldKeyGranted, 0) << "a key another client holds was reported ours";
  EXPECT_EQ(freeKeyRefused, 0) << "a free key was refused";
  EXPECT_EQ(goneSeen, 0) << "a destroyed window answered";
  EXPECT_EQ(liveMissed, 0) << "a live window was missed";
  EXPECT_EQ(grabsFailed, 0);
  EXPECT_FALSE(sharedMemoryLost) << "another thread's error was taken for a failed attach";

  // Afterwards the toolkit still gets the errors of its own connection, and
  // never got anyone else's; the layer still catches its own.
  XMapWindow(toolkit, gone);
  XSync(toolkit, False);
  EXPECT_EQ(gToolkitErrors, 1);
  EXPECT_EQ(gForeignErrors, 0) << "errors of the layer's connections reached the toolkit";
  EXPECT_FALSE(PostWindowMessage(gone, WM_USER, 1, 2));
  XCloseDisplay(toolkit);
}
