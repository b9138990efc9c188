// The audio engine companion, the loopback device it provides, the routing of
// the default devices, and the mixing step on sound really captured from both
// sides - all against the private sound server.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "audio/audio_ring.h"
#include "audio/call_audio.h"
#include "audio/call_mixer.h"
#include "platform/wave_device.h"
#include "audio/device_routing.h"
#include "platform/named_mutex.h"
#include "platform/sound_server.h"
#include "sound_test_support.h"

using namespace audio;
using namespace soundtest;
using namespace std::chrono_literals;

namespace {

constexpr EngineTiming kQuick{std::chrono::milliseconds(100), 70, std::chrono::milliseconds(100)};

std::unique_ptr<platform::SoundServer> Server() {
  auto s = platform::SoundServer::Connect("loopback test");
  EXPECT_TRUE(s);
  return s;
}

int CountNamed(const std::vector<platform::SoundDevice>& devices, const std::string& description) {
  return static_cast<int>(std::count_if(devices.begin(), devices.end(), [&](const auto& d) {
    return d.description == description;
  }));
}

// One engine for a test, ended through its window as the recorder does.
class EngineFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine_.Start(MURMURANT_BIN_DIR, kQuick)); }
  void TearDown() override {
    AudioEngine::Stop(0);
    engine_.WaitEnded(3s);
  }
  AudioEngine engine_;
};

}  // namespace

using AudioEngineTest = EngineFixture;

TEST_F(AudioEngineTest, ProvidesBothSidesRoutesPlaybackAndLeavesTheRecordDevice) {
  EXPECT_TRUE(platform::NamedMutex::IsHeld(kEngineTitle));
  EXPECT_NE(platform::FindTopLevelWindow(kEngineWindowClass, kEngineTitle), 0u);
  auto server = Server();
  EXPECT_EQ(CountNamed(server->Sinks(), "Speaker (Plovander Loopline)"), 1);
  EXPECT_EQ(CountNamed(server->Sources(), "Plovander Loopline"), 1);
  // Ready means routed: what plays by default is recorded, and heard on
  // the speakers that were the default before.
  EXPECT_EQ(server->DefaultSink().value_or(""), "plovander_loopline");
  EXPECT_EQ(ListeningDevice(), "speakers");
  EXPECT_EQ(server->DefaultSource().value_or(""), "microphone");
  // The near side still records the microphone, the far side the loopback.
  auto inputs = platform::ListWaveInputs();
  ASSERT_FALSE(inputs.empty());
  EXPECT_EQ(inputs[0].name, "Microphone");
  EXPECT_NE(InputDeviceIdContaining(kLoopbackName), std::to_string(inputs.size()));
}

TEST_F(AudioEngineTest, RestartsLeaveExactlyOneLoopback) {
  // Started again while running: the old engine is ended first.
  const auto first = engine_.pid();
  ASSERT_TRUE(engine_.Start(MURMURANT_BIN_DIR, kQuick));
  EXPECT_NE(engine_.pid(), first);
  // Killed outright, it cannot clean up; the next one removes what it left.
  ASSERT_TRUE(engine_.pid());
  kill(*engine_.pid(), SIGKILL);
  ASSERT_TRUE(engine_.WaitEnded(2s));
  auto server = Server();
  EXPECT_EQ(CountNamed(server->Sinks(), "Speaker (Plovander Loopline)"), 1);  // left behind
  ASSERT_TRUE(engine_.Start(MURMURANT_BIN_DIR, kQuick));
  EXPECT_EQ(CountNamed(server->Sinks(), "Speaker (Plovander Loopline)"), 1);
  EXPECT_EQ(CountNamed(server->Sources(), "Plovander Loopline"), 1);
  EXPECT_EQ(RunningEngines().size(), 1u);

  // A second engine started beside a running one leaves it alone.
  platform::SpawnOptions quiet;
  quiet.outputFile = "/dev/null";
  auto second = platform::Spawn({std::string(MURMURANT_BIN_DIR) + "/audiotrans"}, quiet);
  ASSERT_TRUE(second);
  EXPECT_TRUE(platform::WaitChild(*second, 6s));
  EXPECT_EQ(CountNamed(server->Sinks(), "Speaker (Plovander Loopline)"), 1);
  EXPECT_TRUE(platform::NamedMutex::IsHeld(kEngineTitle));
}

