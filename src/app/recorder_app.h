#pragma once
#include <wx/app.h>

#include <optional>

#include "platform/named_mutex.h"

// The application object: refuses a second instance, then builds and shows the
// main window. The process ends when the main window is gone.
class RecorderApp : public wxApp {
 public:
  // Name of the single-instance lock. Fixed: whoever holds it keeps the
  // recorder from starting.
  static constexpr const char* kInstanceMutex = "Murmurant Call Recorder";

  bool OnInit() override;
  bool OnExceptionInMainLoop() override;

 private:
  // Held for the life of the process; the kernel drops it when we exit.
  std::optional<platform::NamedMutex> instance_;
};
