// A whole call recorded the way a user does it: the call-client double is in
// a call, its window showing the far side's face and its far side speaking
// (with a 1 kHz beep now and then) into the loopback once the recorder has
// attached; the near side speaks into the microphone. A real click starts
// "record fixed", F9 stops it five seconds later, and the file is read back
// with FFmpeg.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "audio/sound_test_support.h"
#include "avi_check.h"
#include "e2e_support.h"
#include "support/program.h"
#include "support/sandbox.h"
#include "support/temp_dir.h"
#include "support/x_screen.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kBin = MURMURANT_BIN_DIR;
// The far side's beeps; the near side a tone the far side does not hold.
constexpr double kFarHz = 1000, kNearHz = 3000;

}  // namespace

TEST(RecordCall, RecordFixedThenF9GivesTheCallWindowWithBothSidesApart) {
  Sandbox box;
  xtest::MovePointer(1200, 1000);
  const std::string clientLog = box.dir / "client.log";
  ChildProgram client({std::string(SKYPE_DOUBLE_PATH), "--log", clientLog, "--geometry",
                       "402x302+600+200", "--in-call"},
                      box.env());
  ASSERT_TRUE(client.started());
  ASSERT_TRUE(xtest::WaitForWindow("Skype", 10000)) << "the double shows no window";
  ChildProgram recorder({kBin + "/murmurant"}, box.env(), box.dir / "murmurant.log");
  ASSERT_TRUE(recorder.started());
  ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 20000)) << "no main window";
  ASSERT_TRUE(e2e::WaitForLoopbackSink(5000)) << "the audio engine made no loopback device";
  ASSERT_TRUE(e2e::WaitFor(
      [&] {
        return ReadFile(clientLog).find("playing on Speaker (Plovander Loopline)") !=
               std::string::npos;
      },
      10000))
      << "the far side never went into the loopback:\n"
      << ReadFile(clientLog);
  soundtest::Player near(soundtest::MicSink(), soundtest::Tone(12, kNearHz, kNearHz));
  ASSERT_TRUE(near.started());

  e2e::Click(37, 55);  // "record fixed"
  ASSERT_TRUE(e2e::WaitFor([] { return e2e::Viewable("Stop Record"); }, 5000))
      << "the recording did not start";
  std::this_thread::sleep_for(5s);
  xtest::Key("F9");

  auto recording = e2e::WaitForFinishedRecording(box, 10000);
  ASSERT_TRUE(recording) << "no finished recording";
  EXPECT_TRUE(std::regex_match(recording->path.filename().string(),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.avi)")))
      << recording->path;

  auto probe = avicheck::Probe(recording->path);
  EXPECT_EQ(probe["streams.stream.0.codec_name"], "msmpeg4v3");
  EXPECT_EQ(probe["streams.stream.0.codec_tag_string"], "MP43");
  EXPECT_EQ(probe["streams.stream.0.width"], "400");   // 402 rounded down
  EXPECT_EQ(probe["streams.stream.0.height"], "300");  // 302 rounded down
  EXPECT_EQ(probe["streams.stream.0.r_frame_rate"], "25/1");
  EXPECT_EQ(probe["streams.stream.1.codec_name"], "pcm_s16le");
  EXPECT_EQ(probe["streams.stream.1.sample_rate"], "48000");
  EXPECT_EQ(probe["streams.stream.1.channels"], "2");

  // The pictures are the double's call: the far side's face in the middle.
  int pictures = 0, face = 0;
  const auto contents = avicheck::Read(recording->path, [&](const avicheck::Picture& p) {
    ++pictures;
    const std::uint8_t* bgr = p.at(p.width / 2, p.height / 2 + p.height / 8);
    face += std::abs(bgr[2] - 222) < 30 && std::abs(bgr[1] - 176) < 30 && std::abs(bgr[0] - 136) < 30;
  });
  ASSERT_TRUE(contents.opened);
  EXPECT_EQ(contents.decodeErrors, 0);
  EXPECT_GT(face, pictures * 3 / 4) << "of " << pictures << " pictures";

  const double video = (contents.lastVideoPts + 1) / 25.0;
  const double audio = contents.samples.size() / 2.0 / 48000.0;
  std::printf("recorded video %.3f s, audio %.3f s, difference %.0f ms\n", video, audio,
              (video - audio) * 1000);
  EXPECT_NEAR(video, 5.0, 0.7);
  EXPECT_LT(std::abs(video - audio), 0.3);

  // Far side only on the left, near side only on the right.
  const auto* pcm = reinterpret_cast<const std::uint8_t*>(contents.samples.data());
  const size_t bytes = contents.samples.size() * 2;
  const double farLeft = soundtest::Energy(pcm, bytes, 0, kFarHz);
  const double farRight = soundtest::Energy(pcm, bytes, 1, kFarHz);
  const double nearLeft = soundtest::Energy(pcm, bytes, 0, kNearHz);
  const double nearRight = soundtest::Energy(pcm, bytes, 1, kNearHz);
  EXPECT_GT(farLeft, 100 * (farRight + 1));
  EXPECT_GT(nearRight, 100 * (nearLeft + 1));
  EXPECT_GT(farLeft, 1e5);
  EXPECT_GT(nearRight, 1e5);
  EXPECT_TRUE(recorder.running());
}

TEST(RecordCall, RecordCustomRecordsTheDraggedRegionAndAClickRecordsNothing) {
  Sandbox box;
  xtest::MovePointer(1200, 1000);
  ChildProgram recorder({kBin + "/murmurant"}, box.env(), box.dir / "murmurant.log");
  ASSERT_TRUE(recorder.started());
  ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 20000)) << "no main window";
  std::this_thread::sleep_for(1s);

  auto clickRecordCustom = [] {
    xtest::MovePointer(97, 55);
    std::this_thread::sleep_for(200ms);
    xtest::PressButton(1, true);
    xtest::PressButton(1, false);
    std::this_thread::sleep_for(1s);  // the selection window covers the screen
  };

  // A click without movement selects nothing: no recording starts.
  clickRecordCustom();
  xtest::MovePointer(600, 600);
  std::this_thread::sleep_for(200ms);
  xtest::PressButton(1, true);
  std::this_thread::sleep_for(100ms);
  xtest::PressButton(1, false);
  std::this_thread::sleep_for(1500ms);
  xtest::Key("F9");
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(box.Recordings().empty());

  // A drag from (10, 20) to (330, 260) records that region.
  ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 3000)) << "main window not back after the click";
  clickRecordCustom();
  xtest::MovePointer(10, 20);
  std::this_thread::sleep_for(200ms);
  xtest::PressButton(1, true);
  for (int step = 1; step <= 8; ++step) {
    xtest::MovePointer(10 + 40 * step, 20 + 30 * step);
    std::this_thread::sleep_for(50ms);
  }
  xtest::PressButton(1, false);
  std::this_thread::sleep_for(2s);
  xtest::Key("F9");

  std::vector<fs::path> files;
  for (int i = 0; i < 50 && files.empty(); ++i) {
    std::this_thread::sleep_for(200ms);
    files = box.Recordings();
  }
  ASSERT_EQ(files.size(), 1u);
  avicheck::Contents contents;
  for (int i = 0; i < 25 && !(contents = avicheck::Read(files[0])).opened; ++i)
    std::this_thread::sleep_for(200ms);
  auto probe = avicheck::Probe(files[0]);
  EXPECT_EQ(probe["streams.stream.0.width"], "320");
  EXPECT_EQ(probe["streams.stream.0.height"], "240");
  EXPECT_GT(contents.pictures, 0);
  EXPECT_TRUE(recorder.running());
}
