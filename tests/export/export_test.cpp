// Round trips through the export: files made here, exported with edits and
// read back by the ffmpeg program, compared with the source's own pictures.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "export/export_engine.h"
#include "export/output_formats.h"
#include "export/picture_stage.h"
#include "media/media_decoder.h"
#include "media/preview_player.h"
#include "support/temp_dir.h"
#include "test_media.h"

namespace {

using exporter::ExportEdits;
using exporter::OutputFormat;
namespace fs = std::filesystem;

const OutputFormat kLossless{"avi", "ffv1", "pcm_s16le", 0, 0, 0, 0};

// 20 s at 10 pictures a second with testsrc's picture counter, key frames
// every 3 s (so 5 s is not one); far side 440 Hz left, near side 1 kHz right.
std::string Recording() {
  return testmedia::Make("recording.avi",
                         {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=20", "-f",
                          "lavfi", "-i", "aevalsrc=0.5*sin(2*PI*440*t)|0.25*sin(2*PI*1000*t):s=44100:d=20",
                          "-c:v", "msmpeg4v3", "-q:v", "2", "-g", "30", "-c:a", "pcm_s16le"});
}

base::Outcome Convert(const std::string& in, const std::string& out, ExportEdits edits,
                           OutputFormat format, const std::function<void(int)>& progress = {},
                           const std::atomic<bool>* cancel = nullptr) {
  static const std::atomic<bool> never{false};
  return exporter::Export({in, out, edits, format}, progress, cancel ? *cancel : never);
}

media::StreamInfo Info(const std::string& path) {
  media::CMediaDecoder decoder;
  media::StreamInfo info;
  decoder.Initialise();
  if (decoder.Open(path.c_str()) == 1) decoder.GetStreamInfo(&info);
  return info;
}

std::string Codecs(const std::string& path) {
  std::string out;
  FILE* p = popen(("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + path + "'")
                      .c_str(), "r");
  for (int c; p && (c = fgetc(p)) != EOF;) out += c == '\n' ? ' ' : char(c);
  if (p) pclose(p);
  return out;
}

double MeanDiff(const uint8_t* a, const uint8_t* b, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) sum += std::abs(a[i] - b[i]);
  return sum / n;
}

double Rms(const std::vector<int16_t>& s, int channel) {
  double sum = 0;
  for (size_t i = channel; i < s.size(); i += 2) sum += double(s[i]) * s[i];
  return std::sqrt(sum / (s.size() / 2));
}

// Sign changes per second of one channel: twice the tone's frequency.
double Crossings(const std::vector<int16_t>& s, int channel, int rate) {
  int n = 0;
  for (size_t i = channel + 2; i < s.size(); i += 2) n += (s[i] >= 0) != (s[i - 2] >= 0);
  return n * double(rate) / (s.size() / 2);
}

}  // namespace

TEST(Export, TrimCutsOnTheExactPictureAndSample) {
  TempDir dir;
  const std::string src = Recording();
  ASSERT_FALSE(src.empty());
  ASSERT_TRUE(Convert(src, dir / "a.avi", {.trimStartFraction = 0.25, .trimEndFraction = 0.75},
                  kLossless).ok());
  EXPECT_NEAR(Info(dir / "a.avi").duration, 10.0, 0.1);  // one picture
  const size_t size = 160 * 120 * 3 / 2;
  const auto source = testmedia::ReferencePictures(src, 52);
  const auto first = testmedia::ReferencePictures(dir / "a.avi", 1);
  ASSERT_EQ(source.size(), 52 * size);
  ASSERT_EQ(first.size(), size);
  // Picture 50 is the one at 5 s; its neighbours differ in the counter.
  EXPECT_EQ(MeanDiff(first.data(), source.data() + 50 * size, size), 0.0);
  EXPECT_GT(MeanDiff(first.data(), source.data() + 49 * size, size), 0.5);
  EXPECT_GT(MeanDiff(first.data(), source.data() + 51 * size, size), 0.5);
  // Sound cut on the sample: 10 s of 44.1 kHz, left at its level.
  const auto sound = testmedia::ReferenceSound(dir / "a.avi", 2);
  EXPECT_EQ(sound.size(), 2u * 441000);
  // Start after end is the same span given the wrong way round, here into MP4.
  const OutputFormat mp4 = exporter::FormatFor(*edit::StandardProfiles().At(0), -1, -1, -1);
  ASSERT_TRUE(Convert(src, dir / "b.mp4", {.trimStartFraction = 0.75, .trimEndFraction = 0.25}, mp4).ok());
  EXPECT_NEAR(Info(dir / "b.mp4").duration, 10.0, 0.1);
  EXPECT_EQ(Codecs(dir / "b.mp4"), "h264 aac ");
}

