// The audio engine companion: provides the loopback device for as long as it
// runs. It is ready once the lock "Plovander Audio Engine" is taken, owns a
// window of that title and ends when the window receives WM_QUIT (or on
// SIGTERM/SIGINT), removing the device again.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "base/log.h"
#include "loopback.h"
#include "platform/capture_keeper.h"
#include "platform/named_mutex.h"
#include "platform/sound_server.h"
#include "platform/x11_messaging.h"

namespace {

constexpr const char* kEngineTitle = "Plovander Audio Engine";
// Held from start to exit, before the public lock exists: a second engine
// that cannot take it leaves the running one's device alone.
constexpr const char* kSetupLock = "Plovander Audio Engine setup";

std::optional<platform::NamedMutex> TakeSetupLock() {
  // An engine that was just asked to end may still be removing its device.
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (auto lock = platform::NamedMutex::Acquire(kSetupLock)) return lock;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return std::nullopt;
}

// Signals arrive on a descriptor so the one loop handles them with messages.
int SignalDescriptor() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, s);
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
  return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

// The engine's failures: on standard error and in the recorder's log.
void Say(const char* what) { base::Log(base::Level::kWarning, "audio engine", what); }

}  // namespace

int main() {
  base::SetProgramName("audiotrans");
  const int signals = SignalDescriptor();
  auto setup = TakeSetupLock();
  if (!setup) {
    Say("another engine is running");
    return 0;
  }
  auto server = platform::SoundServer::Connect("Plovander Audio Engine");
  if (!server) {
    Say("no sound server");
    return 1;
  }
  audiotrans::RemoveStaleLoopback(*server);
  auto loopback = audiotrans::Loopback::Create(*server);
  if (!loopback) {
    Say("the server refused the loopback device");
    return 1;
  }

  // The device answers a recording stream at once, as a real device does,
  // instead of after up to two seconds of rendering in large blocks.
  // A fresh device renders its first two seconds in one block: restarting it
  // once the keeper listens makes the short blocks count from now.
  auto keeper = platform::CaptureKeeper::Start(std::string(audiotrans::kSinkName) + ".monitor");
  if (!keeper) Say("could not keep the loopback running");
  else if (!server->SuspendSink(audiotrans::kSinkName, true) ||
           !server->SuspendSink(audiotrans::kSinkName, false))
    Say("could not restart the loopback");

  bool quit = false;
  auto window = platform::MessageWindow::Create(
      {"#32770", kEngineTitle},
      [&quit](platform::MessageId message, platform::WParam, platform::LParam,
              const platform::CopyData*) -> platform::LResult {
        if (message == platform::WM_QUIT) quit = true;
        return 0;
      });
  if (!window) Say("no display; only a signal ends the engine");
  auto ready = platform::NamedMutex::Acquire(kEngineTitle);
  if (!ready) Say("could not take the engine lock");

  while (!quit) {
    pollfd fds[2] = {{signals, POLLIN, 0}, {window ? window->fd() : -1, POLLIN, 0}};
    if (!(window && window->HasPending())) poll(fds, 2, 1000);
    if (fds[0].revents & POLLIN) break;
    if (window) window->DispatchPending();
    // The device went with the server; nothing is left to provide.
    if (!server->Alive()) return 1;
  }
  keeper.reset();
  loopback->Remove();
  return 0;
}
