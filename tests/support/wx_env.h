#pragma once
// Runs wxWidgets inside a test process on the harness's X server, and pumps its
// events while a test waits for something to happen on screen.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include <chrono>
#include <functional>
#include <thread>

class WxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "murmurant-test";
    static char* argv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp);  // a GUI application, so GTK gets initialised
    ASSERT_TRUE(wxEntryStart(argc, argv)) << "no X display (run under tests/harness)";
    wxInitAllImageHandlers();
    // A failed internal check becomes a test failure, never a modal dialog that
    // would hang the run.
    wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond,
                          const wxString& text) {
      ADD_FAILURE_AT(file.utf8_str().data(), line) << cond.utf8_string() << " " << text.utf8_string();
    });
  }
  void TearDown() override { wxEntryCleanup(); }
};

// Processes pending events for `ms` milliseconds.
inline void PumpFor(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    wxTheApp->ProcessPendingEvents();
    while (wxTheApp->Pending()) wxTheApp->Dispatch();
    wxTheApp->Yield(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Pumps events until `done` holds or `ms` passes; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 3000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < end) PumpFor(10);
  return done();
}
