// The sound failures the recorder rides out in silence each leave one line in
// the log, naming the device and the cause, however often they are retried.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "audio/call_audio.h"
#include "audio/device_routing.h"
#include "platform/sound_clock.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST(SoundFailureLog, AMissingDeviceIsToldOnceHoweverOftenItIsLookedFor) {
  LogToTempFile log;
  std::atomic<int> looks{0};
  audio::CallAudio call({.far = [&] { ++looks; return std::string("97"); },
                         .near = [] { return std::string("98"); }});
  call.Open();
  // Three looks for the far side's device: the first and two retries.
  ASSERT_TRUE(WaitUntil([&] { return looks >= 3; }, std::chrono::seconds(10)));
  call.Close();
  EXPECT_EQ(log.Count("no device for the far side"), 1) << log.Text();
  EXPECT_EQ(log.Count("no device for the near side"), 1) << log.Text();
  EXPECT_EQ(log.Count("no input device 97"), 1) << log.Text();
}

TEST(SoundFailureLog, RoutingAndThePreviewClockSayWhyTheyFailed) {
  LogToTempFile log;
  // No engine program where it is looked for: nothing routes the call.
  TempDir empty;
  audio::AudioEngine engine;
  EXPECT_FALSE(engine.Start(empty.path(), {std::chrono::milliseconds(10), 1,
                                           std::chrono::milliseconds(10)}));
  EXPECT_EQ(log.Count("the audio engine " + (empty / "audiotrans") + " could not be started"), 1)
      << log.Text();

  const char* server = std::getenv("PULSE_SERVER");
  const std::optional<std::string> saved = server ? std::optional<std::string>(server) : std::nullopt;
  setenv("PULSE_SERVER", "unix:/nonexistent/murmurant/native", 1);
  platform::CSoundClock clock;
  const int opened = clock.Open([] {}, 48'000, 25, 2);
  if (saved) setenv("PULSE_SERVER", saved->c_str(), 1);
  else unsetenv("PULSE_SERVER");
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(log.Count("the preview's sound did not start: no sound server"), 1) << log.Text();
}

}  // namespace
