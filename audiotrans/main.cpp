// The audio engine companion: provides the loopback device for as long as
// the recorder runs, makes it the default playback device, forwards what
// reaches it to the user's own speakers, and gives the sound system back
// when it ends. It is ready once the lock "Plovander Audio Engine" is taken,
// owns a window of that title and ends when the window receives WM_QUIT, on
// SIGTERM/SIGINT/SIGHUP, or when the program that started it has ended in
// any way at all (a crash or a SIGKILL included).
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "audio/device_routing.h"
#include "base/log.h"
#include "engine.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "platform/x11_messaging.h"

namespace {

// Held from start to exit, before the public lock exists: a second engine
// that cannot take it leaves the running one's device alone.
constexpr const char* kSetupLock = "Plovander Audio Engine setup";
// How often a server that went away is looked for again.
constexpr int kReconnectMs = 500;

std::optional<platform::NamedMutex> TakeSetupLock() {
  // An engine that was just asked to end may still be giving the sound back.
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

// The program that started the engine; empty when started by the system
// itself (nobody to outlive) or when it has already gone.
std::optional<platform::ProcessWatch> WatchStarter(pid_t starter, bool* gone) {
  *gone = false;
  if (starter <= 1) return std::nullopt;
  auto watch = platform::ProcessWatch::Open(starter);
  // Orphaned before the watch began: the parent is someone else by now.
  *gone = !watch || getppid() != starter;
  return watch;
}

void Say(base::Level level, const char* what) { base::Log(level, "audio engine", what); }

}  // namespace

int main() {
  base::SetProgramName("audiotrans");
  const pid_t starter = getppid();
  const int signals = SignalDescriptor();
  bool starterGone = false;
  const auto starterWatch = WatchStarter(starter, &starterGone);
  auto setup = TakeSetupLock();
  if (!setup) {
    Say(base::Level::kWarning, "another engine is running");
    return 0;
  }
  auto engine = audiotrans::Engine::Start();
  if (!engine) {
    Say(base::Level::kWarning, "no sound server");
    return 1;
  }
  if (!engine->Settle()) {
    engine->GiveBack();
    Say(base::Level::kWarning, "the sound server refused the loopback device");
    return 1;
  }

  bool quit = starterGone;
  auto window = platform::MessageWindow::Create(
      {audio::kEngineWindowClass, audio::kEngineTitle},
      [&quit](platform::MessageId message, platform::WParam, platform::LParam,
              const platform::CopyData*) -> platform::LResult {
        if (message == platform::WM_QUIT) quit = true;
        return 0;
      });
  if (!window) Say(base::Level::kWarning, "no display; only a signal ends the engine");
  auto ready = platform::NamedMutex::Acquire(audio::kEngineTitle);
  if (!ready) Say(base::Level::kWarning, "could not take the engine lock");

  bool serverLost = false;
  while (!quit) {
    pollfd fds[4] = {{signals, POLLIN, 0},
                     {window ? window->fd() : -1, POLLIN, 0},
                     {starterWatch ? starterWatch->fd() : -1, POLLIN, 0},
                     {engine->wakeFd(), POLLIN, 0}};
    if (!(window && window->HasPending())) poll(fds, 4, serverLost ? kReconnectMs : -1);
    if (fds[0].revents & POLLIN) break;
    if (fds[2].revents & POLLIN) {
      Say(base::Level::kWarning, "the recorder ended without closing; giving the sound system back");
      break;
    }
    if (window) window->DispatchPending();
    if (serverLost) {
      serverLost = !engine->Reconnect();
    } else if (fds[3].revents & POLLIN) {
      engine->Settle();
      if (!engine->Alive()) {
        Say(base::Level::kWarning, "the sound server went away; waiting for it to come back");
        serverLost = true;
      }
    }
  }
  ready.reset();
  engine->GiveBack();
  return 0;
}
