#pragma once
// The loopback device the audio engine provides while the recorder runs, and
// the forward that lets the user hear it: a playback device described
// "Speaker (Plovander Loopline)" whose sound comes out again on a capture
// device described "Plovander Loopline" (the far side of a call, recorded),
// and a stream the sound server itself runs from the playback side's monitor
// into the user's own speakers (heard). All three are modules of the server,
// found again by the names in their arguments, so whoever comes after a
// killed engine can remove them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/sound_server.h"

namespace audio {

inline constexpr const char* kLoopbackSinkName = "plovander_loopline";
inline constexpr const char* kLoopbackSourceName = "plovander_loopline_capture";
inline constexpr const char* kLoopbackSinkDescription = "Speaker (Plovander Loopline)";
inline constexpr const char* kLoopbackSourceDescription = "Plovander Loopline";
// The forward reads the playback side's monitor.
inline constexpr const char* kLoopbackMonitorName = "plovander_loopline.monitor";

// What of the loopback the server holds, by module index.
struct LoopbackModules {
  std::optional<std::uint32_t> sink, source, forward;
  std::string forwardTarget;  // the playback device the forward plays into
  bool complete() const { return sink && source; }
};
LoopbackModules FindLoopbackModules(const std::vector<platform::SoundModule>& modules);

// True for the loopback's own devices: its playback side, its capture side
// and the playback side's monitor.
bool IsLoopbackDevice(const std::string& serverName);

// Make the two sides of the loopback, one module each. The capture side
// reads the playback side's monitor, which must be listed by then: a server
// may answer a module's load before its device exists (PipeWire's layer
// does), and a capture side made too early reads from somewhere else. The
// server may make a new device its default; that is left for the caller to
// set right. Empty when the server refused.
std::optional<std::uint32_t> LoadLoopbackSink(platform::SoundServer& server);
std::optional<std::uint32_t> LoadLoopbackSource(platform::SoundServer& server);

// Plays the loopback's sound into `target` (never the loopback itself) at
// the level played, a few tens of milliseconds later. The server keeps the
// forward on that device and drops it when the device goes.
std::optional<std::uint32_t> LoadForward(platform::SoundServer& server, const std::string& target);

// Unloads every loopback module of ours on the server, an earlier run's
// included, the forward first. Returns how many went.
int RemoveLoopback(platform::SoundServer& server);

// The server name of the playback device the user listens on: where the
// forward plays; with no forward, the default playback device unless that is
// the loopback; else the first other playback device. Empty when there is
// none but the loopback, or no server. Sound meant for the user (a preview)
// goes there and never into the loopback, where it would be recorded.
std::string ListeningDevice();

}  // namespace audio
