#include "audio/wave_stream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include "sound_test_support.h"

using audio::FormatRequest;
using audio::SampleBuffer;
using audio::WaveStream;
using namespace std::chrono_literals;
using namespace soundtest;

namespace {

constexpr int kMessage = 0x400 + 150;

// Points the process at a server that is not there, for one test.
class NoServer {
 public:
  NoServer() {
    if (const char* s = std::getenv("PULSE_SERVER")) saved_ = s;
    setenv("PULSE_SERVER", "unix:/nonexistent/murmurant/native", 1);
  }
  ~NoServer() {
    if (saved_) setenv("PULSE_SERVER", saved_->c_str(), 1);
    else unsetenv("PULSE_SERVER");
  }

 private:
  std::optional<std::string> saved_;
};

}  // namespace

TEST(WaveDevices, ListsStartWithTheDefaultAndLeaveMonitorsOut) {
  auto inputs = platform::ListWaveInputs();
  ASSERT_FALSE(inputs.empty());
  EXPECT_EQ(inputs[0].name, "Microphone");
  for (const auto& d : inputs) EXPECT_EQ(d.name.find("Monitor"), std::string::npos) << d.name;
  auto outputs = platform::ListWaveOutputs();
  ASSERT_GE(outputs.size(), 2u);
  EXPECT_EQ(outputs[0].name, "Speakers");
  EXPECT_NE(DeviceId(outputs, "Microphone-feed"), "");
}

