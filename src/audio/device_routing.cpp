#include "audio/device_routing.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "audio/user_defaults.h"
#include "base/log.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "platform/process_snapshot.h"
#include "platform/sound_server.h"
#include "platform/unique_fd.h"
#include "platform/wave_device.h"

namespace audio {

namespace {

// Waits for a process that need not be our child to end.
bool WaitGone(pid_t pid, std::chrono::milliseconds timeout) {
  const auto watch = platform::ProcessWatch::Open(pid);
  return !watch || watch->Ended(timeout);
}

// Sleeps for `time` unless a stop is requested first; false then.
bool Nap(std::stop_token stop, std::chrono::milliseconds time) {
  std::mutex m;
  std::condition_variable_any never;
  std::unique_lock lock(m);
  never.wait_for(lock, stop, time, [] { return false; });
  return !stop.stop_requested();
}

// The runtime folder a process was started with ("" when unset); empty when
// its environment cannot be read (another user's process).
std::optional<std::string> RuntimeFolderOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  if (!in) return std::nullopt;
  const std::string key = "XDG_RUNTIME_DIR=";
  std::string entry;
  while (std::getline(in, entry, '\0'))
    if (entry.compare(0, key.size(), key) == 0) return entry.substr(key.size());
  return std::string();
}

// An engine of this desktop session: its lock lives in the same runtime
// folder as ours. Engines of other sessions on the machine are not ours to end.
bool SameSession(pid_t pid) {
  const char* ours = std::getenv("XDG_RUNTIME_DIR");
  const auto theirs = RuntimeFolderOf(pid);
  return theirs && *theirs == (ours ? ours : "");
}

// Ends the first running engine of this session; true when there was one.
bool EndRunningEngine(std::chrono::milliseconds grace) {
  const auto engines = RunningEngines();
  if (engines.empty()) return false;
  const pid_t pid = engines.front();
  // Asked first, so it removes its device; forced if it does not go.
  kill(pid, SIGTERM);
  if (!WaitGone(pid, grace)) {
    kill(pid, SIGKILL);
    WaitGone(pid, std::chrono::milliseconds(500));
  }
  return true;
}

// The routing's failures change little the user sees at once (the call is
// just not recorded from the loopback), so each is told in the log.
bool Failed(const std::string& what) {
  base::Log(base::Level::kWarning, "sound routing", what);
  return false;
}

}  // namespace

std::vector<pid_t> RunningEngines() {
  std::vector<pid_t> engines;
  for (const auto& p : platform::ProcessSnapshot())
    if (p.exeName == kEngineExecutable && SameSession(p.pid)) engines.push_back(p.pid);
  return engines;
}

AudioEngine::~AudioEngine() {
  if (child_) platform::WaitChild(*child_, std::chrono::milliseconds(0));
}

bool AudioEngine::Start(const std::string& programFolder, const EngineTiming& timing,
                        std::stop_token stop) {
  if (child_) {
    // Our own earlier engine: end it and reap it.
    platform::EndChild(*child_, timing.pause);
    child_.reset();
  } else if (!EndRunningEngine(timing.pause) && !Nap(stop, timing.pause)) {
    return false;
  }
  const std::string program = programFolder + "/" + kEngineExecutable;
  child_ = platform::Spawn({program});
  if (!child_) return Failed("the audio engine " + program + " could not be started");
  for (int attempt = 0; attempt <= timing.attempts; ++attempt) {
    if (platform::NamedMutex::IsHeld(kEngineTitle)) return true;
    // A child that already ended (no server, say) will never be ready.
    if (platform::WaitChild(*child_, std::chrono::milliseconds(0))) {
      child_.reset();
      return Failed("the audio engine ended before it was ready");
    }
    if (!Nap(stop, timing.interval)) break;
  }
  if (!stop.stop_requested()) Failed("the audio engine was not ready in time");
  // Asked to end, it gives back whatever it had done by then.
  platform::EndChild(*child_, std::chrono::milliseconds(2000));
  child_.reset();
  return false;
}

bool AudioEngine::Stop(platform::WindowId mainWindow) {
  const platform::WindowId engine = platform::FindTopLevelWindow(kEngineWindowClass, kEngineTitle);
  return engine != 0 && platform::PostWindowMessage(engine, platform::WM_QUIT, mainWindow, 0);
}

