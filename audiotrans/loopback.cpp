#include "loopback.h"

#include "base/log.h"

namespace audiotrans {

namespace {

bool Ours(const platform::SoundModule& m) {
  const std::string sink = std::string("sink_name=") + kSinkName + " ";
  const std::string source = std::string("source_name=") + kSourceName + " ";
  return (m.name == "module-remap-source" && (m.argument + " ").find(source) != std::string::npos) ||
         (m.name == "module-null-sink" && (m.argument + " ").find(sink) != std::string::npos);
}

void PutBack(const char* what, const std::optional<std::string>& before,
             const std::optional<std::string>& now, bool (platform::SoundServer::*set)(const std::string&),
             platform::SoundServer& server) {
  if (!before || !now || *before == *now || before->empty()) return;
  if (!(server.*set)(*before))
    base::Log(base::Level::kWarning, "audio engine",
              std::string("could not put the default ") + what + " back to " + *before);
}

}  // namespace

int RemoveStaleLoopback(platform::SoundServer& server) {
  int removed = 0;
  // The capture side first: it hangs off the playback side's monitor.
  for (const char* kind : {"module-remap-source", "module-null-sink"})
    for (const auto& m : server.Modules())
      if (m.name == kind && Ours(m) && server.UnloadModule(m.index)) ++removed;
  return removed;
}

std::optional<Loopback> Loopback::Create(platform::SoundServer& server) {
  const auto sinkBefore = server.DefaultSink();
  const auto sourceBefore = server.DefaultSource();
  const auto sink = server.LoadModule(
      "module-null-sink", std::string("sink_name=") + kSinkName +
                              " rate=48000 channels=2 format=s16le"
                              " sink_properties='device.description=\"" + kSinkDescription + "\"'");
  if (!sink) return std::nullopt;
  const auto source = server.LoadModule(
      "module-remap-source", std::string("source_name=") + kSourceName + " master=" + kSinkName +
                                 ".monitor rate=48000 channels=2 format=s16le"
                                 " source_properties='device.description=\"" + kSourceDescription + "\"'");
  if (!source) {
    server.UnloadModule(*sink);
    return std::nullopt;
  }
  PutBack("sink", sinkBefore, server.DefaultSink(), &platform::SoundServer::SetDefaultSink, server);
  PutBack("source", sourceBefore, server.DefaultSource(), &platform::SoundServer::SetDefaultSource,
          server);
  return Loopback(server, *sink, *source);
}

Loopback::Loopback(Loopback&& other) noexcept
    : server_(other.server_), sinkModule_(other.sinkModule_), sourceModule_(other.sourceModule_) {
  other.sinkModule_.reset();
  other.sourceModule_.reset();
}

Loopback::~Loopback() { Remove(); }

void Loopback::Remove() {
  if (sourceModule_) server_->UnloadModule(*sourceModule_);
  if (sinkModule_) server_->UnloadModule(*sinkModule_);
  sourceModule_.reset();
  sinkModule_.reset();
}

}  // namespace audiotrans
