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

TEST(CropModel, TextsPresetsAndTypedEdgesAtTheRecordingsSize) {
  CropModel m(nullptr, 640, 480);
  m.ChoosePreset(kCutOffAll);
  EXPECT_EQ(m.Text(Edge::Top) + m.Text(Edge::Bottom) + m.Text(Edge::Left) + m.Text(Edge::Right),
            "6042080560");
  m.SetEdgeText(Edge::Top, "100");  // 100 px = 50 units, off the border
  EXPECT_EQ(m.rect().top, 50);
  EXPECT_EQ(m.cropMode(), kCutOffAll);
  m.SetEdgeText(Edge::Right, "640");
  EXPECT_EQ(m.cropMode(), kNoCrop);
  m.SetEdgeText(Edge::Bottom, "90");  // above the top: held 10 units below it
  EXPECT_EQ(m.rect().bottom, 60);
  m.SetEdgeText(Edge::Left, "x");     // no number: unchanged
  EXPECT_EQ(m.rect().left, 40);
  std::mt19937 random(11);
  const char* texts[] = {"-5", "99999999999999999999", "abc", "", "12abc", "100000", "-99999999999",
                         "0", "480", "640", " 33"};
  for (int i = 0; i < 400; ++i) {
    const Edge edge = static_cast<Edge>(random() % 4);
    m.SetEdgeText(edge, texts[random() % std::size(texts)]);
    ExpectValid(m.rect(), "typed");
  }
  CropModel none(nullptr, 0, 0);  // no picture: reference-size texts
  EXPECT_EQ(none.Text(Edge::Bottom) + none.Text(Edge::Right), "240320");
}

TEST(CropModel, RecordsOpenSanitisedAndStoreReferenceUnits) {
  const CropRecord fresh{};
  CropModel a(&fresh, 640, 480);
  EXPECT_EQ(a.rect(), (CropRect{0, 0, 320, 240}));
  EXPECT_FALSE(a.mouseEditing());
  const CropRecord junk{500, -3, -40, 9000, 9, -1};
  CropModel b(&junk, 640, 480);
  ExpectValid(b.rect(), "junk record");
  EXPECT_EQ(b.cropMode(), kNoCrop);
  EXPECT_EQ(b.zoom(), 0);
  const CropRecord kept{40, 30, 280, 210, kCutOffAll, 2};
  const CropRecord back = CropModel(&kept, 640, 480).ToRecord();
  EXPECT_EQ(std::tie(back.cropLeft, back.cropTop, back.cropRight, back.cropBottom, back.cropMode, back.zoom),
            std::tie(kept.cropLeft, kept.cropTop, kept.cropRight, kept.cropBottom, kept.cropMode, kept.zoom));
}

TEST(CropModel, HitTestsCursorsAndDrags) {
  const CropRect r = PresetRect(kCutOffAll);
  EXPECT_EQ(HitTest(r, 42, 28), Spot::TopLeft);
  EXPECT_EQ(HitTest(r, 278, 212), Spot::BottomRight);
  EXPECT_EQ(HitTest(r, 100, 32), Spot::Top);
  EXPECT_EQ(HitTest(r, 42, 100), Spot::Left);
  EXPECT_EQ(HitTest(r, 43, 100), Spot::Inside);
  EXPECT_EQ(HitTest(r, 37, 100), Spot::None);
  EXPECT_EQ(CursorFor(HitTest(r, 280, 30)), CursorKind::SizeNeSw);
  EXPECT_EQ(CursorFor(HitTest(r, 281, 100)), CursorKind::SizeWe);

  CropModel m(nullptr, 640, 480);
  EXPECT_FALSE(m.Press(100, 100)) << "no mouse editing without a crop mode";
  m.ChoosePreset(kCutOffAll);
  ASSERT_TRUE(m.Press(100, 100));
  EXPECT_FALSE(m.DragTo(103, 100));
  EXPECT_TRUE(m.DragTo(105, 100));
  EXPECT_EQ(m.rect().left, 45);
  EXPECT_TRUE(m.DragTo(155, 100));
  EXPECT_EQ(m.rect(), (CropRect{70, 30, 310, 210}));
  m.Release();
  ASSERT_TRUE(m.Press(150, 30));
  m.DragTo(150, 400);
  EXPECT_EQ(m.rect().top, 200);

  std::mt19937 random(5);  // every grab, dragged anywhere, on every preset
  for (int i = 0; i < 3000; ++i) {
    if (i % 50 == 0) m.ChoosePreset(1 + random() % 3);
    if (m.dragMode() == kDragNone || random() % 8 == 0) {
      m.Release();
      m.Press(m.rect().left + static_cast<int>(random() % 5) - 2, m.rect().top + static_cast<int>(random() % 5) - 2);
    }
    m.DragTo(static_cast<int>(random() % 700) - 200, static_cast<int>(random() % 600) - 200);
    ExpectValid(m.rect(), "dragged");
  }
}