bool AudioEngine::WaitEnded(std::chrono::milliseconds timeout) {
  if (!child_) return true;
  if (!platform::WaitChild(*child_, timeout)) return false;
  child_.reset();
  return true;
}

EngineKeeper::~EngineKeeper() { Stop(0); }

void EngineKeeper::Launch(std::string programFolder, Lost lost, EngineTiming timing) {
  if (thread_.joinable()) return;
  thread_ = std::jthread([this, folder = std::move(programFolder), lost = std::move(lost),
                          timing](std::stop_token stop) {
    // Nothing may leave the thread: a failure here costs the far side of
    // calls, never the program.
    try {
      Run(stop, folder, lost, timing);
    } catch (const std::exception& e) {
      Failed(std::string("the audio engine's keeper failed: ") + e.what());
    }
  });
}

void EngineKeeper::Stop(platform::WindowId mainWindow, std::chrono::milliseconds grace) {
  if (!thread_.joinable()) return;
  quitWParam_ = mainWindow;
  graceMs_ = grace.count();
  thread_.request_stop();
  thread_.join();
  thread_ = {};
}

void EngineKeeper::Run(std::stop_token stop, const std::string& folder, const Lost& lost,
                       const EngineTiming& timing) {
  AudioEngine engine;
  if (engine.Start(folder, timing, stop)) {
    Watch(stop, engine, lost);
    return;
  }
  // An engine that ended between routing and reporting ready has left the
  // loopback as the default like any killed one: give back what it did.
  if (stop.stop_requested()) return;
  if (auto server = platform::SoundServer::Connect("Murmurant routing")) {
    const std::string done = GiveBackSoundSystem(*server);
    if (done.empty()) return;
    const std::string why = "the audio engine ended while it started; " + done;
    Failed(why);
    if (lost) lost(why);
  }
}

void EngineKeeper::Watch(std::stop_token stop, AudioEngine& engine, const Lost& lost) {
  const auto child = engine.pid();
  const auto watch = platform::ProcessWatch::Open(child.value_or(0));
  const platform::UniqueFd wake(eventfd(0, EFD_CLOEXEC));
  if (!watch || !wake) return;
  std::stop_callback onStop(stop, [&wake] {
    const std::uint64_t one = 1;
    (void)!write(wake.get(), &one, sizeof one);
  });
  pollfd fds[2] = {{watch->fd(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
  while (poll(fds, 2, -1) < 0 && errno == EINTR) {
  }
  if (fds[0].revents & POLLIN) {
    engine.WaitEnded(std::chrono::milliseconds(1000));
    // Killed or crashed: the loopback and the routing are left as they were.
    std::string why = "the audio engine ended on its own";
    if (auto server = platform::SoundServer::Connect("Murmurant routing")) {
      const std::string done = GiveBackSoundSystem(*server);
      why += done.empty() ? "; nothing was left to give back" : "; " + done;
    } else {
      why += "; no sound server to give the sound back to";
    }
    Failed(why);
    if (lost) lost(why);
    return;
  }
  // The owner closes: the engine gives the sound system back itself.
  AudioEngine::Stop(quitWParam_);
  if (!watch->Ended(std::chrono::milliseconds(graceMs_.load()))) {
    Failed("the audio engine did not end when asked; it was killed");
    kill(*child, SIGKILL);
    engine.WaitEnded(std::chrono::milliseconds(1000));
    if (auto server = platform::SoundServer::Connect("Murmurant routing")) GiveBackSoundSystem(*server);
    return;
  }
  engine.WaitEnded(std::chrono::milliseconds(1000));
}

namespace {

template <class Match>
std::string FirstInput(Match match) {
  const auto devices = platform::ListWaveInputs();
  std::size_t i = 0;
  while (i < devices.size() && !match(devices[i].name)) ++i;
  return std::to_string(i);
}

}  // namespace

std::string InputDeviceIdContaining(const std::string& part) {
  return FirstInput([&](const std::string& n) { return n.find(part) != std::string::npos; });
}

std::string InputDeviceIdNamed(const std::string& name) {
  return FirstInput([&](const std::string& n) { return n == name; });
}

}  // namespace audio