TEST(Export, EveryStandardProfileWritesItsCodecs) {
  TempDir dir;
  const auto table = edit::StandardProfiles();
  const char* expected[] = {"h264 aac ", "vp9 opus ", "msmpeg4v3 pcm_s16le ", "aac "};
  for (int i = 0; i < 4; ++i) {
    const OutputFormat f = exporter::FormatFor(*table.At(i), 4, 0, -1);  // 640x360
    const std::string out = dir / ("p." + table.At(i)->extension);
    ASSERT_TRUE(Convert(Recording(), out, {.trimEndFraction = 0.1}, f).ok()) << table.At(i)->name;
    EXPECT_EQ(Codecs(out), expected[i]);
    EXPECT_EQ(Info(out).width, i == 3 ? 0 : 640);
  }
}

TEST(Export, CropZoomAndNegativePlaceThePicture) {
  TempDir dir;
  const std::string src = testmedia::Make(
      "pattern.avi", {"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=5", "-t", "0.4", "-c:v",
                      "ffv1", "-pix_fmt", "yuv420p"});
  const std::string centre = testmedia::Make(
      "centre.avi", {"-i", src, "-vf", "crop=480:360:80:60,scale=640:480", "-c:v", "ffv1"});
  ExportEdits edits;
  edits.crop = edit::PresetRect(edit::kCutOffAll);
  ASSERT_TRUE(Convert(src, dir / "c.avi", edits, kLossless).ok());
  const size_t size = 640 * 480 * 3 / 2;
  const auto got = testmedia::ReferencePictures(dir / "c.avi", 1);
  const auto want = testmedia::ReferencePictures(centre, 1);
  const auto whole = testmedia::ReferencePictures(src, 1);
  ASSERT_EQ(got.size(), size);
  ASSERT_EQ(want.size(), size);
  EXPECT_LT(MeanDiff(got.data(), want.data(), size), 1.0);
  EXPECT_GT(MeanDiff(got.data(), whole.data(), size), 10.0);

  // 4:3 into 16:9: 960 wide in the middle, black bars of 160 either side,
  // which stay black under Negative while the picture is inverted exactly.
  const std::string blue = testmedia::Make(
      "blue.avi", {"-f", "lavfi", "-i", "color=c=0x2050c0:size=320x240:rate=5", "-t", "0.4",
                   "-c:v", "ffv1", "-pix_fmt", "yuv420p"});
  OutputFormat wide = kLossless;
  wide.width = 1280;
  wide.height = 720;
  ASSERT_TRUE(Convert(blue, dir / "l.avi", {.effects = {.effect = 2}}, wide).ok());
  const auto boxed = testmedia::ReferencePictures(dir / "l.avi", 1);
  const auto plain = testmedia::ReferencePictures(blue, 1);
  ASSERT_EQ(boxed.size(), 1280u * 720 * 3 / 2);
  const uint8_t y = plain[0], u = plain[320 * 240], v = plain[320 * 240 * 5 / 4];
  const uint8_t* U = boxed.data() + 1280 * 720;
  const uint8_t* V = U + 640 * 360;
  for (int row : {0, 359, 719}) {
    EXPECT_EQ(boxed[row * 1280 + 0], 16);
    EXPECT_EQ(boxed[row * 1280 + 159], 16);
    EXPECT_EQ(boxed[row * 1280 + 160], 255 - y);
    EXPECT_EQ(boxed[row * 1280 + 1119], 255 - y);
    EXPECT_EQ(boxed[row * 1280 + 1120], 16);
    EXPECT_EQ(U[row / 2 * 640 + 40], 128);
    EXPECT_EQ(U[row / 2 * 640 + 320], 255 - u);
    EXPECT_EQ(V[row / 2 * 640 + 320], 255 - v);
  }
}

TEST(Export, PictureStageGivesThePreviewsBytes) {
  media::DecodedFrame frame;
  const std::string src = testmedia::Make(
      "still.avi", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-t", "0.2", "-c:v",
                    "msmpeg4v3"});
  ASSERT_TRUE(media::DecodeStill(src, 0.0, &frame));
  const edit::EffectSettings settings{.effect = 2, .brightness = 30, .contrast = 140,
                                      .saturation = -40};
  std::vector<uint8_t> preview(frame.data.size());
  edit::ApplyPictureEffects(settings, frame.data.data(), preview.data(), 320, 240);
  exporter::PictureStage stage(
      exporter::PlacePicture(320, 240, {}, exporter::Zoom::Letterbox, 0, 0), settings);
  std::vector<uint8_t> exported(stage.OutputBytes());
  ASSERT_TRUE(stage.ProcessPacked(frame.data.data(), 320, 240, exported.data()));
  EXPECT_EQ(exported, preview);
}

