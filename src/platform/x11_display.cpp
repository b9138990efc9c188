// Connections of our own to the X server and the one error handler of the
// process. Xlib reports a failed request asynchronously, through a handler
// that is process-wide and by default ends the process; every part of the
// X11 layer checks its requests through ErrorTrap instead of swapping that
// handler, so no thread can take another thread's error or leave a handler
// of its own in place for good.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "base/log.h"
#include "platform/x11_internal.h"

namespace platform::x11 {

int OnXError(Display* display, XErrorEvent* error);

namespace {

// A fresh connection can be dropped by a server busy tearing down other
// clients (seen on Xvfb); a few spaced tries tell that apart from a display
// that is gone without keeping a caller waiting long.
constexpr int kOpenAttempts = 5;
constexpr auto kOpenRetryPause = std::chrono::milliseconds(20);

std::once_flag gInstallOnce;
std::atomic<XErrorHandler> gPrevious{nullptr};  // the handler in place before ours

void InstallHandler() {
  std::call_once(gInstallOnce, [] { gPrevious = XSetErrorHandler(OnXError); });
}

// The innermost trap of this thread; each trap links to the one it nests in.
thread_local ErrorTrap* tInnermost = nullptr;

// Our connections, whose errors never go to the previous handler.
std::mutex gOursMutex;
std::vector<Display*> gOurs;  // guarded by gOursMutex

bool IsOurs(Display* d) {
  std::lock_guard lock(gOursMutex);
  return std::find(gOurs.begin(), gOurs.end(), d) != gOurs.end();
}

// A window that goes while a burst of requests still names it fails every
// one of them: a few lines tell what happened, thousands would bury the log.
constexpr int kErrorLinesPerWindow = 10;
constexpr auto kErrorWindow = std::chrono::seconds(10);

base::LogBudget& UntrappedErrors() {
  // Never destroyed: a connection may close while the process ends.
  static auto* budget = new base::LogBudget("x11", kErrorLinesPerWindow, kErrorWindow);
  return *budget;
}

// An error nobody checks for is a request we did not expect to fail: worth a
// line, never worth the process. Runs inside Xlib's handler, so it makes no
// request of its own.
void ReportUntrapped(Display* d, const XErrorEvent& e) {
  char text[128] = "";
  XGetErrorText(d, e.error_code, text, sizeof text);
  char line[256];
  std::snprintf(line, sizeof line,
                "unchecked X error: %s (request %d.%d, resource 0x%lx, serial %lu)", text,
                e.request_code, e.minor_code, e.resourceid, e.serial);
  UntrappedErrors().Log(base::Level::kWarning, line);
}

}  // namespace

void InstallErrorHandler() { InstallHandler(); }

int OnXError(Display* display, XErrorEvent* error) {
  // Inner traps start later; the innermost that covers the failed request
  // owns it, and an error of a request made before every trap owns none.
  for (ErrorTrap* trap = tInnermost; trap; trap = trap->outer_) {
    if (trap->display_ == display && error->serial >= trap->start_) {
      trap->failed_ = true;
      return 0;
    }
  }
  if (IsOurs(display)) {
    ReportUntrapped(display, *error);
    return 0;
  }
  XErrorHandler previous = gPrevious.load();
  return previous ? previous(display, error) : 0;
}

ErrorTrap::ErrorTrap(Display* display)
    : display_(display), start_(NextRequest(display)), outer_(tInnermost) {
  InstallHandler();
  tInnermost = this;
}

ErrorTrap::~ErrorTrap() {
  if (Outstanding()) XSync(display_, False);
  tInnermost = outer_;
}

bool ErrorTrap::Outstanding() const {
  const unsigned long last = NextRequest(display_) - 1;
  return last >= start_ && LastKnownRequestProcessed(display_) < last;
}

bool ErrorTrap::Failed() {
  if (Outstanding()) XSync(display_, False);
  return failed_;
}

void DisplayCloser::operator()(Display* d) const {
  if (!d) return;
  // Errors still on their way belong to a connection of ours until here.
  XSync(d, False);
  {
    std::lock_guard lock(gOursMutex);
    std::erase(gOurs, d);
  }
  XCloseDisplay(d);
  // What the budget held back is told when the connection it came from ends.
  UntrappedErrors().Flush();
}

DisplayPtr OpenDisplay(const std::string& name) {
  InstallHandler();
  const char* n = name.empty() ? nullptr : name.c_str();
  Display* d = XOpenDisplay(n);
  // Without a display name at all there is nothing to wait for.
  for (int attempt = 1; !d && attempt < kOpenAttempts && *XDisplayName(n); ++attempt) {
    std::this_thread::sleep_for(kOpenRetryPause);
    d = XOpenDisplay(n);
  }
  if (d) {
    std::lock_guard lock(gOursMutex);
    gOurs.push_back(d);
  }
  return DisplayPtr(d);
}

namespace {
std::mutex gSharedMutex;
DisplayPtr gShared;  // guarded by gSharedMutex
}  // namespace

SharedDisplay::SharedDisplay() : lock_(gSharedMutex) {
  if (!gShared) gShared = OpenDisplay();
  display_ = gShared.get();
}

}  // namespace platform::x11
