#include <gtest/gtest.h>

#include <random>

#include "edit/crop_model.h"
#include "media/preview_player.h"
#include "test_media.h"

using namespace edit;

namespace {

// The overlay's rule pixel by pixel, the plain way.
uint8_t ExpectedLuma(const CropRect& r, const uint8_t* in, int w, int h, int x, int y) {
  const int x0 = std::min(w * r.left / 320, w - 1), x1 = std::min(w * r.right / 320, w - 1);
  const int y0 = std::min(h * r.top / 240, h - 1), y1 = std::min(h * r.bottom / 240, h - 1);
  const uint8_t src = in[static_cast<size_t>(y) * w + x];
  if (x < x0 || x > x1 || y < y0 || y > y1) return src >> 1;
  const bool frame = x < x0 + 2 || x > x1 - 2 || y < y0 + 2 || y > y1 - 2;
  return frame ? 255 : src;
}

void ExpectValid(const CropRect& r, const std::string& what) {
  EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 320 && r.bottom <= 240 &&
              r.left + kMinCropSize <= r.right && r.top + kMinCropSize <= r.bottom)
      << what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

}  // namespace

// Real decoded pictures at an even and an odd size, rectangles inside, whole,
// touching the right and bottom border, and the smallest; also in place.
TEST(CropHook, DimsOutsideKeepsInsideFramesWhiteAndKeepsChroma) {
  for (const char* size : {"640x480", "321x241"}) {
    const std::string path = testmedia::Make(
        std::string("crop_bars") + size + ".avi",
        {"-f", "lavfi", "-i", std::string("smptebars=size=") + size + ":rate=25", "-t", "1", "-c:v",
         "mpeg4", "-q:v", "3"});
    ASSERT_FALSE(path.empty());
    media::DecodedFrame still;
    ASSERT_TRUE(media::DecodeStill(path, 0.0, &still));
    const int w = still.width, h = still.height;
    const size_t luma = static_cast<size_t>(w) * h;
    for (const CropRect& r : {CropRect{40, 30, 280, 210}, CropRect{}, CropRect{300, 220, 320, 240},
                              CropRect{100, 100, 110, 110}}) {
      std::vector<uint8_t> out(still.data.size(), 7), inPlace = still.data;
      ApplyCropOverlay(r, still.data.data(), out.data(), w, h);
      ApplyCropOverlay(r, inPlace.data(), inPlace.data(), w, h);
      ASSERT_EQ(out, inPlace) << size;
      int wrong = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          wrong += out[static_cast<size_t>(y) * w + x] != ExpectedLuma(r, still.data.data(), w, h, x, y);
      EXPECT_EQ(wrong, 0) << size << " rect " << r.left << "," << r.top;
      EXPECT_TRUE(std::equal(out.begin() + luma, out.end(), still.data.begin() + luma)) << size;
      if (r.right == 320 && r.bottom == 240) {  // the frame reaches the last column and row
        EXPECT_EQ(out[luma - 1], 255);
        EXPECT_EQ(out[luma - w + w * r.left / 320], 255);
        EXPECT_EQ(out[static_cast<size_t>(h * r.top / 240 + 3) * w + w - 1], 255);
      }
    }
  }
}

// Typing and dragging anything anywhere never inverts or empties the
// rectangle; what a record holds is sanitised the same way at opening.
TEST(CropModel, TypedDraggedAndStoredRectanglesStayValid) {
  CropModel m(nullptr, 640, 480);
  m.ChoosePreset(kCutOffAll);
  m.SetEdgeText(Edge::Top, "100");  // 100 px = 50 units, off the border
  EXPECT_EQ(m.rect().top, 50);
  EXPECT_EQ(m.cropMode(), kCutOffAll);
  m.SetEdgeText(Edge::Right, "640");
  EXPECT_EQ(m.cropMode(), kNoCrop);
  std::mt19937 random(11);
  const char* texts[] = {"-5", "99999999999999999999", "abc", "", "12abc", "-99999999999", "0", "640", " 33"};
  for (int i = 0; i < 400; ++i) {
    m.SetEdgeText(static_cast<Edge>(random() % 4), texts[random() % std::size(texts)]);
    ExpectValid(m.rect(), "typed");
  }
  for (int i = 0; i < 3000; ++i) {  // every grab, dragged anywhere, on every preset
    if (i % 50 == 0) m.ChoosePreset(1 + random() % 3);
    if (m.dragMode() == kDragNone || random() % 8 == 0) {
      m.Release();
      m.Press(m.rect().left + static_cast<int>(random() % 5) - 2, m.rect().top + static_cast<int>(random() % 5) - 2);
    }
    m.DragTo(static_cast<int>(random() % 700) - 200, static_cast<int>(random() % 600) - 200);
    ExpectValid(m.rect(), "dragged");
  }
  const CropRecord fresh{}, junk{500, -3, -40, 9000, 9, -1};
  EXPECT_EQ(CropModel(&fresh, 640, 480).rect(), (CropRect{0, 0, 320, 240}));
  CropModel opened(&junk, 640, 480);
  ExpectValid(opened.rect(), "junk record");
  EXPECT_EQ(opened.cropMode() + opened.zoom(), 0);
}

TEST(CropModel, HitTestsFirstMatchWithinTwoPixels) {
  const CropRect r = PresetRect(kCutOffAll);
  EXPECT_EQ(HitTest(r, 42, 28), Spot::TopLeft);
  EXPECT_EQ(HitTest(r, 278, 212), Spot::BottomRight);
  EXPECT_EQ(HitTest(r, 100, 32), Spot::Top);
  EXPECT_EQ(HitTest(r, 42, 100), Spot::Left);
  EXPECT_EQ(HitTest(r, 43, 100), Spot::Inside);
  EXPECT_EQ(HitTest(r, 37, 100), Spot::None);
  EXPECT_EQ(CursorFor(HitTest(r, 280, 30)), CursorKind::SizeNeSw);
}
