#include <gtest/gtest.h>

#include "capture/pixel_pipeline.h"

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
