#pragma once
// Routing of the call's far side: the audio engine companion provides the
// loopback device for as long as the recorder runs, the loopback becomes the
// default playback device shortly after start-up (so the call client plays
// into it), and the user's own defaults come back when the recorder closes.
// Everything here runs on the user-interface thread.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11_messaging.h"

namespace audio {

// The engine's lock and the title of its window.
inline constexpr const char* kEngineTitle = "Plovander Audio Engine";
inline constexpr const char* kEngineWindowClass = "#32770";
inline constexpr const char* kEngineExecutable = "audiotrans";
// What the loopback's devices are recognised by.
inline constexpr const char* kLoopbackName = "Plovander Loopline";

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
  // reported ready; the program goes on either way.
  bool Start(const std::string& programFolder, const EngineTiming& timing = {});

  // Posts WM_QUIT (wParam = mainWindow) to the engine's window. False when
  // no such window exists.
  static bool Stop(platform::WindowId mainWindow);

  // Waits up to `timeout` for the engine this object started to end.
  bool WaitEnded(std::chrono::milliseconds timeout);
  std::optional<pid_t> pid() const { return child_; }

 private:
  std::optional<pid_t> child_;
};

// The user's default devices, saved at start and put back at close.
class DefaultDevices {
 public:
  // Remembers the current default record and playback devices.
  bool Save();
  // Makes the loopback's playback side the default playback device; false
  // when there is no loopback (the engine is missing) or no server.
  bool RouteToVirtualDevice();
  // Puts the saved playback device back and, if that worked, the saved
  // record device.
  bool Restore();

  const std::string& savedPlayback() const { return savedPlayback_; }
  const std::string& savedRecord() const { return savedRecord_; }

 private:
  std::string savedPlayback_;  // server names, not descriptions
  std::string savedRecord_;
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
