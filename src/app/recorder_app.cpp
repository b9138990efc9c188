#include "app/recorder_app.h"

#include <glib-unix.h>
#include <wx/image.h>
#include <wx/log.h>

#include <csignal>
#include <exception>

#include "app/main_window.h"
#include "base/log.h"

bool RecorderApp::OnInit() {
  instance_ = platform::NamedMutex::Acquire(kInstanceMutex);
  if (!instance_) {
    // The running one keeps its window, its engine and the sound routing.
    base::Log(base::Level::kInfo, "start", "another Murmurant is running; this one ends");
    return false;
  }

  // Nothing at start may pop up an error window; failures are ignored by design.
  wxLog::SetActiveTarget(new wxLogStderr);
  wxSetAssertHandler([](const wxString& file, int line, const wxString& func,
                        const wxString& cond, const wxString& text) {
    base::Logf(base::Level::kError, "check", "internal check failed at %s:%d in %s: %s %s",
                 file.utf8_str().data(), line, func.utf8_str().data(), cond.utf8_str().data(),
                 text.utf8_str().data());
  });
  wxInitAllImageHandlers();

  auto* window = new MainWindow(AppFolders::ForThisProcess());
  SetTopWindow(window);
  window->OnInitDialog();
  window->Show();

  // Asked to end by the session or a signal: leave the way a click on close
  // does, so a recording is finished and the user's audio devices come back.
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    g_unix_signal_add(
        sig,
        [](gpointer) -> gboolean {
          if (wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr) top->Close();
          // The closed window is deleted in idle time, and a signal is no
          // event that brings idle time: without this nudge an otherwise
          // quiet program stays up with its window.
          wxWakeUpIdle();
          return G_SOURCE_CONTINUE;
        },
        nullptr);
  }
  return true;
}

bool RecorderApp::OnExceptionInMainLoop() {
  // Keep running: a fault in one handler must not take an unfinished
  // recording down with the process.
  try {
    throw;
  } catch (const std::exception& e) {
    base::Log(base::Level::kError, "main loop", std::string("unexpected error: ") + e.what());
  } catch (...) {
    base::Log(base::Level::kError, "main loop", "unexpected error");
  }
  return true;
}
