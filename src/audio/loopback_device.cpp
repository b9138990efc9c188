#include "audio/loopback_device.h"

#include <algorithm>

namespace audio {

namespace {

// The value of `key=` among a module's space-separated arguments, quotes
// taken off; empty when absent.
std::string ArgumentValue(const std::string& argument, const std::string& key) {
  const std::string padded = " " + argument;
  const auto at = padded.find(" " + key + "=");
  if (at == std::string::npos) return {};
  std::size_t from = at + key.size() + 2;
  if (from < padded.size() && (padded[from] == '"' || padded[from] == '\'')) {
    const char quote = padded[from];
    const auto end = padded.find(quote, from + 1);
    return padded.substr(from + 1, end == std::string::npos ? std::string::npos : end - from - 1);
  }
  return padded.substr(from, padded.find(' ', from) - from);
}

bool Named(const platform::SoundModule& m, const char* module, const char* key, const char* value) {
  return m.name == module && ArgumentValue(m.argument, key) == value;
}

}  // namespace

LoopbackModules FindLoopbackModules(const std::vector<platform::SoundModule>& modules) {
  LoopbackModules found;
  for (const auto& m : modules) {
    if (Named(m, "module-null-sink", "sink_name", kLoopbackSinkName)) found.sink = m.index;
    if (Named(m, "module-remap-source", "source_name", kLoopbackSourceName)) found.source = m.index;
    if (Named(m, "module-loopback", "source", kLoopbackMonitorName)) {
      found.forward = m.index;
      found.forwardTarget = ArgumentValue(m.argument, "sink");
    }
  }
  return found;
}

bool IsLoopbackDevice(const std::string& serverName) {
  return serverName == kLoopbackSinkName || serverName == kLoopbackSourceName ||
         serverName == kLoopbackMonitorName;
}

std::optional<std::uint32_t> LoadLoopbackSink(platform::SoundServer& server) {
  return server.LoadModule("module-null-sink", std::string("sink_name=") + kLoopbackSinkName +
                                                   " rate=48000 channels=2 format=s16le"
                                                   " sink_properties='device.description=\"" +
                                                   kLoopbackSinkDescription + "\"'");
}

std::optional<std::uint32_t> LoadLoopbackSource(platform::SoundServer& server) {
  return server.LoadModule("module-remap-source",
                           std::string("source_name=") + kLoopbackSourceName +
                               " master=" + kLoopbackMonitorName +
                               " rate=48000 channels=2 format=s16le"
                               " source_properties='device.description=\"" +
                               kLoopbackSourceDescription + "\"'");
}

std::optional<std::uint32_t> LoadForward(platform::SoundServer& server, const std::string& target) {
  if (target.empty() || IsLoopbackDevice(target)) return std::nullopt;
  // 20 ms keeps what the user hears close to the call (the server adds its
  // own block or two); smaller targets make the server's rate matching
  // restless on a busy machine. Neither end may be moved by the server: an
  // end whose device goes away ends the forward instead of sending the
  // loopback's sound back into itself, and the engine then picks again.
  return server.LoadModule("module-loopback",
                           std::string("source=") + kLoopbackMonitorName + " sink=\"" + target +
                               "\" latency_msec=20 source_dont_move=true sink_dont_move=true"
                               " sink_input_properties='media.name=\"Plovander Loopline\"'");
}

int RemoveLoopback(platform::SoundServer& server) {
  const auto modules = server.Modules();
  int removed = 0;
  // The forward and the capture side hang off the playback side's monitor,
  // so they go first. Killed runs may have left more than one of a kind.
  for (int kind = 0; kind < 3; ++kind)
    for (const auto& m : modules) {
      const LoopbackModules one = FindLoopbackModules({m});
      const bool match = kind == 0 ? one.forward.has_value()
                         : kind == 1 ? one.source.has_value()
                                     : one.sink.has_value();
      if (match && server.UnloadModule(m.index)) ++removed;
    }
  return removed;
}

std::string ListeningDevice() {
  auto server = platform::SoundServer::Connect("Murmurant preview");
  if (!server) return {};
  const auto sinks = server->Sinks();
  auto exists = [&](const std::string& name) {
    return !name.empty() && !IsLoopbackDevice(name) &&
           std::any_of(sinks.begin(), sinks.end(), [&](const auto& s) { return s.name == name; });
  };
  const LoopbackModules ours = FindLoopbackModules(server->Modules());
  if (exists(ours.forwardTarget)) return ours.forwardTarget;
  if (const auto fallback = server->DefaultSink(); fallback && exists(*fallback)) return *fallback;
  for (const auto& s : sinks)
    if (exists(s.name)) return s.name;
  return {};
}

}  // namespace audio
