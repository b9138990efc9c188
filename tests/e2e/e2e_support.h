#pragma once
// What the whole-program tests share: the sound server asked through its own
// command-line client, real clicks, and recordings read back once the
// capture thread has finished them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "avi_check.h"
#include "support/sandbox.h"
#include "support/x_screen.h"

namespace e2e {

// Standard output of a shell command, without the trailing newline.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

inline bool LoopbackSinkExists() {
  return std::system("pactl list short sinks | grep -q plovander_loopline") == 0;
}

// The loopback's playback side exists once the engine runs.
inline bool WaitForLoopbackSink(int ms) {
  for (int waited = 0; waited < ms; waited += 100) {
    if (LoopbackSinkExists()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

inline void Click(int x, int y) {
  xtest::MovePointer(x, y);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  xtest::PressButton(1, true);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  xtest::PressButton(1, false);
}

inline bool Viewable(const std::string& title) {
  for (const auto& w : xtest::FindWindowsByTitle(title))
    if (w.viewable) return true;
  return false;
}

// Polls until `pred` holds or `ms` have passed.
template <class Pred>
bool WaitFor(Pred pred, int ms) {
  for (int waited = 0;; waited += 100) {
    if (pred()) return true;
    if (waited >= ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

struct Recording {
  std::filesystem::path path;
  avicheck::Contents contents;
};

// The one recording in the sandbox's output folder, read back once its
// length has stopped changing (the capture thread finishes the file a moment
// after the stop) and FFmpeg opens it. Empty when none settles within `ms`.
inline std::optional<Recording> WaitForFinishedRecording(const Sandbox& box, int ms) {
  std::uintmax_t lastSize = 0;
  for (int waited = 0; waited < ms; waited += 250) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    auto files = box.Recordings();
    if (files.size() != 1) continue;
    std::error_code ec;
    const auto size = std::filesystem::file_size(files[0], ec);
    if (ec || size == 0 || size != lastSize) {
      lastSize = ec ? 0 : size;
      continue;
    }
    Recording r{files[0], avicheck::Read(files[0])};
    if (r.contents.opened) return r;
  }
  return std::nullopt;
}

// Every file that ends a recording has to play: both streams there, every
// packet decodes, pictures and sound in it.
inline void ExpectPlayable(const Recording& r) {
  EXPECT_EQ(r.contents.videoStreams, 1) << r.path;
  EXPECT_EQ(r.contents.audioStreams, 1) << r.path;
  EXPECT_EQ(r.contents.decodeErrors, 0) << r.path;
  EXPECT_GT(r.contents.pictures, 10) << r.path;
  EXPECT_GT(r.contents.samples.size(), 0u) << r.path;
}

inline double VideoSeconds(const avicheck::Contents& c) { return (c.lastVideoPts + 1) / 25.0; }
inline double AudioSeconds(const avicheck::Contents& c) { return c.samples.size() / 2.0 / 48000.0; }

// A playable file of about `seconds` whose sound is as long as its picture;
// the lengths are printed under `what`.
inline void ExpectPlayableInStep(const Recording& r, double seconds, const char* what) {
  ExpectPlayable(r);
  const double video = VideoSeconds(r.contents), audio = AudioSeconds(r.contents);
  std::printf("%s: video %.3f s, audio %.3f s\n", what, video, audio);
  EXPECT_NEAR(video, seconds, 1.0) << what;
  EXPECT_LT(std::abs(video - audio), 0.3) << what << ": sound and picture of different lengths";
}

}  // namespace e2e
