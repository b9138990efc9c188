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
  // clang-format off
  SkinSliderGeometry g{.width = SkinSliderGeometry::WidthForChannel(229), .height = 30,
                       .maximum = 200, .thumbBitmapWidth = 17, .thumbBitmapHeight = 24};
  // clang-format on
  EXPECT_EQ(g.ChannelRect(), wxRect(8, 13, 229, 4));
  EXPECT_EQ((std::vector{g.PixelOf(-5), g.PixelOf(0), g.PixelOf(100), g.PixelOf(200)}),
            (std::vector{8, 8, 122, 236}));
  for (int p = 0; p <= 200; ++p) ASSERT_EQ(g.PositionOf(g.PixelOf(p)), p);
  EXPECT_EQ(g.PositionOf(-40), 0);
  // The thumb's picture is centred on its pixel and stays inside the control.
  EXPECT_EQ(g.ThumbOffset(), -3);
  EXPECT_EQ(g.ThumbBitmapAt(0), wxPoint(0, 3));
  EXPECT_EQ(g.ThumbBitmapAt(200).x + 17, 245);
}

TEST(SkinSliderCtrl, ChannelSizesTheControlAndMagentaShowsWhatIsBehind) {
  wxFrame frame(nullptr, wxID_ANY, "slider");
  auto* slider = new CSkinSliderCtrl(&frame, 1036, wxPoint(30, 20), wxSize(200, 30));
  EXPECT_FALSE(slider->SetChannelBitmap(kRes + "missing.bmp", true));
  ASSERT_TRUE(slider->SetChannelBitmap(kRes + "403.bmp", true));
  ASSERT_TRUE(slider->SetThumbBitmaps(kRes + "136.bmp", kRes + "137.bmp", true));
  EXPECT_EQ(slider->geometry().ChannelRect().width, 229);
  EXPECT_EQ(slider->GetClientSize(), wxSize(245, 30));
  slider->SetRange(0, 200);
  EXPECT_EQ(slider->SetPos(250), 200);
  slider->SetPos(100);

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
  if (wxMemoryDC dc(shot); dc.IsOk()) slider->Render(dc);
  EXPECT_EQ(paintedFrom, wxPoint(30, 20));
  const wxImage image = shot.ConvertToImage(), thumbPicture(kRes + "136.bmp");
  const auto colour = [](const wxImage& i, wxPoint p) {
    return wxColour(i.GetRed(p.x, p.y), i.GetGreen(p.x, p.y), i.GetBlue(p.x, p.y));
  };
  const wxPoint thumb = slider->geometry().ThumbBitmapAt(100), middle(8, 12);
  ASSERT_EQ(colour(thumbPicture, {0, 0}), wxColour(255, 0, 255));
  EXPECT_EQ(colour(image, thumb), green);  // the thumb's magenta corner
  EXPECT_EQ(colour(image, {2, 2}), green);
  EXPECT_EQ(colour(image, thumb + middle), colour(thumbPicture, middle));
  EXPECT_NE(colour(image, thumb + middle), green);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
