// The media decoder on real files: our own recordings from the capture
// writer, files ffmpeg makes from its generated sources, and damaged input.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "killed_recording.h"
#include "media/media_decoder.h"
#include "media/preview_player.h"
#include "support/temp_dir.h"
#include "test_media.h"

namespace {

using media::CMediaDecoder;
using media::DecodedFrame;
using media::StreamInfo;

struct Opened {
  CMediaDecoder decoder;
  StreamInfo info;
  int open = -1;
  explicit Opened(const std::string& path) {
    decoder.Initialise();
    open = decoder.Open(path.c_str());
    if (open == 1) decoder.GetStreamInfo(&info);
  }
};

// Every picture to the end: a failure before the end (a packet that gave
// no picture) does not stop the count; a bound does.
int CountPictures(CMediaDecoder& d, DecodedFrame* frame) {
  int pictures = 0;
  for (int calls = 0; calls < 100'000; ++calls) {
    if (d.DecodeVideoFrame(frame) == 1) ++pictures;
    else if (d.VideoEnded()) break;
  }
  return pictures;
}

std::vector<int16_t> AllSound(CMediaDecoder& d) {
  auto frame = d.CreateAudioFrame();
  std::vector<int16_t> all;
  while (d.DecodeAudio(frame.get()) == 1) {
    const auto* s = reinterpret_cast<const int16_t*>(frame->data.data());
    all.insert(all.end(), s, s + frame->count);
  }
  return all;
}

std::string OurRecording() {
  static const std::string path = [] {
    const std::string p = testmedia::Folder() + "/ours.avi";
    killtest::Plan plan;  // 320 x 240, 150 pictures (6 s), 440 Hz left, 1 kHz right
    plan.finish = true;
    return killtest::Record(p, plan).ok ? p : std::string();
  }();
  return path;
}

// Pictures are ffmpeg's own, byte for byte: the luma plane whole, the chroma
// planes in our layout of width / 2 columns.
TEST(Decoder, PicturesAreTheReferenceDecodersBytesAtEvenAndOddSizes) {
  for (const auto& [name, size] : {std::pair{"bars640.avi", "640x480"}, {"bars321.avi", "321x240"}}) {
    const std::string path = testmedia::Make(
        name, {"-f", "lavfi", "-i", std::string("smptebars=size=") + size + ":rate=25", "-t", "1",
               "-c:v", name == std::string("bars640.avi") ? "msmpeg4v3" : "mpeg4", "-q:v", "3"});
    ASSERT_FALSE(path.empty());
    constexpr int kPictures = 5;
    const std::vector<uint8_t> reference = testmedia::ReferencePictures(path, kPictures);
    Opened f(path);
    ASSERT_EQ(f.open, 1) << name;
    const int w = f.info.width, h = f.info.height;
    const int cw = w / 2, ch = h / 2, refCw = (w + 1) / 2, refCh = (h + 1) / 2;
    const size_t refPicture = static_cast<size_t>(w) * h + 2 * static_cast<size_t>(refCw) * refCh;
    ASSERT_EQ(reference.size(), refPicture * kPictures) << name;
    auto frame = f.decoder.CreateVideoFrame();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->data.size(), static_cast<size_t>(w) * h + 2 * static_cast<size_t>(cw) * ch);
    for (int p = 0; p < kPictures; ++p) {
      int calls = 0;
      while (f.decoder.DecodeVideoFrame(frame.get()) != 1) ASSERT_LT(++calls, 10) << name;
      EXPECT_NEAR(frame->time, p * 0.04, 1e-6) << name;
      const uint8_t* ref = reference.data() + refPicture * p;
      const uint8_t* got = frame->data.data();
      ASSERT_EQ(0, std::memcmp(got, ref, static_cast<size_t>(w) * h)) << name << " picture " << p;
      for (int plane = 0; plane < 2; ++plane) {
        const uint8_t* refPlane = ref + static_cast<size_t>(w) * h + plane * static_cast<size_t>(refCw) * refCh;
        const uint8_t* gotPlane = got + static_cast<size_t>(w) * h + plane * static_cast<size_t>(cw) * ch;
        for (int row = 0; row < ch; ++row)
          ASSERT_EQ(0, std::memcmp(gotPlane + row * cw, refPlane + row * refCw, cw))
              << name << " picture " << p << " plane " << plane << " row " << row;
      }
    }
  }
}

