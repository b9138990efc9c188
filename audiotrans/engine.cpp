#include "engine.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "base/log.h"

namespace audiotrans {

namespace {

void Say(base::Level level, const std::string& what) { base::Log(level, "audio engine", what); }

// A server that keeps refusing one step is told once a minute, not at each
// of its events.
base::LogBudget& Refusals() {
  static base::LogBudget budget("audio engine", 5, std::chrono::minutes(1));
  return budget;
}

}  // namespace

Engine::Engine() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Engine::~Engine() {
  keeper_.reset();
  server_.reset();  // its event thread ends before the descriptor it writes
}

std::unique_ptr<Engine> Engine::Start() {
  std::unique_ptr<Engine> engine(new Engine);
  if (!engine->wake_ || !engine->Connect()) return nullptr;
  const std::string left = audio::GiveBackSoundSystem(*engine->server_);
  if (!left.empty()) Say(base::Level::kWarning, "an earlier engine ended without cleaning up: " + left);
  return engine;
}

bool Engine::Connect() {
  keeper_.reset();
  server_ = platform::SoundServer::Connect("Plovander Audio Engine");
  if (!server_) return false;
  const int fd = wake_.get();
  if (!server_->Subscribe([fd] {
        const std::uint64_t one = 1;
        (void)!write(fd, &one, sizeof one);
      })) {
    server_.reset();
    return false;
  }
  return true;
}

bool Engine::Reconnect() {
  if (!Connect()) return false;
  Say(base::Level::kInfo, "the sound server is back");
  return Settle();
}

void Engine::DrainWake() const {
  std::uint64_t count;
  while (read(wake_.get(), &count, sizeof count) > 0) {
  }
}

std::optional<audio::ServerView> Engine::Read() {
  audio::ServerView view;
  const auto info = server_->Describe();
  if (!info) return std::nullopt;
  view.defaultSink = info->defaultSink;
  view.defaultSource = info->defaultSource;
  view.sinks = server_->Sinks();
  view.sources = server_->Sources();
  view.ours = audio::FindLoopbackModules(server_->Modules());
  return view;
}

bool Engine::Settle() {
  DrainWake();
  // Each round's own changes show in the next; a few rounds reach rest.
  for (int round = 0; round < 4 && Alive(); ++round) {
    const auto view = Read();
    if (!view) return Alive();
    const audio::RouteSteps steps = router_.Follow(*view);
    for (const auto& line : steps.said) Say(base::Level::kInfo, line);
    if (router_.user() != saved_ && audio::SaveUserDefaults(router_.user())) saved_ = router_.user();
    if (steps.empty()) {
      if (!keeper_) KeepLoopbackPrompt();  // a loopback found in place after a reconnect
      return true;
    }
    Apply(*view, steps);
  }
  const auto view = Read();
  return !view || view->ours.complete();
}

void Engine::Apply(const audio::ServerView& view, const audio::RouteSteps& steps) {
  if (steps.remakeLoopback) {
    keeper_.reset();
    audio::RemoveLoopback(*server_);
    if (!audio::LoadLoopbackSink(*server_) || !AwaitListed(audio::kLoopbackSinkName) ||
        !audio::LoadLoopbackSource(*server_) || !AwaitListed(audio::kLoopbackSourceName)) {
      audio::RemoveLoopback(*server_);  // nothing half made is left
      Refusals().Log(base::Level::kWarning, "the sound server refused the loopback device");
      return;
    }
    KeepLoopbackPrompt();
  }
  if (steps.defaultSink && !server_->SetDefaultSink(*steps.defaultSink))
    Refusals().Log(base::Level::kWarning,
                   "the sound server refused " + *steps.defaultSink + " as the default playback device");
  if (steps.defaultSource && !server_->SetDefaultSource(*steps.defaultSource))
    Refusals().Log(base::Level::kWarning,
                   "the sound server refused " + *steps.defaultSource + " as the default record device");
  if (steps.dropForward && view.ours.forward) server_->UnloadModule(*view.ours.forward);
  if (steps.forwardTo && !audio::LoadForward(*server_, *steps.forwardTo))
    Refusals().Log(base::Level::kWarning,
                   "the sound server refused to forward the call to " + *steps.forwardTo);
}

bool Engine::AwaitListed(const char* device) {
  // PipeWire's layer answers a module's load before its device exists;
  // that device's arrival is an event like any other.
  auto listed = [&] {
    for (const auto& list : {server_->Sinks(), server_->Sources()})
      for (const auto& d : list)
        if (d.name == device) return true;
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!listed()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd wake{wake_.get(), POLLIN, 0};
    if (left.count() <= 0 || !Alive() || poll(&wake, 1, static_cast<int>(left.count())) <= 0)
      return listed();
    DrainWake();
  }
  return true;
}

void Engine::KeepLoopbackPrompt() {
  // The device answers a recording stream at once, as a real device does,
  // instead of after up to two seconds of rendering in large blocks. A fresh
  // device renders its first two seconds in one block: restarting it once
  // the keeper listens makes the short blocks count from now. PipeWire runs
  // its devices on its own short period, and a device restarted there under
  // streams already playing into it stays silent for them.
  keeper_ = platform::CaptureKeeper::Start(audio::kLoopbackMonitorName);
  if (!keeper_)
    Say(base::Level::kWarning, "could not keep the loopback running");
  else if (const auto info = server_->Describe();
           info && info->name.find("PipeWire") != std::string::npos)
    return;
  else if (!server_->SuspendSink(audio::kLoopbackSinkName, true) ||
           !server_->SuspendSink(audio::kLoopbackSinkName, false))
    Say(base::Level::kWarning, "could not restart the loopback");
}

void Engine::GiveBack() {
  keeper_.reset();
  if (!Alive()) return;
  if (router_.user() != saved_) audio::SaveUserDefaults(router_.user());
  const std::string done = audio::GiveBackSoundSystem(*server_);
  Say(base::Level::kInfo, "sound system given back" + (done.empty() ? "" : ": " + done));
}

}  // namespace audiotrans
