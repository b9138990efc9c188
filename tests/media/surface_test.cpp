// The preview surface draws in a real X window; what the window shows is
// read back from the server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "media/media_decoder.h"
#include "media/preview_surface.h"
#include "playback_support.h"
#include "test_media.h"

namespace {

using playtest::TestWindow;

struct Yuv {
  uint8_t y, u, v;
};

// BT.601 at full range, as the display layer's own conversion works.
xtest::Pixel ToRgb(Yuv c) {
  const double y = c.y, u = c.u - 128.0, v = c.v - 128.0;
  auto clamp = [](double x) { return static_cast<uint8_t>(std::clamp(std::lround(x), 0L, 255L)); };
  return {clamp(y + 1.402 * v), clamp(y - 0.344 * u - 0.714 * v), clamp(y + 1.772 * u)};
}

bool Near(xtest::Pixel a, xtest::Pixel b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// A picture of four flat quarters, in the decoder's layout.
std::vector<uint8_t> Quarters(int w, int h, const Yuv (&colours)[4]) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h + 2 * static_cast<size_t>(w / 2) * (h / 2));
  const int cw = w / 2, ch = h / 2;
  uint8_t* u = p.data() + w * h;
  uint8_t* v = u + cw * ch;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[y * w + x] = colours[(y >= h / 2) * 2 + (x >= w / 2)].y;
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x) {
      const Yuv& c = colours[(y >= ch / 2) * 2 + (x >= cw / 2)];
      u[y * cw + x] = c.u;
      v[y * cw + x] = c.v;
    }
  return p;
}

// Colours well inside the range, where conversions agree closely.
constexpr Yuv kQuarters[4] = {{110, 100, 170}, {150, 80, 100}, {70, 180, 120}, {200, 128, 128}};

// Waits for the window to show `expected` at every point.
bool Shows(const TestWindow& w, const std::vector<std::pair<int, int>>& points,
           const std::vector<xtest::Pixel>& expected, int tolerance, std::string* seen) {
  const double deadline = playtest::NowMs() + 3000;
  for (;;) {
    const xtest::Image img = w.Pixels();
    bool all = !img.pixels.empty();
    seen->clear();
    for (size_t i = 0; all && i < points.size(); ++i) {
      const xtest::Pixel p = img.at(points[i].first, points[i].second);
      if (!Near(p, expected[i], tolerance)) {
        all = false;
        *seen = "at " + std::to_string(points[i].first) + "," + std::to_string(points[i].second) +
                ": " + std::to_string(p.r) + " " + std::to_string(p.g) + " " + std::to_string(p.b) +
                " wanted " + std::to_string(expected[i].r) + " " + std::to_string(expected[i].g) +
                " " + std::to_string(expected[i].b);
      }
    }
    if (all) return true;
    if (playtest::NowMs() > deadline) return false;
  }
}

TEST(PreviewSurface, ScalesTheWholePictureIntoTheWindow) {
  const std::string bars = testmedia::Make(
      "bars640.avi", {"-f", "lavfi", "-i", "smptebars=size=640x480:rate=25", "-t", "1", "-c:v",
                      "msmpeg4v3", "-q:v", "3"});
  media::CMediaDecoder decoder;
  decoder.Initialise();
  ASSERT_EQ(decoder.Open(bars.c_str()), 1);
  auto frame = decoder.CreateVideoFrame();
  ASSERT_TRUE(frame);
  while (decoder.DecodeVideoFrame(frame.get()) != 1) ASSERT_FALSE(decoder.VideoEnded());

  TestWindow window(20, 20, 320, 240);
  media::CPreviewSurface surface;
  ASSERT_EQ(surface.Create(window.id(), 640, 480, 320, 240), 1);
  ASSERT_EQ(surface.ShowFrame(frame->data.data(), 640, 480), 1);
  // The middle of each of the seven bars, where the picture is flat, shows
  // the colour of the source picture at the same place scaled by a half.
  std::vector<std::pair<int, int>> points;
  std::vector<xtest::Pixel> expected;
  const uint8_t* y = frame->data.data();
  const uint8_t* u = y + 640 * 480;
  const uint8_t* v = u + 320 * 240;
  for (int bar = 0; bar < 7; ++bar) {
    const int x = static_cast<int>((bar + 0.5) * 320 / 7), row = 80;
    points.push_back({x, row});
    expected.push_back(ToRgb({y[(2 * row) * 640 + 2 * x], u[row * 320 + x], v[row * 320 + x]}));
  }
  std::string seen;
  EXPECT_TRUE(Shows(window, points, expected, 8, &seen)) << seen;
  surface.Release();
}

TEST(PreviewSurface, EnlargesSmallAndOddPicturesToFillTheWindow) {
  TestWindow window(20, 300, 320, 240);
  media::CPreviewSurface surface;
  ASSERT_EQ(surface.Create(window.id(), 160, 120, 320, 240), 1);
  const std::vector<uint8_t> small = Quarters(160, 120, kQuarters);
  surface.ShowFrame(small.data(), 160, 120);
  const std::vector<std::pair<int, int>> points{{80, 60}, {240, 60}, {80, 180}, {240, 180},
                                                {2, 2},   {317, 2}, {2, 237},   {317, 237}};
  std::vector<xtest::Pixel> expected;
  for (int i = 0; i < 8; ++i) expected.push_back(ToRgb(kQuarters[i % 4]));
  std::string seen;
  EXPECT_TRUE(Shows(window, points, expected, 8, &seen)) << seen;

  // An odd width: the chroma planes lie where the decoder puts them, so the
  // colours are right to the last corner (and nothing is read past the end).
  const std::vector<uint8_t> odd = Quarters(321, 241, kQuarters);
  surface.ShowFrame(odd.data(), 321, 241);
  EXPECT_TRUE(Shows(window, points, expected, 8, &seen)) << seen;
}

TEST(PreviewSurface, WindowsTakeTurnsWithTheOneSurface) {
  TestWindow first(400, 20, 320, 240), second(400, 300, 320, 240);
  media::CPreviewSurface a, b;
  const std::vector<uint8_t> picture = Quarters(160, 120, kQuarters);
  ASSERT_EQ(a.Create(first.id(), 160, 120, 320, 240), 1);
  EXPECT_EQ(b.Create(second.id(), 160, 120, 320, 240), 0) << "two live surfaces";
  a.ShowFrame(picture.data(), 160, 120);
  a.Release();
  EXPECT_FALSE(a.live());
  const xtest::Image before = first.Pixels();
  ASSERT_EQ(b.Create(second.id(), 160, 120, 320, 240), 1);
  b.ShowFrame(picture.data(), 160, 120);
  std::string seen;
  EXPECT_TRUE(Shows(second, {{80, 60}, {240, 180}}, {ToRgb(kQuarters[0]), ToRgb(kQuarters[3])}, 8,
                    &seen))
      << "the second window: " << seen;
  EXPECT_EQ(xtest::CountDifferences(first.Pixels(), 0, 0, before, 0, 0, 320, 240), 0)
      << "the first window was drawn in after its surface was released";
  EXPECT_EQ(a.Create(first.id(), 160, 120, 320, 240), 0);
  // Released twice, or never set up: harmless.
  b.Release();
  b.Release();
  media::CPreviewSurface never;
  EXPECT_EQ(never.Release(), 1);
  EXPECT_EQ(never.ShowFrame(picture.data(), 160, 120), 1);
}

}  // namespace