TEST(Decoder, OurRecordingPlaysToItsEndSeeksToBothEndsAndKeepsItsFrameSize) {
  const std::string path = OurRecording();
  ASSERT_FALSE(path.empty());
  Opened f(path);
  ASSERT_EQ(f.open, 1);
  EXPECT_EQ(f.info.hasVideo, 1);
  EXPECT_EQ(f.info.hasAudio, 1);
  EXPECT_EQ(f.info.width, 320);
  EXPECT_EQ(f.info.height, 240);
  EXPECT_DOUBLE_EQ(f.info.frameRate, 25.0);
  EXPECT_NEAR(f.info.duration, 6.0, 0.05);
  EXPECT_EQ(f.info.sampleRate, 48'000);
  EXPECT_EQ(f.info.channels, 2);

  auto frame = f.decoder.CreateVideoFrame();
  ASSERT_TRUE(frame);
  ASSERT_EQ(f.decoder.DecodeVideoFrame(frame.get()), 1);
  const std::vector<uint8_t> first = frame->data;
  EXPECT_EQ(CountPictures(f.decoder, frame.get()), 149);
  EXPECT_TRUE(f.decoder.VideoEnded());
  // The sound is the file's, sample for sample.
  EXPECT_EQ(AllSound(f.decoder), testmedia::ReferenceSound(path, 2));
  EXPECT_TRUE(f.decoder.AudioEnded());

  // Back to the start: the first picture again, from the same frame.
  ASSERT_EQ(f.decoder.Seek(0.0), 1);
  EXPECT_FALSE(f.decoder.VideoEnded());
  ASSERT_EQ(f.decoder.DecodeVideoFrame(frame.get()), 1);
  EXPECT_EQ(frame->data, first);
  EXPECT_NEAR(frame->time, 0.0, 1e-6);
  // A frame of another size is refused.
  DecodedFrame other = *frame;
  other.width = 160;
  EXPECT_EQ(f.decoder.DecodeVideoFrame(&other), -1);
  // Halfway: a picture at about three seconds.
  ASSERT_EQ(f.decoder.Seek(0.5), 1);
  ASSERT_EQ(f.decoder.DecodeVideoFrame(frame.get()), 1);
  EXPECT_NEAR(frame->time, 3.0, 0.5);
  // At the end both inputs say so at once.
  ASSERT_EQ(f.decoder.Seek(1.0), 1);
  EXPECT_EQ(f.decoder.DecodeVideoFrame(frame.get()), -1);
  auto sound = f.decoder.CreateAudioFrame();
  EXPECT_EQ(f.decoder.DecodeAudio(sound.get()), -1);
  EXPECT_TRUE(f.decoder.VideoEnded());
  EXPECT_TRUE(f.decoder.AudioEnded());

  // A null name leaves the open file as it was; a name past 259 characters
  // is refused the same way.
  EXPECT_EQ(f.decoder.Open(nullptr), -1);
  EXPECT_EQ(f.decoder.Open(std::string(300, 'a').c_str()), -1);
  ASSERT_EQ(f.decoder.Seek(0.0), 1);
  EXPECT_EQ(f.decoder.DecodeVideoFrame(frame.get()), 1);
}

TEST(Decoder, SoundOnlyAndPictureOnlyFiles) {
  const std::string wav = testmedia::Make(
      "tone.wav", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "3"});
  ASSERT_FALSE(wav.empty());
  Opened s(wav);
  ASSERT_EQ(s.open, 1);
  EXPECT_EQ(s.info.hasVideo, 0);
  EXPECT_EQ(s.info.hasAudio, 1);
  EXPECT_NEAR(s.info.duration, 3.0, 0.01);
  EXPECT_EQ(s.info.channels, 1);
  EXPECT_EQ(s.info.sampleRate, 44'100);
  EXPECT_EQ(media::ClockRate(s.info), 1);
  EXPECT_FALSE(s.decoder.CreateVideoFrame());
  EXPECT_EQ(AllSound(s.decoder), testmedia::ReferenceSound(wav, 1));
  EXPECT_FALSE(s.decoder.VideoEnded());

  const std::string silent = testmedia::Make(
      "silent.avi", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=15", "-t", "2", "-c:v", "msmpeg4v3"});
  ASSERT_FALSE(silent.empty());
  Opened v(silent);
  ASSERT_EQ(v.open, 1);
  EXPECT_EQ(v.info.hasAudio, 0);
  auto sound = v.decoder.CreateAudioFrame();
  EXPECT_EQ(v.decoder.DecodeAudio(sound.get()), -1);
  EXPECT_FALSE(v.decoder.AudioEnded());
  auto frame = v.decoder.CreateVideoFrame();
  EXPECT_EQ(CountPictures(v.decoder, frame.get()), 30);
}

// Six channels of float sound become two of 16-bit, mixed as ffmpeg mixes.
TEST(Decoder, ManyChannelsOfFloatSoundComeOutAsStereo) {
  const std::string path = testmedia::Make(
      "surround.m4a",
      {"-f", "lavfi", "-i",
       "aevalsrc=0.3*sin(300*2*PI*t)|0.3*sin(700*2*PI*t)|0.3*sin(500*2*PI*t)|0.1*sin(60*2*PI*t)|"
       "0.2*sin(900*2*PI*t)|0.2*sin(1100*2*PI*t):c=5.1:s=48000",
       "-t", "2", "-c:a", "aac"});
  ASSERT_FALSE(path.empty());
  Opened f(path);
  ASSERT_EQ(f.open, 1);
  EXPECT_EQ(f.info.channels, 2);
  const std::vector<int16_t> got = AllSound(f.decoder);
  const std::vector<int16_t> reference = testmedia::ReferenceSound(path, 2);
  ASSERT_EQ(got.size(), reference.size());
  int worst = 0;
  for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(got[i] - reference[i]));
  EXPECT_LE(worst, 1);
}

TEST(Decoder, ClockRatesOfRealFiles) {
  struct Case {
    const char* name;
    const char* rate;
    const char* codec;
    const char* frames;
    int clock;
  };
  // A one-picture file in this container reports a rate of 1000.
  for (const Case& c : {Case{"ntsc.avi", "30000/1001", "msmpeg4v3", "30", 30},
                        Case{"15.avi", "15", "msmpeg4v3", "15", 15},
                        Case{"120.mkv", "120", "mpeg4", "120", 24},
                        Case{"1000.flv", "25", "flv1", "1", 24}}) {
    const std::string path = testmedia::Make(
        c.name, {"-f", "lavfi", "-i", std::string("testsrc2=size=160x120:rate=") + c.rate,
                 "-frames:v", c.frames, "-c:v", c.codec});
    ASSERT_FALSE(path.empty()) << c.name;
    Opened f(path);
    ASSERT_EQ(f.open, 1) << c.name;
    EXPECT_EQ(media::ClockRate(f.info), c.clock) << c.name << " reports " << f.info.frameRate;
  }
  // A file that reports no rate at all (ffmpeg's own writers always give
  // one) ticks at 24, and still has ticks to play.
  StreamInfo none;
  none.hasVideo = 1;
  none.duration = 10;
  EXPECT_EQ(media::ClockRate(none), 24);
  EXPECT_EQ(media::TotalTicks(none), 240);
}

TEST(Decoder, DamagedAndForeignInputFailsOrEndsQuietly) {
  TempDir dir;
  const std::string ours = OurRecording();
  ASSERT_FALSE(ours.empty());
  const std::string whole = ReadFile(ours);
  WriteFile(dir / "half.avi", whole.substr(0, whole.size() / 2));
  WriteFile(dir / "empty.avi", "");
  std::string noise(200'000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  WriteFile(dir / "noise.avi", noise);
  killtest::Plan killedPlan;
  const killtest::Outcome killed = killtest::Record(dir / "killed.avi", killedPlan);
  ASSERT_TRUE(killed.ok) << killed.error;
  killtest::Plan nothing;
  nothing.pictures = 0;
  nothing.finish = true;
  ASSERT_TRUE(killtest::Record(dir / "zero.avi", nothing).ok);

  for (const char* name : {"empty.avi", "noise.avi", "missing.avi"}) {
    Opened f(dir / name);
    EXPECT_EQ(f.open, -1) << name;
    EXPECT_FALSE(f.decoder.CreateVideoFrame()) << name;
  }
  // A file cut in half plays its first half.
  {
    Opened f(dir / "half.avi");
    ASSERT_EQ(f.open, 1);
    auto frame = f.decoder.CreateVideoFrame();
    const int pictures = CountPictures(f.decoder, frame.get());
    EXPECT_GT(pictures, 50);
    EXPECT_LT(pictures, 100);
  }
  // A recording whose program was killed (no index) plays as far as written.
  {
    Opened f(dir / "killed.avi");
    ASSERT_EQ(f.open, 1);
    ASSERT_EQ(f.info.hasVideo, 1);
    auto frame = f.decoder.CreateVideoFrame();
    EXPECT_GE(CountPictures(f.decoder, frame.get()), killed.picturesWritten - 5);
    EXPECT_GT(AllSound(f.decoder).size(), 0u);
  }
  // A recording of no pictures opens, or not, and gives none.
  {
    Opened f(dir / "zero.avi");
    if (auto frame = f.decoder.CreateVideoFrame()) {
      EXPECT_EQ(CountPictures(f.decoder, frame.get()), 0);
    }
  }
}

// Takes about a minute and 2.4 GiB of disk: run with MURMURANT_LARGE_TESTS=1.
TEST(Decoder, RecordingPastOneGibibyteSeeksIntoItsLastPart) {
  if (!std::getenv("MURMURANT_LARGE_TESTS")) GTEST_SKIP() << "set MURMURANT_LARGE_TESTS=1";
  TempDir dir;
  struct statvfs vfs {};
  if (::statvfs(dir.path().c_str(), &vfs) != 0 ||
      static_cast<double>(vfs.f_bavail) * vfs.f_frsize < 1.5 * (1 << 30))
    GTEST_SKIP() << "needs 1.5 GiB free in the temporary folder";
  killtest::Plan plan;  // 1100 pictures, each with 1 MiB of sound: 1.1 GiB
  plan.width = 64;
  plan.height = 48;
  plan.pictures = 1100;
  plan.audioChunkFrames = 1 << 18;
  plan.finish = true;
  const std::string path = dir / "large.avi";
  ASSERT_TRUE(killtest::Record(path, plan).ok);
  Opened f(path);
  ASSERT_EQ(f.open, 1);
  EXPECT_NEAR(f.info.duration, 44.0, 0.1);
  auto frame = f.decoder.CreateVideoFrame();
  ASSERT_EQ(f.decoder.Seek(0.95), 1);
  ASSERT_EQ(f.decoder.DecodeVideoFrame(frame.get()), 1);
  EXPECT_NEAR(frame->time, 0.95 * 44.0, 1.0);
  EXPECT_GT(CountPictures(f.decoder, frame.get()), 30);
  auto sound = f.decoder.CreateAudioFrame();
  EXPECT_EQ(f.decoder.DecodeAudio(sound.get()), 1);
  // Sound comes in packets of 5.5 s here: the first at or after the target.
  EXPECT_GE(sound->time, 0.95 * 44.0 - 0.1);
  EXPECT_LT(sound->time, 0.95 * 44.0 + 5.5);
}

}  // namespace
