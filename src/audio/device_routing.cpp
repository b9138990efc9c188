#include "audio/device_routing.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "base/log.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "platform/process_snapshot.h"
#include "platform/sound_server.h"
#include "platform/wave_device.h"

namespace audio {

namespace {

// Waits for a process that need not be our child to end.
bool WaitGone(pid_t pid, std::chrono::milliseconds timeout) {
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return errno == ESRCH;
  pollfd p{fd, POLLIN, 0};
  const bool gone = poll(&p, 1, static_cast<int>(timeout.count())) == 1;
  close(fd);
  return gone;
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

// The routing's failures change nothing the user sees at once (the call is
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

bool AudioEngine::Start(const std::string& programFolder, const EngineTiming& timing) {
  if (child_) {
    // Our own earlier engine: end it and reap it.
    platform::EndChild(*child_, timing.pause);
    child_.reset();
  } else if (!EndRunningEngine(timing.pause)) {
    std::this_thread::sleep_for(timing.pause);
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
    std::this_thread::sleep_for(timing.interval);
  }
  return Failed("the audio engine was not ready in time");
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

bool DefaultDevices::Save() {
  auto server = platform::SoundServer::Connect("Murmurant routing");
  if (!server) return Failed("no sound server to ask for the default devices");
  auto sink = server->DefaultSink();
  auto source = server->DefaultSource();
  if (sink) savedPlayback_ = *sink;
  if (source) savedRecord_ = *source;
  if (!sink || !source)
    return Failed(std::string("the sound server named no default ") +
                  (sink ? "record" : "playback") + " device; it will not be put back");
  return true;
}

bool DefaultDevices::RouteToVirtualDevice() {
  auto server = platform::SoundServer::Connect("Murmurant routing");
  if (!server) return Failed("no sound server to make the loopback the default playback device");
  for (const auto& sink : server->Sinks())
    if (sink.description.find(kLoopbackName) != std::string::npos)
      return server->SetDefaultSink(sink.name) ||
             Failed("the sound server refused " + sink.name + " as the default playback device");
  return Failed(std::string("no loopback device (") + kLoopbackName +
                "): the far side of a call will not be recorded");
}

bool DefaultDevices::Restore() {
  auto server = platform::SoundServer::Connect("Murmurant routing");
  if (!server) return Failed("no sound server to put the default devices back");
  if (savedPlayback_.empty() || !server->SetDefaultSink(savedPlayback_))
    return Failed("the default playback device could not be put back to \"" + savedPlayback_ +
                  "\"");
  if (savedRecord_.empty() || !server->SetDefaultSource(savedRecord_))
    return Failed("the default record device could not be put back to \"" + savedRecord_ + "\"");
  return true;
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
