// The effects' arithmetic on pictures decoded from real files and on sound
// samples: exact bytes at the edges, and the table-driven hook against the
// rules applied one sample at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "edit/picture_effects.h"
#include "media/preview_player.h"
#include "test_media.h"

namespace {

using edit::EffectSettings;

media::DecodedFrame Picture(const std::string& name, const std::vector<std::string>& source) {
  media::DecodedFrame frame;
  const std::string path = testmedia::Make(name, source);
  EXPECT_FALSE(path.empty());
  EXPECT_TRUE(media::DecodeStill(path, 0.0, &frame)) << name;
  return frame;
}

// Lossless bands of luma 10, 16, 200 and a ramp, chroma 128.
media::DecodedFrame Bands() {
  return Picture("bands.avi", {"-f", "lavfi", "-i", "nullsrc=size=64x32:rate=25", "-vf",
                               "geq=lum='if(lt(X,16),10,if(lt(X,32),16,if(lt(X,48),200,X*4)))':"
                               "cb=128:cr=128,format=yuv420p",
                               "-t", "1", "-c:v", "ffv1"});
}

media::DecodedFrame Pattern() {
  return Picture("pattern.avi", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-t", "1",
                                 "-c:v", "msmpeg4v3", "-q:v", "3"});
}

// The rules read literally: the chroma table built for the frame, luma in
// floating point per sample, then the colour effect pass by pass.
std::vector<uint8_t> Reference(const EffectSettings& s, std::vector<uint8_t> p, int w, int h) {
  const size_t luma = size_t(w) * h, chroma = 2 * size_t(w / 2) * (h / 2);
  if (!(s.saturation == 0 && s.contrast == 100 && s.brightness == 0)) {
    const float c = float(s.contrast * 0.01), b = float(s.brightness);
    uint8_t table[256];
    for (int v = 0; v < 256; ++v)
      table[v] = uint8_t(std::clamp(
          int((v - 128) * (s.saturation + 100) * double(c) * double(0.01f) + 128.5), 0, 255));
    for (size_t i = 0; i < luma; ++i) {
      double y = (p[i] - 128) * double(c) + b;
      p[i] = uint8_t(int(std::clamp(y, -112.0, 112.0) + 128));
    }
    for (size_t i = luma; i < luma + chroma; ++i) p[i] = table[p[i]];
  }
  if (s.effect == 2)
    for (size_t i = 0; i < luma + chroma; ++i) p[i] = 255 - p[i];
  if (s.effect == 1) std::memset(p.data() + luma, 128, chroma);
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
  ASSERT_EQ(bands.width, 64);
  const size_t luma = 64 * 32;
  ASSERT_EQ(bands.data[0], 10);
  ASSERT_EQ(bands.data[16], 16);
  ASSERT_EQ(bands.data[32], 200);
  ASSERT_EQ(bands.data[luma], 128);

  auto out = Apply({.brightness = 100}, bands);
  EXPECT_EQ(out[32], 240);  // 200 + 100 held at the top of the range
  EXPECT_EQ(out[0], 110);
  EXPECT_EQ(out[luma], 128);

  for (int b : {-100, 30, 100}) {
    out = Apply({.brightness = b, .contrast = 0}, bands);
    EXPECT_EQ(out[0], 128 + b);
    EXPECT_EQ(out[48 + 20], 128 + b);
  }
  out = Apply({.effect = 2}, bands);
  EXPECT_EQ(out[16], 239);
  EXPECT_EQ(out[luma], 127);
  EXPECT_EQ(out.back(), 127);

  const media::DecodedFrame pattern = Pattern();
  const size_t pLuma = size_t(pattern.width) * pattern.height;
  const std::vector<uint8_t> chromaIn(pattern.data.begin() + pLuma, pattern.data.end());
  ASSERT_NE(std::count(chromaIn.begin(), chromaIn.end(), 128), long(chromaIn.size()));
  EXPECT_EQ(Apply({}, pattern), pattern.data);
  EXPECT_EQ(Apply({.brightness = -40}, pattern).back(), pattern.data.back());
  const auto chromaOf = [&](const std::vector<uint8_t>& p) {
    return std::vector<uint8_t>(p.begin() + pLuma, p.end());
  };
  EXPECT_EQ(chromaOf(Apply({.brightness = 55}, pattern)), chromaIn);
  const std::vector<uint8_t> flat(chromaIn.size(), 128);
  for (int c : {0, 100, 200})
    EXPECT_EQ(chromaOf(Apply({.contrast = c, .saturation = -100}, pattern)), flat);
  EXPECT_EQ(chromaOf(Apply({.contrast = 0}, pattern)), flat);
  out = Apply({.effect = 1}, pattern);
  EXPECT_EQ(chromaOf(out), flat);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + pLuma, pattern.data.begin()));
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
      std::vector<uint8_t> inPlace = f.data;  // the player hands it one buffer too
      const EffectSettings set{.effect = 2, .brightness = 20, .contrast = 150, .saturation = 30};
      edit::ApplyPictureEffects(set, inPlace.data(), inPlace.data(), f.width, f.height);
      EXPECT_EQ(inPlace, Reference(set, f.data, f.width, f.height));
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
  EXPECT_EQ(at(50), (std::vector<int16_t>{499, -499, 16383, -16383, 9999, -9999, 0, 0}));
}