TEST(WaveStream, BuffersOfHalfASecondHoldAQuarterSecondOfStereo) {
  WaveStream stream(500);
  EXPECT_EQ(stream.inputBufferSize(), 48'000);
  EXPECT_EQ(stream.outputBufferSize(), 48'000);
  EXPECT_EQ(stream.inputFormat().averageBytesPerSecond, 96'000);
  // No device named: succeeds and leaves the side closed.
  EXPECT_TRUE(stream.OpenInput(nullptr));
  EXPECT_FALSE(stream.inputOpen());
  EXPECT_FALSE(stream.StartInput());
  EXPECT_FALSE(stream.OpenInput("99"));  // names no device
  EXPECT_FALSE(stream.inputOpen());
  WaveStream zero(0);
  EXPECT_FALSE(zero.OpenInput("-1"));
}

TEST(WaveStream, RecordsTheMicrophoneOneNotificationPerBuffer) {
  CountingSink sink;
  WaveStream stream(500);
  ASSERT_TRUE(stream.SetInputNotify(&sink, kMessage));
  ASSERT_TRUE(stream.OpenInput("-1"));
  SampleBuffer buffer;
  buffer.SetSampleCount(10);
  EXPECT_FALSE(stream.ReadInput(&buffer));  // nothing complete yet
  EXPECT_EQ(buffer.sampleCount(), 10);      // and the buffer is untouched

  Player tone(MicSink(), Tone(2.0, 440, 1000));
  ASSERT_TRUE(tone.started());
  ASSERT_TRUE(stream.StartInput());
  ASSERT_TRUE(sink.WaitFor(3, 3s));
  ASSERT_TRUE(stream.StopInput());  // freeze the count at exactly three
  EXPECT_EQ(sink.count(), 3);
  EXPECT_EQ(sink.last(), kMessage);
  EXPECT_EQ(stream.inputPending(), 3u);
  EXPECT_FALSE(stream.inputFlowing());  // stopped

  ASSERT_TRUE(stream.ReadInput(&buffer));
  EXPECT_EQ(buffer.ByteSize(), 3u * 48'000u);
  EXPECT_EQ(buffer.sampleCount(), 72'000);
  EXPECT_EQ(buffer.sampleRate(), 48'000);
  EXPECT_TRUE(stream.inputFlowing());
  // The last buffer was recorded while the tone played: both channels carry it.
  const std::uint8_t* last = buffer.data() + 2 * 48'000;
  EXPECT_GT(Energy(last, 48'000, 0, 440), 100 * Energy(last, 48'000, 0, 1000));
  EXPECT_GT(Energy(last, 48'000, 1, 1000), 100 * Energy(last, 48'000, 1, 440));
  EXPECT_FALSE(stream.ReadInput(&buffer));

  // The ring keeps going: four more buffers arrive after the drain re-queued.
  ASSERT_TRUE(stream.StartInput());
  ASSERT_TRUE(sink.WaitFor(5, 3s));
  EXPECT_TRUE(stream.ReadInput(&buffer));
}

TEST(WaveStream, PlaysWholeBuffersIntoADeviceTheMicrophoneHears) {
  WaveStream player(500);
  const std::string feed = DeviceId(platform::ListWaveOutputs(), "Microphone-feed");
  ASSERT_NE(feed, "");
  ASSERT_TRUE(player.OpenOutput(feed.c_str()));
  CountingSink played;
  player.SetOutputNotify(&played, 0x400 + 7);
  ASSERT_TRUE(player.StartOutput());
  int room = 0;
  ASSERT_TRUE(player.GetOutputRoom(&room));
  EXPECT_EQ(room, 3 * 48'000 / 2);

  WaveStream recorder(500);
  CountingSink heard;
  recorder.SetInputNotify(&heard, kMessage);
  ASSERT_TRUE(recorder.OpenInput("-1"));
  ASSERT_TRUE(recorder.StartInput());

  const auto tone = Tone(0.375, 0, 1500);  // 1.5 buffers' worth
  SampleBuffer block;
  block.SetSampleCount(static_cast<int>(tone.size() / 2));
  std::memcpy(block.data(), tone.data(), tone.size());
  ASSERT_TRUE(player.WriteOutput(&block));  // one buffer played, the half dropped
  ASSERT_TRUE(player.GetOutputRoom(&room));
  EXPECT_EQ(room, 2 * 48'000 / 2);
  SampleBuffer tooMuch;
  tooMuch.SetSampleCount(3 * 48'000 / 2);
  EXPECT_FALSE(player.WriteOutput(&tooMuch));  // more than the room
  EXPECT_FALSE([&] {
    SampleBuffer b;
    b.SetSampleRate(44'100);
    b.SetSampleCount(48'000);
    return player.WriteOutput(&b);
  }());

  // Keep the device fed for about two seconds as room comes free.
  for (int i = 0; i < 7; ++i) {
    // The whole block must fit, though only one buffer of it is played.
    while (player.GetOutputRoom(&room), room < 48'000) {
      ASSERT_TRUE(player.WaitForOutputRoom(2s)) << i;
      std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(player.WriteOutput(&block)) << i;
  }
  EXPECT_GE(played.count(), 4);
  // Undrained, the recorder stops after its four queued buffers.
  ASSERT_TRUE(heard.WaitFor(4, 4s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(heard.count(), 4);
  SampleBuffer got;
  ASSERT_TRUE(recorder.ReadInput(&got));
  const std::size_t tail = got.ByteSize() - 48'000;
  EXPECT_GT(Energy(got.data() + tail, 48'000, 1, 1500), 1e6);
  EXPECT_LT(Energy(got.data() + tail, 48'000, 0, 1500), 1e3);
  EXPECT_TRUE(player.StopOutput());
  EXPECT_TRUE(player.OpenOutput(nullptr));
}

TEST(WaveStream, FormatNegotiationReportsWhatTheSideUses) {
  WaveStream stream(500);
  FormatRequest mono{0, 1, 16'000, 16};
  ASSERT_TRUE(stream.SetInputFormat(&mono, "-1"));
  EXPECT_EQ(stream.inputBufferSize(), 500 * 16'000 * 2 / 1000);
  FormatRequest odd{0, 2, 48'000, 12};
  EXPECT_FALSE(stream.SetInputFormat(&odd, "-1"));
  EXPECT_EQ(odd.channels, 1);  // written back: the side still uses the mono format
  EXPECT_EQ(odd.samplesPerSecond, 16'000);
  EXPECT_EQ(odd.bitsPerSample, 16);
  FormatRequest missing{0, 2, 48'000, 16};
  EXPECT_FALSE(stream.SetInputFormat(&missing, "42"));
  EXPECT_EQ(missing.channels, 0);  // any other failure zeroes the request
  FormatRequest kind{1, 2, 48'000, 16};
  EXPECT_FALSE(stream.SetInputFormat(&kind, "-1"));
  EXPECT_FALSE(stream.SetInputFormat(&mono, nullptr));
  // Once the side's buffers exist the format is fixed.
  ASSERT_TRUE(stream.OpenInput("-1"));
  FormatRequest late{0, 2, 48'000, 16};
  EXPECT_FALSE(stream.SetInputFormat(&late, "-1"));
}

TEST(WaveStreamFaults, NoServerFailsEveryOpenQuietly) {
  NoServer gone;
  EXPECT_TRUE(platform::ListWaveInputs().empty());
  EXPECT_TRUE(platform::WaveIn::Query(-1, {}).Is(platform::WaveError::kNoServer));
  WaveStream stream(500);
  EXPECT_FALSE(stream.OpenInput("-1"));
  EXPECT_FALSE(stream.OpenOutput("-1"));
  EXPECT_FALSE(stream.StartOutput());
  FormatRequest request{0, 2, 48'000, 16};
  EXPECT_FALSE(stream.SetInputFormat(&request, "-1"));
  SampleBuffer buffer;
  EXPECT_FALSE(stream.ReadInput(&buffer));
}

TEST(WaveStreamFaults, DestroyedWhileBuffersAreQueuedAndSoundArrives) {
  Player tone(MicSink(), Tone(1.0, 440, 440));
  for (int round = 0; round < 3; ++round) {
    CountingSink sink;
    auto stream = std::make_unique<WaveStream>(500);
    stream->SetInputNotify(&sink, kMessage);
    ASSERT_TRUE(stream->OpenInput("-1"));
    ASSERT_TRUE(stream->StartInput());
    std::this_thread::sleep_for(std::chrono::milliseconds(100 * round));
    stream.reset();  // four buffers still queued, device thread running
    const int seen = sink.count();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink.count(), seen);  // nothing is posted after destruction
  }
}

TEST(WaveStream, PlayWholeHandsOverOneBlockAndThenStopsFlowing) {
  WaveStream player(500);
  SampleBuffer block;
  block.SetSampleCount(48'000);
  EXPECT_FALSE(player.PlayWhole(&block));  // no output device
  const std::string feed = DeviceId(platform::ListWaveOutputs(), "Microphone-feed");
  ASSERT_TRUE(player.OpenOutput(feed.c_str()));
  CountingSink done;
  player.SetOutputNotify(&done, 0x400 + 8);
  const auto tone = Tone(0.5, 800, 800);
  std::memcpy(block.data(), tone.data(), tone.size());
  ASSERT_TRUE(player.PlayWhole(&block));
  EXPECT_TRUE(player.outputFlowing());
  ASSERT_TRUE(done.WaitFor(1, 5s));  // handed over in about real time
  EXPECT_FALSE(player.outputFlowing());  // the one block is done
  EXPECT_TRUE(player.PauseOutput());
  EXPECT_TRUE(player.RestartOutput());
  EXPECT_TRUE(player.OpenOutput(nullptr));
  EXPECT_TRUE(player.PauseOutput());  // no device: nothing to pause
}
