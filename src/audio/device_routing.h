#pragma once
// Routing of the call's far side: the audio engine companion provides the
// loopback device for as long as the recorder runs, makes it the default
// playback device once it is ready (so the call client plays into it),
// forwards it to the user's own speakers (so the call is heard), and gives
// the user's defaults back when it ends, however the recorder ends.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "audio/loopback_device.h"
#include "platform/x11_messaging.h"

namespace audio {

// The engine's lock and the title of its window.
inline constexpr const char* kEngineTitle = "Plovander Audio Engine";
inline constexpr const char* kEngineWindowClass = "#32770";
inline constexpr const char* kEngineExecutable = "audiotrans";
// What the loopback's capture side is recognised by among the input devices.
inline constexpr const char* kLoopbackName = kLoopbackSourceDescription;

struct EngineTiming {
  // Lets an ended engine remove its device before the new one makes its own.
  std::chrono::milliseconds pause{1000};
  // The engine needs a moment to set up its device; about seven seconds in all.
  int attempts = 70;
  std::chrono::milliseconds interval{100};
};

// The engine process started by this program.
class AudioEngine {
 public:
  AudioEngine() = default;
  AudioEngine(const AudioEngine&) = delete;
  AudioEngine& operator=(const AudioEngine&) = delete;
  // Reaps the engine if it has ended; a running engine is left running.
  ~AudioEngine();

  // Ends a running engine (the first process named audiotrans of this desktop
  // session, that is with our runtime folder), waits, starts
  // `programFolder`/audiotrans and waits for its lock. True when the engine
  // reported ready; the program goes on either way. A stop request cuts
  // every wait short and ends an engine that was started.
  bool Start(const std::string& programFolder, const EngineTiming& timing = {},
             std::stop_token stop = {});

  // Posts WM_QUIT (wParam = mainWindow) to the engine's window. False when
  // no such window exists.
  static bool Stop(platform::WindowId mainWindow);

  // Waits up to `timeout` for the engine this object started to end.
  bool WaitEnded(std::chrono::milliseconds timeout);
  std::optional<pid_t> pid() const { return child_; }

 private:
  std::optional<pid_t> child_;
};

// The audio engine for the life of the recorder, kept off the window's
// thread: started in the background (the window never waits for it),
// watched while it runs, and asked at the end to give the sound system
// back. An engine that ends on its own (killed, crashed) is noticed at once;
// the sound system is then given back from here and the owner is told.
class EngineKeeper {
 public:
  // Runs on the keeper's thread: hand it on, touch no window there.
  using Lost = std::function<void(const std::string& why)>;

  EngineKeeper() = default;
  ~EngineKeeper();  // stops
  EngineKeeper(const EngineKeeper&) = delete;
  EngineKeeper& operator=(const EngineKeeper&) = delete;

  // Owner's thread, once. `lost` is told when the engine has ended on its
  // own and the sound system was given back.
  void Launch(std::string programFolder, Lost lost, EngineTiming timing = {});
  // Owner's thread: asks the engine to end (WM_QUIT, wParam = `mainWindow`)
  // and waits up to `grace` for it to give the sound system back; one that
  // does not end by then is killed and the sound system given back here. A
  // start under way is cut short. Returns once the keeper's thread is gone.
  void Stop(platform::WindowId mainWindow,
            std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

 private:
  void Run(std::stop_token stop, const std::string& folder, const Lost& lost,
           const EngineTiming& timing);
  void Watch(std::stop_token stop, AudioEngine& engine, const Lost& lost);

  std::atomic<platform::WindowId> quitWParam_{0};
  std::atomic<std::chrono::milliseconds::rep> graceMs_{2000};
  std::jthread thread_;  // last: it uses everything above
};

// Engine processes of this desktop session (same runtime folder as ours),
// oldest first. Engines of other sessions on the machine are not ours.
std::vector<pid_t> RunningEngines();

// Index (as decimal text, the way streams take device ids) of the first
// input device whose name contains `part`; the device count when none does.
std::string InputDeviceIdContaining(const std::string& part);
// Same, for the name equal to `name`.
std::string InputDeviceIdNamed(const std::string& name);

}  // namespace audio
