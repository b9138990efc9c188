// The real program and its engine around the sound system: the window
// answers while the engine starts, playback is routed through the loopback
// once the engine is ready, and the user's defaults come back and the
// loopback goes however the program ends - closed, killed, or killed with
// its engine, in which case the next start cleans up before it routes.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "audio/device_routing.h"
#include "platform/process_snapshot.h"
#include "platform/sound_server.h"
#include "sound_test_support.h"
#include "support/program.h"
#include "support/sandbox.h"
#include "support/x_screen.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

template <class Condition>
std::optional<Clock::time_point> WaitUntil(Condition condition, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (condition()) return Clock::now();
    std::this_thread::sleep_for(10ms);
  }
  return std::nullopt;
}

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Loopbacks {
  int sinks = 0, sources = 0, forwards = 0;
};

Loopbacks Count(platform::SoundServer& server) {
  Loopbacks n;
  for (const auto& s : server.Sinks()) n.sinks += s.description == "Speaker (Plovander Loopline)";
  for (const auto& s : server.Sources()) n.sources += s.description == "Plovander Loopline";
  for (const auto& m : server.Modules())
    n.forwards += m.name == "module-loopback" &&
                  m.argument.find("source=plovander_loopline.monitor") != std::string::npos;
  return n;
}

class RoutingProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = platform::SoundServer::Connect("routing program test");
    ASSERT_TRUE(server_);
    ASSERT_EQ(server_->DefaultSink().value_or(""), "speakers");
    xtest::MovePointer(1200, 1000);
  }

  std::unique_ptr<ChildProgram> Start() {
    auto p = std::make_unique<ChildProgram>(
        std::vector<std::string>{std::string(MURMURANT_BIN_DIR) + "/murmurant"}, box_.env(),
        box_.dir / "murmurant.log");
    EXPECT_TRUE(p->started());
    return p;
  }
  bool Routed() { return server_->DefaultSink().value_or("") == "plovander_loopline"; }
  bool GivenBack() {
    const Loopbacks n = Count(*server_);
    return server_->DefaultSink().value_or("") == "speakers" &&
           server_->DefaultSource().value_or("") == "microphone" && n.sinks + n.sources + n.forwards == 0;
  }
  // The engine a program of this sandbox started.
  pid_t EngineOfThisSandbox() {
    for (const auto& p : platform::ProcessSnapshot())
      if (p.exeName == "audiotrans" &&
          soundtest::EnvironmentOf(p.pid, "XDG_RUNTIME_DIR") == box_.dir / "run")
        return p.pid;
    return 0;
  }
  std::string Log() { return ReadFile(box_.dir / "murmurant.log"); }

  Sandbox box_;
  std::unique_ptr<platform::SoundServer> server_;
};

}  // namespace

TEST_F(RoutingProgram, AnswersWhileTheEngineStartsRoutesOnceReadyAndGivesBackAtClose) {
  auto program = Start();
  const auto shown = WaitUntil([] { return bool(xtest::WaitForWindow("Murmurant", 0)); }, 20s);
  ASSERT_TRUE(shown) << "no main window";
  const bool engineReadyWhenShown = Routed();
  // "record custom" shows the selection overlay: the click was handled.
  xtest::MovePointer(97, 55);
  xtest::PressButton(1, true);
  xtest::PressButton(1, false);
  const auto handled = WaitUntil([] { return bool(xtest::WaitForWindow("Title", 0)); }, 5s);
  ASSERT_TRUE(handled) << "the click on record custom was not handled";
  std::printf("window shown, engine %s; click handled %.0f ms after it was shown\n",
              engineReadyWhenShown ? "already ready" : "still starting", MsBetween(*shown, *handled));
  EXPECT_LE(MsBetween(*shown, *handled), 1000);
  // A click without a drag selects nothing; F9 ends the attempt. The
  // overlay takes the pointer a moment after it shows.
  std::this_thread::sleep_for(500ms);
  xtest::MovePointer(700, 700);
  xtest::PressButton(1, true);
  std::this_thread::sleep_for(100ms);
  xtest::PressButton(1, false);
  std::this_thread::sleep_for(300ms);
  xtest::Key("F9");
  ASSERT_TRUE(WaitUntil([] { return !xtest::WaitForWindow("Title", 0); }, 5s));

  ASSERT_TRUE(WaitUntil([&] { return Routed(); }, 10s)) << "playback was never routed to the loopback";
  EXPECT_EQ(server_->DefaultSource().value_or(""), "microphone");
  const Loopbacks one = Count(*server_);
  EXPECT_EQ(one.sinks, 1);
  EXPECT_EQ(one.sources, 1);
  EXPECT_EQ(one.forwards, 1);

  xtest::MovePointer(490, 14);  // the close button
  xtest::PressButton(1, true);
  xtest::PressButton(1, false);
  ASSERT_TRUE(program->WaitExit(8000)) << "the window did not close";
  // The program waits for its engine, so all is back when it is gone.
  EXPECT_TRUE(GivenBack()) << Log();
  EXPECT_EQ(platform::FindTopLevelWindow(audio::kEngineWindowClass, audio::kEngineTitle), 0u);
}

TEST_F(RoutingProgram, KilledTheSoundComesBackAndAfterAKilledEngineTooTheNextStartMakesOne) {
  // The program killed: its engine notices and gives everything back.
  auto program = Start();
  ASSERT_TRUE(WaitUntil([&] { return Routed() && EngineOfThisSandbox() != 0; }, 20s));
  kill(program->pid(), SIGKILL);
  const auto killed = Clock::now();
  const auto back = WaitUntil([&] { return GivenBack(); }, 5s);
  ASSERT_TRUE(back) << "the sound system was not given back\n" << Log();
  std::printf("given back %.0f ms after the program was killed\n", MsBetween(killed, *back));
  EXPECT_LE(MsBetween(killed, *back), 2000);
  program->WaitExit(1000);

  // Program and engine killed together (a logout, say): nothing gives back
  // at once, and the loopback stays the default...
  program = Start();
  ASSERT_TRUE(WaitUntil([&] { return Routed() && EngineOfThisSandbox() != 0; }, 20s));
  const pid_t engine = EngineOfThisSandbox();
  kill(engine, SIGKILL);
  kill(program->pid(), SIGKILL);
  program->WaitExit(2000);
  ASSERT_TRUE(WaitUntil([&] { return !std::filesystem::exists("/proc/" + std::to_string(engine)); }, 2s));
  EXPECT_TRUE(Routed());
  EXPECT_EQ(Count(*server_).sinks, 1);

  // ...until the next start, which cleans up before it makes its own.
  program = Start();
  ASSERT_TRUE(WaitUntil([&] { return Log().find("an earlier engine ended without cleaning up") !=
                                         std::string::npos; }, 20s))
      << Log();
  ASSERT_TRUE(WaitUntil([&] { return EngineOfThisSandbox() != 0 && Routed() &&
                                     Count(*server_).forwards == 1; }, 20s));
  const Loopbacks n = Count(*server_);
  EXPECT_EQ(n.sinks, 1);
  EXPECT_EQ(n.sources, 1);
  EXPECT_EQ(n.forwards, 1);
  program->Stop();  // SIGTERM: closed the way the session closes it
  EXPECT_TRUE(GivenBack()) << Log();
}
