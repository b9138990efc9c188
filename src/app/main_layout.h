#pragma once
// The main window's look as data: sizes, the shape, the text places and every
// skinned button with its skin name and rectangle. The window builds itself
// from these tables, and tests read the same tables.
#include <array>
#include <string_view>
#include <vector>

namespace layout {

inline constexpr int kWidth = 510;
inline constexpr int kHeight = 620;
// With the preview panel unfolded the window widens to the right, where the
// preview controls sit (x 534 and beyond), keeping the preview's 24-pixel
// margin on both sides.
inline constexpr int kPanelWidth = 328;
inline constexpr int kWideWidth = kWidth + kPanelWidth;

struct Rect {
  int x, y, w, h;
};

struct Colour {
  unsigned char r, g, b;
};

struct SkinnedButton {
  int id;
  std::string_view label;
  std::string_view skin;
  Rect rect;
  bool shown;
};

// Every skinned button of the main window, the ones shown at start first.
const std::vector<SkinnedButton>& Buttons();

inline constexpr Rect kTitleRect{20, 5, 480, 17};
inline constexpr Colour kTitleColour{240, 240, 240};
inline constexpr int kTitleFontHeight = 16;
inline constexpr int kLabelFontHeight = 15;
inline constexpr Colour kLabelColour{30, 30, 30};
inline constexpr Rect kOutputLabel{15, 532, 0, 0};
inline constexpr Rect kTimeLabel{24, 560, 0, 0};
inline constexpr Rect kStatusRect{10, 600, 200, 20};
inline constexpr Colour kStatusColour{230, 230, 230};

inline constexpr Rect kListRect{15, 100, 480, 360};
inline constexpr Rect kOutputBox{60, 530, 230, 20};
inline constexpr Rect kElapsedBox{60, 560, 92, 20};
// Between the list and the output panel, where the window has room for it.
inline constexpr Rect kProgressBar{15, 484, 480, 6};
inline constexpr Rect kPreviewRect{534, 145, 280, 210};
// The preview's position slider takes its size from its channel picture;
// it lies under the transport and snapshot buttons.
inline constexpr Rect kPreviewSlider{533, 448, 282, 26};

// The window's shape: the rectangle (0,0)-(width+1,621) with 11 x 11 elliptic
// corners joined with the plain rectangle (0,100)-(width+1,621), so only the
// two top corners are curved. As horizontal spans [x0, x1) for each row y.
struct Span {
  int y, x0, x1;
};
std::vector<Span> WindowShapeSpans(int width = kWidth);

// True when (x, y) lies inside the window's shape.
bool InsideShape(int x, int y);

}  // namespace layout
