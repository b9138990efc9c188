// The skinned trackbar: its geometry as plain arithmetic, and the control
// itself with the skin's bitmaps, drawn into memory (needs X: run under the
// harness).
#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>

#include "support/wx_env.h"
#include "ui/skin_slider_ctrl.h"

using ui::SkinSliderGeometry;

namespace {
const std::string kRes = MURMURANT_SOURCE_DIR "/skin/res/";
}

TEST(SkinSliderGeometry, ChannelEndsAreTheRangeEndsAndPixelsMapBack) {
  // The edit dialogs' value slider: a 229-pixel channel, 17 x 24 thumbs, 0 .. 200.
  SkinSliderGeometry g{.width = SkinSliderGeometry::WidthForChannel(229),
                       .height = 30,
                       .minimum = 0,
                       .maximum = 200,
                       .thumbBitmapWidth = 17,
                       .thumbBitmapHeight = 24};
  EXPECT_EQ(g.width, 245);
  EXPECT_EQ(g.ChannelRect(), wxRect(8, 13, 229, 4));
  EXPECT_EQ(g.PixelOf(0), 8);
  EXPECT_EQ(g.PixelOf(200), 236);
  EXPECT_EQ(g.PixelOf(100), 122);
  EXPECT_EQ(g.PixelOf(-5), 8);
  for (int p = 0; p <= 200; ++p) ASSERT_EQ(g.PositionOf(g.PixelOf(p)), p);
  EXPECT_EQ(g.PositionOf(-40), 0);
  EXPECT_EQ(g.PositionOf(400), 200);
  // The thumb's picture is centred on its pixel and stays inside the control.
  EXPECT_EQ(g.ThumbOffset(), -3);
  EXPECT_EQ(g.ThumbBitmapAt(0), wxPoint(0, 3));
  EXPECT_EQ(g.ThumbBitmapAt(200).x + 17, 245);
  g.thumbBitmapWidth = g.thumbBitmapHeight = 0;  // the round thumb is its own rectangle
  EXPECT_EQ(g.ThumbOffset(), 0);
  EXPECT_EQ(g.ThumbRect(100), wxRect(117, 5, 11, 20));
}

TEST(SkinSliderGeometry, KeysStepAndStopAtTheEnds) {
  bool handled = false;
  EXPECT_EQ(ui::SliderKeyStep(WXK_RIGHT, 99, 0, 100, 1, 10, &handled), 100);
  EXPECT_TRUE(handled);
  EXPECT_EQ(ui::SliderKeyStep(WXK_RIGHT, 100, 0, 100, 1, 10, &handled), 100);
  EXPECT_EQ(ui::SliderKeyStep(WXK_UP, 5, 0, 100, 1, 10, &handled), 4);
  EXPECT_EQ(ui::SliderKeyStep(WXK_PAGEDOWN, 95, 0, 100, 1, 10, &handled), 100);
  EXPECT_EQ(ui::SliderKeyStep(WXK_PAGEUP, 5, 0, 100, 1, 10, &handled), 0);
  EXPECT_EQ(ui::SliderKeyStep(WXK_END, 5, 0, 100, 1, 10, &handled), 100);
  EXPECT_EQ(ui::SliderKeyStep(WXK_HOME, 50, 0, 100, 1, 10, &handled), 0);
  ui::SliderKeyStep('A', 50, 0, 100, 1, 10, &handled);
  EXPECT_FALSE(handled);
}

TEST(SkinSliderCtrl, ChannelSizesTheControlAndMagentaShowsWhatIsBehind) {
  wxFrame frame(nullptr, wxID_ANY, "slider");
  auto* slider = new CSkinSliderCtrl(&frame, 1036, wxPoint(30, 20), wxSize(200, 30));
  EXPECT_FALSE(slider->SetChannelBitmap(kRes + "missing.bmp", true));
  EXPECT_FALSE(slider->SetThumbBitmaps(kRes + "136.bmp", kRes + "missing.bmp", true));
  ASSERT_TRUE(slider->SetChannelBitmap(kRes + "403.bmp", true));
  ASSERT_TRUE(slider->SetThumbBitmaps(kRes + "136.bmp", kRes + "137.bmp", true));
  EXPECT_EQ(slider->geometry().ChannelRect().width, 229);
  EXPECT_EQ(slider->GetClientSize(), wxSize(245, 30));
  slider->SetRange(0, 200);
  EXPECT_EQ(slider->SetPos(250), 200);
  EXPECT_EQ(slider->SetPos(100), 100);
  EXPECT_EQ(slider->RefreshPos(), 100);

  // Behind the control the parent paints green at its own coordinates.
  const wxColour green(0, 200, 0);
  wxPoint paintedFrom(-1, -1);
  slider->SetBackdrop([&](wxDC& dc) {
    dc.SetBrush(wxBrush(green));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(0, 0, 400, 200);
    paintedFrom = dc.DeviceToLogical(0, 0);
  });
  wxBitmap shot(245, 30);
  {
    wxMemoryDC dc(shot);
    slider->Render(dc);
  }
  EXPECT_EQ(paintedFrom, wxPoint(30, 20));
  const wxImage image = shot.ConvertToImage();
  const wxPoint thumb = slider->geometry().ThumbBitmapAt(100);
  const wxImage thumbPicture(kRes + "136.bmp");
  ASSERT_EQ(thumbPicture.GetRed(0, 0) * 65536 + thumbPicture.GetGreen(0, 0) * 256 +
                thumbPicture.GetBlue(0, 0),
            0xFF00FF);
  auto colourAt = [&](int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
  };
  EXPECT_EQ(colourAt(thumb.x, thumb.y), green);  // the thumb's magenta corner
  EXPECT_EQ(colourAt(2, 2), green);
  const int cx = thumb.x + 8, cy = thumb.y + 12;
  EXPECT_EQ(colourAt(cx, cy), wxColour(thumbPicture.GetRed(8, 12), thumbPicture.GetGreen(8, 12),
                                       thumbPicture.GetBlue(8, 12)));
  EXPECT_NE(colourAt(cx, cy), green);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
