// The real program routes playback to the loopback device shortly after it
// starts and puts the user's defaults back, and ends the engine, when closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "audio/device_routing.h"
#include "platform/sound_server.h"
#include "support/program.h"
#include "support/temp_dir.h"
#include "support/x_screen.h"
#include "sound_test_support.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

bool HasLoopback(platform::SoundServer& server) {
  for (const auto& s : server.Sinks())
    if (s.description == "Speaker (Plovander Loopline)") return true;
  return false;
}

template <class Condition>
std::optional<Clock::time_point> WaitUntil(Condition condition, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (condition()) return Clock::now();
    std::this_thread::sleep_for(20ms);
  }
  return std::nullopt;
}

}  // namespace

TEST(AudioRoutingProgram, RoutesAfterStartAndRestoresAtClose) {
  TempDir dir;
  std::filesystem::create_directories(dir / "home");
  std::filesystem::create_directories(dir / "run");
  auto server = platform::SoundServer::Connect("routing program test");
  ASSERT_TRUE(server);
  ASSERT_EQ(server->DefaultSink().value_or(""), "speakers");

  xtest::MovePointer(1200, 1000);
  ChildProgram program({std::string(MURMURANT_BIN_DIR) + "/murmurant"},
                       {"HOME=" + (dir / "home"), "XDG_RUNTIME_DIR=" + (dir / "run"),
                        "XDG_CONFIG_HOME=" + (dir / "home/.config"),
                        "XDG_DATA_HOME=" + (dir / "home/.local/share")});
  ASSERT_TRUE(program.started());
  const auto loopback = WaitUntil([&] { return HasLoopback(*server); }, 10s);
  ASSERT_TRUE(loopback) << "the engine made no loopback device";
  const auto routed = WaitUntil(
      [&] { return server->DefaultSink().value_or("") == "plovander_loopline"; }, 10s);
  ASSERT_TRUE(routed) << "playback was never routed to the loopback";
  // Timer 1 fires 900 ms after the start-up steps that follow the engine.
  const auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(*routed - *loopback);
  std::printf("playback routed %lld ms after the loopback appeared\n",
              static_cast<long long>(delay.count()));
  EXPECT_GE(delay, 850ms);
  EXPECT_LE(delay, 4000ms);
  EXPECT_EQ(server->DefaultSource().value_or(""), "microphone");

  ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 5000));
  std::this_thread::sleep_for(300ms);
  xtest::MovePointer(490, 14);  // the close button
  xtest::PressButton(1, true);
  xtest::PressButton(1, false);
  ASSERT_TRUE(program.WaitExit(8000)) << "the window did not close";
  EXPECT_EQ(server->DefaultSink().value_or(""), "speakers");
  EXPECT_EQ(server->DefaultSource().value_or(""), "microphone");
  // The program waits for its engine, so the device is gone when it is.
  EXPECT_FALSE(HasLoopback(*server)) << "the engine outlived the program";
  EXPECT_EQ(platform::FindTopLevelWindow(audio::kEngineWindowClass, audio::kEngineTitle), 0u);
}
