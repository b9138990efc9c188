#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "capture/pixel_pipeline.h"
#include "capture/yuv420.h"

using capture::BlendChannel;
using capture::CursorImage;
using capture::Frame;

namespace {

// A 5 x 3 block of server pixels whose bytes name their position.
std::vector<uint8_t> NumberedBgrx(int w, int h, size_t stride) {
  std::vector<uint8_t> src(stride * h, 0xEE);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &src[y * stride + x * 4];
      p[0] = static_cast<uint8_t>(10 * y + x);       // blue
      p[1] = static_cast<uint8_t>(100 + 10 * y + x);  // green
      p[2] = static_cast<uint8_t>(200 + x);           // red
      p[3] = 0x77;                                    // unused byte, must not leak
    }
  return src;
}

}  // namespace

TEST(FrameLayout, HeaderAndRowPaddingFollowTheBitmapRules) {
  Frame f(5, 3);
  EXPECT_EQ(f.header().biSize, 40u);
  EXPECT_EQ(f.header().biBitCount, 24);
  EXPECT_EQ(f.header().biHeight, 3);  // positive: bottom-up
  EXPECT_EQ(f.stride(), 16u);         // 15 bytes padded to 16
  EXPECT_EQ(f.header().biSizeImage, 48u);
  EXPECT_EQ(f.header().biClrUsed, 0u);
  EXPECT_EQ(Frame(320, 240).header().biSizeImage, 320u * 3 * 240);
}

TEST(PixelPipeline, BgrxBecomesBottomUpPackedBgr) {
  const int w = 5, h = 3;
  const size_t srcStride = 6 * 4;  // the server pads rows too
  auto src = NumberedBgrx(w, h, srcStride);
  Frame f(w, h);
  capture::CopyBgrxToFrame(src.data(), srcStride, w, h, f, 0, 0);
  // The top screen row is the last row in memory.
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = f.pixels() + (h - 1 - y) * f.stride();
    for (int x = 0; x < w; ++x) {
      EXPECT_EQ(row[3 * x + 0], 10 * y + x);
      EXPECT_EQ(row[3 * x + 1], 100 + 10 * y + x);
      EXPECT_EQ(row[3 * x + 2], 200 + x);
    }
    EXPECT_EQ(row[15], 0) << "padding stays zero";
  }
}

TEST(PixelPipeline, BlockLandsAtItsOffsetAndLeavesTheRest) {
  Frame f(8, 4);
  auto src = NumberedBgrx(2, 2, 8);
  capture::CopyBgrxToFrame(src.data(), 8, 2, 2, f, 5, 1);
  EXPECT_EQ(f.TopDownRow(1)[16], 100);       // green of (5,1)
  EXPECT_EQ(f.TopDownRow(2)[3 * 6 + 1], 111);  // green of (6,2) = 100+10+1
  EXPECT_EQ(f.TopDownRow(0)[15], 0);
  EXPECT_EQ(f.TopDownRow(3)[3 * 6 + 1], 0);
}

TEST(CursorBlend, PremultipliedOverRoundsToNearest) {
  EXPECT_EQ(BlendChannel(0, 200, 0), 200);     // transparent: untouched
  EXPECT_EQ(BlendChannel(255, 10, 255), 255);  // opaque: the cursor
  EXPECT_EQ(BlendChannel(64, 200, 128), 64 + 100);  // 200*127/255 = 99.6 -> 100
  EXPECT_EQ(BlendChannel(250, 255, 10), 255);       // clamps instead of wrapping
}

TEST(CursorBlend, ClipsAtEveryEdgeAndKeepsOrder) {
  Frame f(4, 4);
  std::fill(f.pixels(), f.pixels() + f.pixelBytes(), 100);
  CursorImage c;
  c.width = 3;
  c.height = 3;
  // Opaque pure red at the centre, half-transparent blue elsewhere.
  c.argb.assign(9, 0x80000080);
  c.argb[4] = 0xFFFF0000;
  capture::BlendCursor(f, c, -1, 2);  // one column off the left, one row off the bottom
  // Cursor centre (1,1) lands at frame (0,3).
  const uint8_t* p = f.TopDownRow(3);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[2], 255);
  // Cursor (2,0) lands at (1,2): blue 128 + 100*127/255.
  const uint8_t* q = f.TopDownRow(2) + 3;
  EXPECT_EQ(q[0], BlendChannel(0x80, 100, 0x80));
  EXPECT_EQ(q[0], 128 + 50);
  EXPECT_EQ(q[2], 50);
  // Outside the cursor's reach nothing changed.
  EXPECT_EQ(f.TopDownRow(0)[0], 100);
  EXPECT_EQ(f.TopDownRow(3)[3 * 3], 100);
}

