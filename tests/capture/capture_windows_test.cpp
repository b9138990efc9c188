// The region-selection window and the marker, driven with real pointer and
// key input on the test's X server and looked at on the screen.
#include <gtest/gtest.h>

#include <optional>

#include "capture/frame_grab.h"
#include "capture/region_border.h"
#include "capture/region_selection_window.h"
#include "pattern_window.h"
#include "support/wx_env.h"
#include "support/x_screen.h"

using capture::ScreenRect;

namespace {

constexpr int kScreenW = 1280, kScreenH = 1024;

// Waits for the window to be on screen, letting wx run meanwhile (it maps
// windows from its own loop).
bool WaitShown(const std::string& title) {
  return PumpUntil([&] {
    int viewable = 0;
    for (const auto& w : xtest::FindWindowsByTitle(title)) viewable += w.viewable;
    return viewable == 1;
  });
}

struct Selection {
  std::optional<ScreenRect> committed;
  int cancelled = 0;
  capture::RegionSelectionWindow* window = nullptr;

  Selection() {
    window = new capture::RegionSelectionWindow(
        kScreenW, kScreenH,
        {[this](const ScreenRect& r) { committed = r; }, [this] { ++cancelled; }});
  }
  ~Selection() { window->Destroy(); PumpFor(50); }
  void Open() {
    window->Begin();
    ASSERT_TRUE(WaitShown("Title"));
    PumpFor(150);
  }
};

void Drag(int x0, int y0, int x1, int y1, const std::function<void()>& whileHeld = {}) {
  xtest::MovePointer(x0, y0);
  PumpFor(50);
  xtest::PressButton(1, true);
  PumpFor(50);
  xtest::MovePointer((x0 + x1) / 2, (y0 + y1) / 2);
  PumpFor(50);
  xtest::MovePointer(x1, y1);
  PumpFor(150);
  if (whileHeld) whileHeld();
  xtest::PressButton(1, false);
  PumpFor(100);
}

}  // namespace

TEST(RegionSelectionWindow, ReverseDragCommitsTheRectangleAndShowsItsLabel) {
  // A dark, plain screen under the selection, so its drawing stands out.
  testx::PatternWindow backdrop(0, 0, 600, 400);
  ASSERT_TRUE(backdrop.ok());
  backdrop.Draw([](int, int) { return testx::Rgb{20, 30, 40}; });
  Selection s;
  s.Open();
  int labelWhite = 0, inverted = 0;
  Drag(330, 260, 10, 20, [&] {
    // The top is too near the screen's edge for the label: it goes below.
    const xtest::Image label = xtest::GrabScreen(16, 261, 200, 20);
    for (const auto& p : label.pixels) labelWhite += p == xtest::Pixel{255, 255, 255};
    // The top strip, off the hatch lines, is the inverted backdrop.
    const xtest::Image strip = xtest::GrabScreen(100, 20, 40, 3);
    for (const auto& p : strip.pixels) inverted += p == xtest::Pixel{235, 225, 215};
  });
  ASSERT_TRUE(s.committed.has_value());
  EXPECT_EQ(*s.committed, (ScreenRect{10, 20, 330, 260}));
  EXPECT_EQ(s.cancelled, 0);
  EXPECT_FALSE(s.window->IsShown());
  EXPECT_GT(labelWhite, 200) << "the label's white box below the rectangle";
  EXPECT_GT(inverted, 80) << "the hatched strip inverts the screen";
}

TEST(RegionSelectionWindow, ClickWithoutMovementStartsNothing) {
  Selection s;
  s.Open();
  Drag(200, 200, 200, 200);
  EXPECT_FALSE(s.committed.has_value());
  EXPECT_EQ(s.cancelled, 1);
  EXPECT_FALSE(s.window->IsShown());
}

TEST(RegionSelectionWindow, CancelKeyEndsTheSelection) {
  Selection s;
  s.window->SetCancelKey(WXK_F10);
  s.Open();
  xtest::MovePointer(500, 500);
  PumpFor(50);
  xtest::Key("F10");
  ASSERT_TRUE(PumpUntil([&] { return s.cancelled == 1; }));
  EXPECT_FALSE(s.committed.has_value());
  EXPECT_FALSE(s.window->IsShown());
}

TEST(RegionSelectionWindow, CancelFromOutsideOnlyActsWhileOpen) {
  Selection s;
  EXPECT_FALSE(s.window->Cancel());
  s.Open();
  EXPECT_TRUE(s.window->Cancel());
  EXPECT_EQ(s.cancelled, 1);
  EXPECT_FALSE(s.window->IsShown());
}

TEST(RegionBorder, BracketsSurroundTheAreaAndADragIsClampedAndPublished) {
  auto* border = new capture::RegionBorder(kScreenW, kScreenH);
  border->ShapeAround(100, 100, 320, 240);
  border->ShowWithoutActivating();
  ASSERT_TRUE(WaitShown("Flashing"));
  PumpFor(200);
  const xtest::Pixel red{255, 0, 80};
  EXPECT_EQ(xtest::GrabScreen(93, 93, 1, 1).at(0, 0), red);    // top-left bracket
  EXPECT_EQ(xtest::GrabScreen(426, 346, 1, 1).at(0, 0), red);  // bottom-right bracket
  EXPECT_NE(xtest::GrabScreen(150, 150, 1, 1).at(0, 0), red);  // the area itself stays clear
  EXPECT_NE(xtest::GrabScreen(200, 93, 1, 1).at(0, 0), red);   // between the brackets

  // Dragged far past the right edge: it stops there, size unchanged.
  Drag(94, 94, 94 + 2000, 104);
  auto moved = border->published().Take();
  ASSERT_TRUE(moved.has_value());
  EXPECT_EQ(moved->x, kScreenW - 320);
  EXPECT_EQ(moved->y, 110);
  EXPECT_EQ(border->marked(), (ScreenRect{kScreenW - 320, 110, kScreenW - 1, 349}));
  EXPECT_FALSE(border->published().Take().has_value());

  // The capture thread paints it through its own connection by its id.
  auto grabber = capture::OpenScreenGrabber();
  ASSERT_TRUE(grabber);
  grabber->PaintWindow(border->NativeId(), capture::kMarkerGrabbingColour);
  EXPECT_EQ(xtest::GrabScreen(kScreenW - 325, 105, 1, 1).at(0, 0), (xtest::Pixel{255, 255, 180}));
  border->Destroy();
  PumpFor(50);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