TEST_F(AudioEngineTest, WindowQuitEndsTheEngineAndRemovesTheDevice) {
  ASSERT_TRUE(AudioEngine::Stop(0x1234));
  ASSERT_TRUE(engine_.WaitEnded(3s));
  auto server = Server();
  EXPECT_EQ(server->DefaultSink().value_or(""), "speakers");
  EXPECT_EQ(server->DefaultSource().value_or(""), "microphone");
  EXPECT_EQ(CountNamed(server->Sinks(), "Speaker (Plovander Loopline)"), 0);
  EXPECT_EQ(CountNamed(server->Sources(), "Plovander Loopline"), 0);
  EXPECT_FALSE(platform::NamedMutex::IsHeld(kEngineTitle));
  EXPECT_FALSE(AudioEngine::Stop(0));  // no window any more
  // Without the loopback the far-side stream cannot open; the recording
  // would go on with a silent far side.
  const std::string missing = InputDeviceIdContaining(kLoopbackName);
  EXPECT_EQ(missing, std::to_string(platform::ListWaveInputs().size()));
  WaveStream remote(500);
  EXPECT_FALSE(remote.OpenInput(missing.c_str()));
  EXPECT_FALSE(remote.inputOpen());
}

TEST_F(AudioEngineTest, ToneIntoTheSpeakerSideIsReadBackFromTheCaptureSide) {
  const std::string id = InputDeviceIdContaining(kLoopbackName);
  CountingSink sink;
  WaveStream stream(500);
  stream.SetInputNotify(&sink, 0x400 + 120);
  ASSERT_TRUE(stream.OpenInput(id.c_str()));
  Player tone("plovander_loopline", Tone(1.5, 600, 600));
  ASSERT_TRUE(stream.StartInput());
  ASSERT_TRUE(sink.WaitFor(3, 3s));
  stream.StopInput();
  EXPECT_EQ(sink.count(), 3);
  SampleBuffer got;
  ASSERT_TRUE(stream.ReadInput(&got));
  EXPECT_EQ(got.ByteSize(), 144'000u);
  EXPECT_EQ(got.sampleCount(), 72'000);
  const std::uint8_t* last = got.data() + 96'000;
  EXPECT_GT(Energy(last, 48'000, 0, 600), 1e6);
  EXPECT_GT(Energy(last, 48'000, 1, 600), 1e6);
}

TEST_F(AudioEngineTest, CallAudioPutsTheFarSideLeftAndTheNearSideRight) {
  CallAudio call;
  Player far("plovander_loopline", Tone(4.0, 700, 700));
  Player near(MicSink(), Tone(4.0, 1900, 1900));
  call.Open();
  AudioMixer mixer;
  mixer.Begin(platform::MonotonicNowNs(), call.far(), call.near());
  std::vector<std::uint8_t> mixed;
  const auto until = std::chrono::steady_clock::now() + 6s;
  while (mixed.size() < 288'000 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(40ms);  // the capture thread's pace
    const std::size_t had = mixed.size();
    mixer.DrainAndMix(call.far(), call.near(), [&](std::size_t bytes) {
      mixed.resize(had + bytes);
      return std::span<std::uint8_t>(mixed).subspan(had);
    });
  }
  call.Close();
  // Both devices delivered on time the whole way: nothing filled in or cut out.
  const SoundStats stats = call.stats();
  EXPECT_FALSE(stats.soundLost()) << Describe(stats);
  EXPECT_EQ(stats.far.idleSilence + stats.near.idleSilence, 0) << Describe(stats);
  ASSERT_GE(mixed.size(), 288'000u);
  // The last half second: both players are well under way by then.
  const std::uint8_t* tail = mixed.data() + mixed.size() - 96'000;
  const double leftFar = Energy(tail, 96'000, 0, 700), leftNear = Energy(tail, 96'000, 0, 1900);
  const double rightFar = Energy(tail, 96'000, 1, 700), rightNear = Energy(tail, 96'000, 1, 1900);
  EXPECT_GT(leftFar, 1e6);
  EXPECT_GT(rightNear, 1e6);
  EXPECT_LT(leftNear, leftFar / 1000);
  EXPECT_LT(rightFar, rightNear / 1000);
}

// An engine that dies after routing but before it reports ready (killed at
// the wrong moment) leaves the loopback behind like any killed one: the
// keeper gives it back and says so.
TEST(AudioEngineFaults, AnEngineEndingBeforeItIsReadyIsGivenBackAndTold) {
  TempDir folder;
  WriteFile(folder / "audiotrans",
            "#!/bin/sh\n"
            "pactl load-module module-null-sink sink_name=plovander_loopline >/dev/null\n"
            "pactl set-default-sink plovander_loopline\n"
            "exit 1\n");
  std::filesystem::permissions(folder / "audiotrans", std::filesystem::perms::owner_all);
  std::mutex m;
  std::condition_variable told;
  std::string why;
  EngineKeeper keeper;
  keeper.Launch(folder.path(), [&](const std::string& w) {
    std::lock_guard lock(m);
    why = w;
    told.notify_all();
  }, kQuick);
  std::unique_lock lock(m);
  ASSERT_TRUE(told.wait_for(lock, 10s, [&] { return !why.empty(); })) << "the keeper said nothing";
  EXPECT_NE(why.find("ended while it started"), std::string::npos) << why;
  EXPECT_EQ(CountNamed(Server()->Sinks(), "Speaker (Plovander Loopline)") +
                static_cast<int>(Server()->DefaultSink().value_or("") == "plovander_loopline"),
            0);
}

TEST(AudioEngineFaults, NoEngineProgramOrNoServerIsNotReady) {
  AudioEngine engine;
  TempDir empty;
  EXPECT_FALSE(engine.Start(empty.path(), kQuick));  // nothing to start
  const std::string saved = std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "";
  setenv("PULSE_SERVER", "unix:/nonexistent/murmurant/native", 1);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(engine.Start(MURMURANT_BIN_DIR, kQuick));
  // The engine gave up at once instead of leaving the caller to wait 7 s.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  setenv("PULSE_SERVER", saved.c_str(), 1);
  EXPECT_FALSE(platform::NamedMutex::IsHeld(kEngineTitle));
}

// A sound server of the test's own, restarted under a running engine: the
// engine waits for it, makes its loopback there again and routes playback.
TEST(AudioEngineFaults, ASoundServerRestartedUnderTheEngineIsRoutedAgain) {
  TempDir dir;
  WriteFile(dir / "default.pa",
            "load-module module-native-protocol-unix socket=" + (dir / "native") + "\n"
            "load-module module-null-sink sink_name=speakers sink_properties=device.description=Speakers\n"
            "set-default-sink speakers\n");
  platform::SpawnOptions options;
  options.searchPath = true;
  options.outputFile = dir / "pulse.out";
  options.extraEnv = {"PULSE_RUNTIME_PATH=" + (dir / "run"), "PULSE_STATE_PATH=" + (dir / "state")};
  const std::vector<std::string> daemon = {"pulseaudio", "-n", "-F", dir / "default.pa",
                                           "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no"};
  const std::string harnessServer = std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "";
  setenv("PULSE_SERVER", ("unix:" + (dir / "native")).c_str(), 1);
  auto connected = [](const std::string& sink) {
    auto s = platform::SoundServer::Connect("restart test");
    return s && s->DefaultSink().value_or("") == sink;
  };
  auto until = [](auto condition) {
    for (int i = 0; i < 200 && !condition(); ++i) std::this_thread::sleep_for(50ms);
    return condition();
  };

  auto first = platform::Spawn(daemon, options);
  ASSERT_TRUE(first && until([&] { return connected("speakers"); }));
  AudioEngine engine;
  EXPECT_TRUE(engine.Start(MURMURANT_BIN_DIR, kQuick));
  EXPECT_TRUE(connected("plovander_loopline"));
  platform::EndChild(*first, 2s);
  auto second = platform::Spawn(daemon, options);
  ASSERT_TRUE(second);
  EXPECT_TRUE(until([&] { return connected("plovander_loopline"); }))
      << "the engine did not come back with the server";
  EXPECT_EQ(ListeningDevice(), "speakers");
  EXPECT_TRUE(AudioEngine::Stop(0));
  EXPECT_TRUE(engine.WaitEnded(3s)) << "the engine did not end";
  EXPECT_TRUE(connected("speakers"));
  platform::EndChild(*second, 2s);
  setenv("PULSE_SERVER", harnessServer.c_str(), 1);
}

TEST(WaveStreamFaults, CaptureDeviceRemovedWhileTheStreamRuns) {
  auto server = Server();
  auto sinkModule = server->LoadModule(
      "module-null-sink", "sink_name=doomed sink_properties=device.description=Doomed-feed");
  ASSERT_TRUE(sinkModule);
  auto sourceModule = server->LoadModule(
      "module-remap-source",
      "source_name=doomed_mic master=doomed.monitor source_properties=device.description=Doomed");
  ASSERT_TRUE(sourceModule);
  const std::string id = InputDeviceIdNamed("Doomed");
  CountingSink sink;
  WaveStream stream(500);
  stream.SetInputNotify(&sink, 0x400 + 150);
  ASSERT_TRUE(stream.OpenInput(id.c_str()));
  Player tone("doomed", Tone(6.0, 500, 500));
  ASSERT_TRUE(stream.StartInput());
  // A freshly made capture device can take a second or two to deliver.
  ASSERT_TRUE(sink.WaitFor(1, 5s));
  ASSERT_TRUE(server->UnloadModule(*sourceModule));
  ASSERT_TRUE(server->UnloadModule(*sinkModule));
  std::this_thread::sleep_for(600ms);
  const int seen = sink.count();
  SampleBuffer got;
  EXPECT_TRUE(stream.ReadInput(&got));  // what was recorded before still comes
  EXPECT_EQ(got.ByteSize(), static_cast<std::size_t>(seen) * 48'000u);
  std::this_thread::sleep_for(600ms);
  EXPECT_EQ(sink.count(), seen);  // nothing more completes
  EXPECT_FALSE(stream.ReadInput(&got));
  EXPECT_FALSE(stream.StopInput());
  EXPECT_FALSE(stream.StartInput());
  EXPECT_TRUE(stream.OpenInput(nullptr));
}