TEST(Export, VolumeHalvesTheLevelAndSidesStayApart) {
  TempDir dir;
  const std::string src = Recording();
  const auto before = testmedia::ReferenceSound(src, 2);
  OutputFormat wav{"wav", "", "pcm_s16le", 0, 0, 0, 0};
  ASSERT_TRUE(Convert(src, dir / "v.wav", {.trimEndFraction = 0.1, .effects = {.volume = 50}}, wav).ok());
  const auto half = testmedia::ReferenceSound(dir / "v.wav", 2);
  ASSERT_EQ(half.size(), 2u * 88200);
  const std::vector<int16_t> head(before.begin(), before.begin() + half.size());
  EXPECT_NEAR(20 * std::log10(Rms(half, 0) / Rms(head, 0)), -6.02, 0.5);
  EXPECT_NEAR(20 * std::log10(Rms(half, 1) / Rms(head, 1)), -6.02, 0.5);
  // Through AAC: 440 Hz stays left, 1 kHz right.
  const OutputFormat m4a = exporter::FormatFor(*edit::StandardProfiles().At(3), -1, -1, -1);
  ASSERT_TRUE(Convert(src, dir / "s.m4a", {.trimEndFraction = 0.1}, m4a).ok());
  const auto sides = testmedia::ReferenceSound(dir / "s.m4a", 2);
  EXPECT_NEAR(Crossings(sides, 0, 44100), 880, 20);
  EXPECT_NEAR(Crossings(sides, 1, 44100), 2000, 40);
}

TEST(Export, BadInputLeavesNoPartialFileAndTheSourceUntouched) {
  TempDir dir;
  const std::string src = Recording();
  const std::string before = ReadFile(src);
  const auto nothingAt = [&](const std::string& out) {
    return !fs::exists(out) && !fs::exists(out + ".part");
  };
  // Out of range values are brought into range.
  const ExportEdits wild = exporter::Sanitise(
      {.trimStartFraction = 0.8, .trimEndFraction = -3, .crop = {300, 200, 10, 5},
       .effects = {.brightness = 999, .volume = 1000}});
  EXPECT_EQ(wild.trimStartFraction, 0.0);
  EXPECT_EQ(wild.trimEndFraction, 0.8);
  EXPECT_EQ(wild.crop, edit::Sanitised({300, 200, 10, 5}));
  EXPECT_EQ(wild.effects.volume, 200);
  EXPECT_EQ(wild.effects.brightness, 100);

  auto r = Convert(dir / "missing.avi", dir / "m.avi", {}, kLossless);
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.message().find("missing.avi"), std::string::npos) << r.message();
  EXPECT_TRUE(nothingAt(dir / "m.avi"));
  EXPECT_FALSE(Convert(src, src, {}, kLossless).ok());  // never over the recording

  // Cancelled, and cut short while being read.
  std::atomic<bool> cancel{false};
  r = Convert(src, dir / "x.avi", {}, kLossless, [&](int p) { cancel = p >= 20; }, &cancel);
  EXPECT_TRUE(r.Is(exporter::ExportError::kCancelled));
  EXPECT_TRUE(nothingAt(dir / "x.avi"));
  fs::copy_file(src, dir / "short.avi");
  const auto length = fs::file_size(dir / "short.avi");
  r = Convert(dir / "short.avi", dir / "t.avi", {}, kLossless,
          [&](int p) { if (p == 20) truncate((dir / "short.avi").c_str(), length / 3); });
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.message().find("ended early"), std::string::npos) << r.message();
  EXPECT_TRUE(nothingAt(dir / "t.avi"));

  // A full disk and a read-only folder, on a small file system of their own.
  const std::string small = dir / "small";
  fs::create_directory(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") == 0) {
    r = Convert(src, small + "/f.avi", {}, kLossless);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.message().find("space"), std::string::npos) << r.message();
    EXPECT_TRUE(nothingAt(small + "/f.avi"));
    ASSERT_EQ(mount("tmpfs", small.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=256k"), 0);
    r = Convert(src, small + "/r.avi", {}, kLossless);
    EXPECT_NE(r.message().find("Read-only"), std::string::npos) << r.message();
    umount(small.c_str());
  } else {
    ADD_FAILURE() << "no tmpfs could be mounted: full disk and read-only folder not tested";
  }

  // What a source has is exported: picture alone, sound alone, or the sound
  // of a recording into an audio-only format.
  const std::string mute = testmedia::Make(
      "mute.avi", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-t", "1", "-c:v", "msmpeg4v3"});
  const std::string tone = testmedia::Make(
      "tone.wav", {"-f", "lavfi", "-i", "sine=f=440:d=1"});
  const OutputFormat mp4 = exporter::FormatFor(*edit::StandardProfiles().At(0), -1, -1, -1);
  ASSERT_TRUE(Convert(mute, dir / "mute.mp4", {}, mp4).ok());
  EXPECT_EQ(Codecs(dir / "mute.mp4"), "h264 ");
  ASSERT_TRUE(Convert(tone, dir / "tone.mp4", {}, mp4).ok());
  EXPECT_EQ(Codecs(dir / "tone.mp4"), "aac ");
  EXPECT_EQ(ReadFile(src), before);
}
