// The effects' arithmetic on pictures decoded from real files and on sound
// samples: exact bytes at the edges, and the table-driven hook against the
// rules applied one sample at a time.
#include <gtest/gtest.h>

#include <algorithm>

#include "edit/picture_effects.h"
#include "media/preview_player.h"
#include "test_media.h"

namespace {

using edit::EffectSettings;

// Decoded by the player's own still decoder.
media::DecodedFrame Picture(const std::string& name, const std::string& filter, const char* codec) {
  media::DecodedFrame frame;
  const std::string path = testmedia::Make(
      name, {"-f", "lavfi", "-i", filter, "-t", "1", "-c:v", codec, "-pix_fmt", "yuv420p"});
  EXPECT_TRUE(media::DecodeStill(path, 0.0, &frame)) << name;
  return frame;
}
// Lossless bands of luma 10, 16, 200 and a ramp; chroma 128 under the
// 16 band, ramps elsewhere. And a pattern.
media::DecodedFrame Bands() {
  return Picture("bands.avi",
                 "nullsrc=size=64x32:rate=25,geq=lum='if(lt(X,16),10,if(lt(X,32),16,"
                 "if(lt(X,48),200,X*4)))':cb='if(between(X,8,15),128,40+4*X)':"
                 "cr='if(between(X,8,15),128,250-4*X)'",
                 "ffv1");
}
media::DecodedFrame Pattern() {
  return Picture("pattern.avi", "testsrc2=size=320x240:rate=25", "msmpeg4v3");
}

using Bytes = std::vector<uint8_t>;

// The rules read literally, one sample at a time, in floating point.
Bytes Reference(const EffectSettings& s, Bytes p, int w, int h) {
  const size_t luma = size_t(w) * h, end = luma + 2 * size_t(w / 2) * (h / 2);
  const double c = float(s.contrast * 0.01), b = float(s.brightness), percent = 0.01f;
  for (size_t i = 0; i < end && (s.saturation != 0 || s.contrast != 100 || s.brightness != 0); ++i)
    p[i] = i < luma
               ? int(std::clamp((p[i] - 128) * c + b, -112.0, 112.0) + 128)
               : std::clamp(int((p[i] - 128) * (s.saturation + 100) * c * percent + 128.5), 0, 255);
  for (size_t i = 0; i < end; ++i) {
    if (s.effect == 2) p[i] = 255 - p[i];
    if (s.effect == 1 && i >= luma) p[i] = 128;
  }
  return p;
}

std::vector<uint8_t> Apply(const EffectSettings& s, const media::DecodedFrame& f) {
  std::vector<uint8_t> out(f.data.size(), 0xAA);
  edit::ApplyPictureEffects(s, f.data.data(), out.data(), f.width, f.height);
  return out;
}

}  // namespace

TEST(PictureEffects, EdgeBytesOnDecodedPictures) {
  const media::DecodedFrame bands = Bands();
  const size_t u = 64 * 32, v = u + 32 * 16;  // the first U and V samples
  // Y of each band, U and V at the left edge and under the 16 band.
  const auto at = [&](const EffectSettings& s) {
    const Bytes out = Apply(s, bands);
    return Bytes{out[0], out[16], out[32], out[u], out[u + 8], out[v], out[v + 8]};
  };
  ASSERT_EQ(at({}), (Bytes{10, 16, 200, 40, 128, 250, 128}));
  EXPECT_EQ(Apply({}, bands), bands.data);
  EXPECT_EQ(at({.brightness = 100}), (Bytes{110, 116, 240, 40, 128, 250, 128}));
  EXPECT_EQ(at({.brightness = -100, .contrast = 0}), (Bytes{28, 28, 28, 128, 128, 128, 128}));
  EXPECT_EQ(at({.brightness = 30, .contrast = 0}), (Bytes{158, 158, 158, 128, 128, 128, 128}));
  EXPECT_EQ(at({.contrast = 200, .saturation = -100}), (Bytes{16, 16, 240, 128, 128, 128, 128}));
  EXPECT_EQ(at({.effect = 2}), (Bytes{245, 239, 55, 215, 127, 5, 127}));
  const Bytes gray = Apply({.effect = 1}, bands);
  EXPECT_TRUE(std::equal(gray.begin(), gray.begin() + u, bands.data.begin()));
  EXPECT_EQ(Bytes(gray.begin() + u, gray.end()), Bytes(bands.data.size() - u, 128));
}

TEST(PictureEffects, TablesGiveTheSameBytesAsThePerSampleRules) {
  for (const bool wide : {true, false})
    for (const media::DecodedFrame& f : {Pattern(), Bands()}) {
      edit::UseWidePermutes(wide);
      for (int effect = 0; effect <= 2; ++effect)
        for (int b = -100; b <= 100; b += 40)
          for (int c = 0; c <= 200; c += 35)
            for (int s = -100; s <= 100; s += 45) {
              const EffectSettings set{
                  .effect = effect, .brightness = b, .contrast = c, .saturation = s};
              ASSERT_EQ(Apply(set, f), Reference(set, f.data, f.width, f.height))
                  << effect << " " << b << " " << c << " " << s;
            }
    }
  edit::UseWidePermutes(true);
}

TEST(SoundEffects, VolumeTruncatesTowardZeroAndSaturatesAbove100) {
  const std::vector<int16_t> in{1000, -1000, 32767, -32768, 20000, -20000, 1, 0};
  auto at = [&](int volume) {
    std::vector<int16_t> s = in;
    edit::ApplyVolume(volume, s.data(), int(s.size()));
    return s;
  };
  EXPECT_EQ(at(0), std::vector<int16_t>(in.size(), 0));
  EXPECT_EQ(at(100), (std::vector<int16_t>{999, -999, 32766, -32767, 19999, -19999, 0, 0}));
  EXPECT_EQ(at(200), (std::vector<int16_t>{1999, -1999, 32767, -32768, 32767, -32768, 1, 0}));
}
