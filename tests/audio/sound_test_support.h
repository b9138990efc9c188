#pragma once
// Tones and their measurement for tests that play into and record from the
// private sound server the harness starts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "audio/wave_stream.h"
#include "platform/process.h"
#include "platform/process_snapshot.h"
#include "platform/sound_server.h"
#include "support/temp_dir.h"

namespace soundtest {

constexpr int kRate = 48'000;

// 16-bit stereo at 48 kHz; a frequency of 0 leaves that channel silent.
inline std::vector<std::uint8_t> Tone(double seconds, double leftHz, double rightHz,
                                      double amplitude = 12'000) {
  const auto frames = static_cast<std::size_t>(seconds * kRate);
  std::vector<std::uint8_t> out(frames * 4);
  for (std::size_t k = 0; k < frames; ++k) {
    const double t = static_cast<double>(k) / kRate;
    const std::int16_t s[2] = {
        static_cast<std::int16_t>(leftHz > 0 ? amplitude * std::sin(2 * M_PI * leftHz * t) : 0),
        static_cast<std::int16_t>(rightHz > 0 ? amplitude * std::sin(2 * M_PI * rightHz * t) : 0)};
    std::memcpy(&out[k * 4], s, 4);
  }
  return out;
}

// Power of one frequency in one channel (Goertzel), per frame.
inline double Energy(const std::uint8_t* pcm, std::size_t bytes, int channel, double hz) {
  const std::size_t frames = bytes / 4;
  const double w = 2 * std::cos(2 * M_PI * hz / kRate);
  double s1 = 0, s2 = 0;
  for (std::size_t k = 0; k < frames; ++k) {
    std::int16_t v;
    std::memcpy(&v, pcm + k * 4 + channel * 2, 2);
    const double s0 = v + w * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return frames ? (s1 * s1 + s2 * s2 - w * s1 * s2) / static_cast<double>(frames) : 0;
}

// Plays raw 48 kHz stereo sound into a sink with the server's own client,
// from a file, in a child process.
class Player {
 public:
  Player(const std::string& sink, const std::vector<std::uint8_t>& pcm) {
    const std::string file = dir_ / "tone.raw";
    WriteFile(file, std::string(pcm.begin(), pcm.end()));
    Start(sink, file);
  }
  // Plays a raw 16-bit stereo file too long to hold in memory. A long
  // latency lets the feed ride out a busy machine without running dry.
  Player(const std::string& sink, const std::filesystem::path& rawFile,
         std::chrono::milliseconds latency = std::chrono::milliseconds(50)) {
    Start(sink, rawFile, latency);
  }
  ~Player() {
    if (pid_ > 0) platform::EndChild(pid_, std::chrono::milliseconds(500));
  }
  bool started() const { return pid_ > 0; }

 private:
  void Start(const std::string& sink, const std::string& file,
             std::chrono::milliseconds latency = std::chrono::milliseconds(50)) {
    platform::SpawnOptions options;
    options.searchPath = true;
    pid_ = platform::Spawn({"pacat", "--playback", "--raw", "--device=" + sink,
                            "--format=s16le", "--rate=48000", "--channels=2",
                            "--latency-msec=" + std::to_string(latency.count()), file},
                           options)
               .value_or(-1);
  }

  TempDir dir_;
  pid_t pid_ = -1;
};

inline std::string MicSink() {
  const char* sink = std::getenv("MURMURANT_MIC_SINK");
  return sink ? sink : "mic_feed";
}

// Counts notifications posted from a device thread.
class CountingSink : public audio::WaveNotifySink {
 public:
  void PostWaveMessage(int message) override {
    {
      std::lock_guard lock(mutex_);
      ++count_;
      last_ = message;
    }
    changed_.notify_all();
  }
  bool WaitFor(int n, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return count_ >= n; });
  }
  int count() {
    std::lock_guard lock(mutex_);
    return count_;
  }
  int last() {
    std::lock_guard lock(mutex_);
    return last_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;  // guarded by mutex_
  int last_ = 0;   // guarded by mutex_
};

// Index text of the first device whose name contains `part`, or "".
inline std::string DeviceId(const std::vector<platform::WaveDeviceInfo>& devices,
                            const std::string& part) {
  for (std::size_t i = 0; i < devices.size(); ++i)
    if (devices[i].name.find(part) != std::string::npos) return std::to_string(i);
  return {};
}

// The value of one environment variable of another process, "" when unset
// or unreadable.
inline std::string EnvironmentOf(pid_t pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  std::string entry;
  while (std::getline(in, entry, '\0'))
    if (entry.compare(0, name.size() + 1, name + "=") == 0) return entry.substr(name.size() + 1);
  return {};
}

// Earlier tests of the suite may have killed a recorder, which leaves its
// engine running and the loopback the default playback device, as designed.
// Tests here start from the harness's own state: no engine on this sound
// server and the harness's default devices.
class SoundEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* server = std::getenv("PULSE_SERVER");
    for (const auto& p : platform::ProcessSnapshot()) {
      if (p.exeName != "audiotrans" || !server || EnvironmentOf(p.pid, "PULSE_SERVER") != server)
        continue;
      kill(p.pid, SIGTERM);
      for (int i = 0; i < 100 && std::filesystem::exists("/proc/" + std::to_string(p.pid)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      kill(p.pid, SIGKILL);
    }
    if (auto s = platform::SoundServer::Connect("test set-up")) {
      s->SetDefaultSink("speakers");
      s->SetDefaultSource("microphone");
    }
  }
};

inline ::testing::Environment* const kSoundEnvironment =
    ::testing::AddGlobalTestEnvironment(new SoundEnvironment);

}  // namespace soundtest
