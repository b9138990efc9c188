#pragma once
// The recorder's end of the link inside a test: a message window whose
// handler takes the three link events, as the main window does, and passes
// everything else to the link.
#include <poll.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/x11_messaging.h"
#include "skype/skype_link.h"

struct LinkEvent {
  platform::MessageId message;
  std::string value;  // the token the event points at
  int32_t callIdDuring;
};

class RecorderSide {
 public:
  RecorderSide()
      : link([this](const char* line) { log.push_back(line); }) {
    window = platform::MessageWindow::Create(
        {"RecorderSideTest", "recorder"},
        [this](platform::MessageId m, platform::WParam w, platform::LParam l,
               const platform::CopyData* cd) -> platform::LResult {
          if (m == skype::kWmSkypeUsers || m == skype::kWmSkypeFocus ||
              m == skype::kWmSkypeCallStatus) {
            const auto* tokens = reinterpret_cast<const std::vector<std::string>*>(w);
            const auto index = static_cast<size_t>(l);
            events.push_back({m, index < tokens->size() ? (*tokens)[index] : "", link.callId()});
            return 1;
          }
          if (link.HandleWindowMessage(m, w, l, cd)) return 1;
          if (m == platform::WM_COPYDATA) ++unhandledCopies;
          return 0;
        });
  }

  // Dispatches until `done` holds or the bound passes.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds bound = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      pollfd p{window->fd(), POLLIN, 0};
      if (!window->HasPending()) poll(&p, 1, 10);
      window->DispatchPending();
    }
    return true;
  }

  void PumpFor(std::chrono::milliseconds span) {
    PumpUntil([] { return false; }, span);
  }

  bool Logged(const std::string& line) const {
    for (const auto& l : log)
      if (l == line) return true;
    return false;
  }

  std::vector<std::string> log;
  std::vector<LinkEvent> events;
  int unhandledCopies = 0;
  skype::SkypeLink link;
  std::unique_ptr<platform::MessageWindow> window;
};
