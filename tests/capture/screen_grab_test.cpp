// Grabs of a known pattern drawn on the test's X server, through shared
// memory and through the protocol, with and without the pointer over it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "capture/frame_grab.h"
#include "capture/pixel_pipeline.h"
#include "platform/screen_grabber.h"
#include "pattern_window.h"

using capture::Frame;

namespace {

constexpr int kX = 100, kY = 150, kW = 96, kH = 64;

testx::Rgb PatternAt(int x, int y) {
  return {static_cast<uint8_t>(x * 7 + y), static_cast<uint8_t>((y * 3) ^ x),
          static_cast<uint8_t>(x * y + 11)};
}

// The frame the grab must produce: the pattern, bottom-up, BGR, with the
// cursor (when given) laid over at its position minus its hot spot.
Frame Expected(const testx::Cursor* cursor) {
  Frame f(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const testx::Rgb c = PatternAt(x, y);
      uint8_t* p = f.TopDownRow(y) + 3 * x;
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
  if (!cursor) return f;
  const int left = cursor->x - cursor->xhot - kX, top = cursor->y - cursor->yhot - kY;
  for (int cy = 0; cy < cursor->height; ++cy)
    for (int cx = 0; cx < cursor->width; ++cx) {
      const int x = left + cx, y = top + cy;
      if (x < 0 || y < 0 || x >= kW || y >= kH) continue;
      const uint32_t a = cursor->argb[cy * cursor->width + cx];
      uint8_t* p = f.TopDownRow(y) + 3 * x;
      for (int ch = 0; ch < 3; ++ch)
        p[ch] = capture::BlendChannel((a >> (8 * ch)) & 0xff, p[ch], a >> 24);
    }
  return f;
}

int DifferingBytes(const Frame& a, const Frame& b) {
  int n = 0;
  for (size_t i = 0; i < a.pixelBytes(); ++i) n += a.pixels()[i] != b.pixels()[i];
  return n;
}

class ScreenGrab : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs the test X server";
    window_ = std::make_unique<testx::PatternWindow>(kX, kY, kW, kH);
    ASSERT_TRUE(window_->ok());
    window_->Draw(PatternAt);
    grabber_ = capture::OpenScreenGrabber({.display = "", .showCursor = true, .allowSharedMemory = GetParam()});
    ASSERT_TRUE(grabber_);
    EXPECT_EQ(grabber_->usesSharedMemory(), GetParam());
  }
  std::unique_ptr<testx::PatternWindow> window_;
  std::unique_ptr<capture::ScreenGrabber> grabber_;
};

TEST_P(ScreenGrab, PatternComesBackByteForByte) {
  testx::WarpPointer(1200, 1000);  // far from the pattern
  Frame f;
  ASSERT_TRUE(grabber_->Grab(kX, kY, kW, kH, f));
  EXPECT_EQ(f.header().biSizeImage, static_cast<uint32_t>(kW * 3 * kH));
  EXPECT_EQ(DifferingBytes(f, Expected(nullptr)), 0);
}

TEST_P(ScreenGrab, CursorIsCompositedAtItsHotSpot) {
  testx::WarpPointer(kX + 30, kY + 20);
  const testx::Cursor cursor = testx::CurrentCursor();
  ASSERT_GT(cursor.width, 0);
  ASSERT_EQ(cursor.x, kX + 30);
  Frame f;
  ASSERT_TRUE(grabber_->Grab(kX, kY, kW, kH, f));
  const Frame plain = Expected(nullptr), withCursor = Expected(&cursor);
  EXPECT_GT(DifferingBytes(plain, withCursor), 20) << "the cursor must show in the picture";
  EXPECT_EQ(DifferingBytes(f, withCursor), 0);
}

TEST_P(ScreenGrab, AreaOffTheScreenComesOutBlack) {
  testx::WarpPointer(1200, 1000);
  testx::PatternWindow corner(0, 0, 40, 30);
  ASSERT_TRUE(corner.ok());
  corner.Draw([](int, int) { return testx::Rgb{200, 100, 50}; });
  Frame f;
  ASSERT_TRUE(grabber_->Grab(-8, -4, 32, 16, f));
  EXPECT_EQ(f.TopDownRow(0)[0], 0);        // off screen
  EXPECT_EQ(f.TopDownRow(3)[3 * 7 + 2], 0);
  const uint8_t* on = f.TopDownRow(4) + 3 * 8;  // screen (0, 0)
  EXPECT_EQ(on[0], 50);
  EXPECT_EQ(on[1], 100);
  EXPECT_EQ(on[2], 200);
}

INSTANTIATE_TEST_SUITE_P(SharedMemoryAndProtocol, ScreenGrab, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Shm" : "GetImage"; });

TEST(MarkerFlash, GrabPaintsTheMarkerRedAfterThePicture) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs the test X server";
  testx::WarpPointer(1200, 1000);
  testx::PatternWindow marker(400, 400, 20, 20);
  ASSERT_TRUE(marker.ok());
  auto grabber = capture::OpenScreenGrabber();
  ASSERT_TRUE(grabber);
  Frame f, look;
  // The probe grab leaves the marker as it was.
  ASSERT_TRUE(capture::GrabFrame(*grabber, marker.id(), 0, 0, 8, 8, true, f));
  ASSERT_TRUE(grabber->Grab(405, 405, 4, 4, look));
  EXPECT_EQ(look.TopDownRow(1)[2], 0);
  ASSERT_TRUE(capture::GrabFrame(*grabber, marker.id(), 0, 0, 8, 8, false, f));
  ASSERT_TRUE(grabber->Grab(405, 405, 4, 4, look));
  const uint8_t* p = look.TopDownRow(1);
  EXPECT_EQ(p[2], 255);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[0], 80);
}

}  // namespace