TEST(Yuv420, BgrxWithCursorBecomesStudioRangeYuv) {
  // Odd both ways, so the last chroma column and row cover lone pixels, and
  // wide enough for the converter's vector loops to run as well as its tails.
  const int w = 67, h = 5;
  const size_t stride = 70 * 4;
  std::vector<uint8_t> pixels(stride * h, 0x5A);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &pixels[y * stride + x * 4];
      p[0] = static_cast<uint8_t>(x * 37 + y * 90);
      p[1] = static_cast<uint8_t>(255 - x * 11);
      p[2] = static_cast<uint8_t>(x * y * 13);
    }
  pixels[0] = pixels[1] = pixels[2] = 255;  // white and black: the range's ends
  pixels[4] = pixels[5] = pixels[6] = 0;
  CursorImage c;
  c.width = c.height = 3;
  c.argb = {0xFFFFFFFF, 0x80400000, 0x00000000, 0xFF0000FF, 0x40102030,
            0x80808080, 0xFF00FF00, 0x00000000, 0x20000000};
  // The expected picture: each cursor pixel over what lies under it, by hand.
  std::vector<uint8_t> expected = pixels;
  auto blendByHand = [&](int left, int top) {
    for (int cy = 0; cy < 3; ++cy)
      for (int cx = 0; cx < 3; ++cx) {
        const int x = left + cx, y = top + cy;
        if (x < 0 || y < 0 || x >= w || y >= h) continue;
        const uint32_t a = c.argb[cy * 3 + cx];
        for (int ch = 0; ch < 3; ++ch) {
          uint8_t& d = expected[y * stride + x * 4 + ch];
          d = BlendChannel((a >> (8 * ch)) & 0xff, d, a >> 24);
        }
      }
  };
  const capture::BgrxView view{pixels.data(), stride, w, h};
  capture::BlendCursor(view, c, -1, 1);  // clipped at the left
  capture::BlendCursor(view, c, w - 2, 3);  // clipped at the right and bottom, odd spot
  blendByHand(-1, 1);
  blendByHand(w - 2, 3);
  ASSERT_EQ(pixels, expected) << "blended wrongly, or bytes outside the cursor changed";

  const int cw = (w + 1) / 2, ch = (h + 1) / 2, pad = 5;
  std::vector<uint8_t> y(static_cast<size_t>(w + pad) * h, 0xEE), u((cw + pad) * ch, 0xEE),
      v((cw + pad) * ch, 0xEE);
  capture::BgrxToYuv420(view, {y.data(), u.data(), v.data(), w + pad, cw + pad, cw + pad});
  auto channel = [&](int x, int yy, int c) { return double(expected[yy * stride + x * 4 + c]); };
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      const double exact = 16 + 219.0 / 255 *
                                    (0.299 * channel(x, row, 2) + 0.587 * channel(x, row, 1) +
                                     0.114 * channel(x, row, 0));
      EXPECT_LE(std::abs(y[row * (w + pad) + x] - exact), 1.0) << "luma at " << x << "," << row;
    }
  EXPECT_EQ(y[0], 235);
  EXPECT_EQ(y[1], 16);
  for (int cy = 0; cy < ch; ++cy)
    for (int cx = 0; cx < cw; ++cx) {
      double r = 0, g = 0, b = 0, n = 0;
      for (int yy = 2 * cy; yy < std::min(h, 2 * cy + 2); ++yy)
        for (int x = 2 * cx; x < std::min(w, 2 * cx + 2); ++x, ++n)
          r += channel(x, yy, 2), g += channel(x, yy, 1), b += channel(x, yy, 0);
      r /= n, g /= n, b /= n;
      const double eu = 128 + 224.0 / 255 * (-0.168736 * r - 0.331264 * g + 0.5 * b);
      const double ev = 128 + 224.0 / 255 * (0.5 * r - 0.418688 * g - 0.081312 * b);
      EXPECT_LE(std::abs(u[cy * (cw + pad) + cx] - eu), 0.6) << "U at " << cx << "," << cy;
      EXPECT_LE(std::abs(v[cy * (cw + pad) + cx] - ev), 0.6) << "V at " << cx << "," << cy;
    }
  EXPECT_EQ(y[w], 0xEE) << "wrote past the luma row";
  EXPECT_EQ(u[cw], 0xEE) << "wrote past the chroma row";
}

// The hand-written vector path against the one-pixel-at-a-time one, to the
// bit, over noise with the extremes mixed in: every width from below one
// vector step to past four, odd and even heights, so the tails and the odd
// last row and column are all crossed. Padding bytes must stay untouched.
TEST(Yuv420, VectorPathMatchesThePlainOneExactly) {
  std::mt19937 random(7);
  const uint8_t extremes[] = {0, 255, 1, 254, 128};
  for (int w = 1; w <= 70; ++w)
    for (int h : {1, 2, 3, 6}) {
      const size_t stride = (w + 3) * 4;
      std::vector<uint8_t> pixels(stride * h);
      for (auto& byte : pixels)
        byte = random() % 4 ? static_cast<uint8_t>(random()) : extremes[random() % 5];
      const int cw = (w + 1) / 2, ch = (h + 1) / 2, pad = 3;
      auto convert = [&](auto how) {
        std::vector<uint8_t> planes((w + pad) * h + 2 * (cw + pad) * ch, 0xEE);
        uint8_t* u = planes.data() + (w + pad) * h;
        how(capture::BgrxView{pixels.data(), stride, w, h},
            {planes.data(), u, u + (cw + pad) * ch, w + pad, cw + pad, cw + pad});
        return planes;
      };
      ASSERT_EQ(convert(capture::BgrxToYuv420), convert(capture::BgrxToYuv420OnePixelAtATime))
          << w << " x " << h;
    }
}
