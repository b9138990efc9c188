#pragma once
// Administration of the running sound server: its default devices, its
// devices by name and description, and loadable modules. One connection
// serves a series of calls from one thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

namespace pulse {
class Connection;
}

struct SoundModule {
  std::uint32_t index = 0;
  std::string name;
  std::string argument;
};

struct SoundDevice {
  std::uint32_t index = 0;
  std::string name;
  std::string description;
  std::uint32_t ownerModule = 0;
  bool isMonitor = false;  // sources only: the monitor of a playback device
};

class SoundServer {
 public:
  // Empty when no server answers.
  static std::unique_ptr<SoundServer> Connect(const char* clientName);
  ~SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  bool Alive() const;

  // From now on `changed` runs whenever a device, a module or the server's
  // defaults change, and once when the connection is lost. It runs on the
  // connection's event thread and must only wake whoever reacts: nothing
  // here may be called from it. False when the server refused.
  bool Subscribe(std::function<void()> changed);

  // Server names of the default devices; empty when the query fails.
  std::optional<std::string> DefaultSink();
  std::optional<std::string> DefaultSource();
  // The server's name ("pulseaudio", or PipeWire's layer naming PipeWire)
  // and both defaults in one question; empty when the query fails.
  struct Info {
    std::string name, defaultSink, defaultSource;
  };
  std::optional<Info> Describe();
  bool SetDefaultSink(const std::string& name);
  bool SetDefaultSource(const std::string& name);
  // Suspends or resumes a playback device; a resumed device starts afresh
  // with the latency its clients ask for now.
  bool SuspendSink(const std::string& name, bool suspend);

  std::vector<SoundDevice> Sinks();
  std::vector<SoundDevice> Sources();

  // The new module's index, or empty when the server refused it.
  std::optional<std::uint32_t> LoadModule(const std::string& name, const std::string& argument);
  bool UnloadModule(std::uint32_t index);
  std::vector<SoundModule> Modules();

 private:
  explicit SoundServer(std::unique_ptr<pulse::Connection> c);
  std::unique_ptr<pulse::Connection> connection_;
  std::function<void()> changed_;  // set once, before the server may call it
};

}  // namespace platform
