// Another program on the desktop, for the messaging tests: a message window
// that answers a few test messages and writes what it sees to a file.
//   message_peer CLASS OUTPUT_FILE [visible]
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/x11_messaging.h"
#include "peer_messages.h"

using namespace platform;

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  FILE* out = std::fopen(argv[2], "a");
  if (!out) return 2;
  std::setvbuf(out, nullptr, _IOLBF, 0);
  const MessageId registered = RegisterWindowMessage(peer::kRegisteredName);
  bool running = true;
  MessageWindow* self = nullptr;

  auto handler = [&](MessageId m, WParam w, LParam l, const CopyData* cd) -> LResult {
    if (m == WM_COPYDATA) {
      const char* text = static_cast<const char*>(cd->data);
      std::fprintf(out, "copy %u %u %s %s\n", cd->identifier, cd->size,
                   text[cd->size] == 0 ? "terminated" : "open",
                   std::string(text, strnlen(text, cd->size)).c_str());
      return cd->size;
    }
    if (m == registered) return 77;
    switch (m) {
      case peer::kAdd:
        return static_cast<LResult>(w) + l;
      case peer::kCallBack: {
        // Calls back into the sender while the sender waits for this answer.
        auto r = self->Send(static_cast<WindowId>(w), peer::kCallBackInner, 0, l);
        return r ? *r + 1000 : -1;
      }
      case peer::kHang:
        std::this_thread::sleep_for(std::chrono::milliseconds(l));
        return 1;
      case peer::kDie:
        _exit(0);  // never answers
      case peer::kNote:
        std::fprintf(out, "note %lu %ld\n", static_cast<unsigned long>(w), static_cast<long>(l));
        return 0;
      case WM_QUIT:
        running = false;
        return 0;
    }
    return 0;
  };
  WindowSpec spec{argv[1], "message peer", argc > 3, 100, 100, 200, 150};
  auto window = MessageWindow::Create(spec, handler);
  if (!window) return 3;
  self = window.get();
  std::fprintf(out, "ready %lu %u\n", window->id(), registered);
  while (running) {
    pollfd p{window->fd(), POLLIN, 0};
    if (!window->HasPending()) poll(&p, 1, 500);
    window->DispatchPending();
  }
  std::fclose(out);
  return 0;
}
