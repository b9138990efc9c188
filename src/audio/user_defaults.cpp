#include "audio/user_defaults.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "audio/loopback_device.h"
#include "platform/paths.h"

namespace audio {

namespace {

std::string FilePath() { return platform::RuntimeFolder() + "/Plovander_Audio_Engine.defaults"; }

bool Exists(const std::vector<platform::SoundDevice>& devices, const std::string& name) {
  for (const auto& d : devices)
    if (d.name == name) return true;
  return false;
}

}  // namespace

bool SaveUserDefaults(const UserDefaults& defaults) {
  const std::string path = FilePath();
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << "sink=" << defaults.sink << "\nsource=" << defaults.source << "\nheard=" << defaults.heard
        << "\n";
    if (!out.flush()) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  return !ec;
}

std::optional<UserDefaults> LoadUserDefaults() {
  std::ifstream in(FilePath());
  if (!in) return std::nullopt;
  UserDefaults d;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("sink=", 0) == 0) d.sink = line.substr(5);
    if (line.rfind("source=", 0) == 0) d.source = line.substr(7);
    if (line.rfind("heard=", 0) == 0) d.heard = line.substr(6);
  }
  return d;
}

void ForgetUserDefaults() {
  std::error_code ec;
  std::filesystem::remove(FilePath(), ec);
}

std::string GiveBackSoundSystem(platform::SoundServer& server) {
  std::ostringstream said;
  if (const auto saved = LoadUserDefaults()) {
    // Before the loopback goes, so the streams on it move to the user's
    // device and not to whatever the server would pick.
    const auto sinks = server.Sinks();
    auto usable = [&](const std::string& name) {
      return !name.empty() && !IsLoopbackDevice(name) && Exists(sinks, name);
    };
    const std::string sink = usable(saved->sink) ? saved->sink : saved->heard;
    if (usable(sink) && server.SetDefaultSink(sink))
      said << "default playback device " << sink << " given back; ";
    if (!saved->source.empty() && !IsLoopbackDevice(saved->source) &&
        Exists(server.Sources(), saved->source) && server.SetDefaultSource(saved->source))
      said << "default record device " << saved->source << " given back; ";
  }
  if (FindLoopbackModules(server.Modules()).sink) {
    // Lets a call client playing into the loopback follow the default back
    // before its device goes.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (const int removed = RemoveLoopback(server)) said << removed << " loopback module(s) removed";
  ForgetUserDefaults();
  std::string text = said.str();
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "; ") == 0) text.resize(text.size() - 2);
  return text;
}

}  // namespace audio
