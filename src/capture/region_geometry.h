#pragma once
// What the region-selection window and the marker around the recorded area
// compute, without drawing anything: the drag as a small state machine, the
// strips and label of a drawn selection, the marker's corner brackets and its
// clamped move.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "capture/geometry.h"

namespace capture {

// A plain rectangle by origin and size (end coordinates exclusive), the form
// drawing calls take.
struct Box {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Box&) const = default;
  bool Contains(int px, int py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
};

// The drag in the selection window: button down anchors, moves stretch,
// release commits.
class RegionSelection {
 public:
  void ButtonDown(Point p);
  // Ignored unless a drag is in progress; true when the selection changed.
  bool MoveTo(Point p);
  // Ends the drag; the committed rectangle, or nothing when it is empty (a
  // click without movement), in which case no recording may start.
  std::optional<ScreenRect> ButtonUp();
  // The cancel key: the drag ends and nothing is committed for recording.
  void Cancel();

  bool dragging() const { return dragging_; }
  const ScreenRect& selection() const { return selection_; }
  const ScreenRect& committed() const { return committed_; }

 private:
  Point anchor_;
  ScreenRect selection_;
  ScreenRect committed_;
  bool dragging_ = false;
};

// The four 3-pixel strips inverted around a selection; inverting them again
// erases them. Sizes may come out negative for the bottom and left strips:
// the drawing normalises them like the raster operation does.
std::array<Box, 4> SelectionStrips(const ScreenRect& r);

// Inverts one strip of a top-down RGB picture (3 bytes a pixel) with the
// hatched brush of the selection: on the brush's back-diagonal lines the
// pixel is XORed with the hatch colour RGB(0, 0, 100), elsewhere with white
// (the brush's opaque background), so the strip stands out on any picture
// and a second inversion restores it exactly. Boxes of negative size count
// from their far edge; parts off the picture are skipped.
// (originX, originY) is the picture's place on the screen: the hatch lines
// follow screen coordinates.
void InvertHatchedStrip(uint8_t* rgb, int width, int height, int stride, Box strip,
                        int originX = 0, int originY = 0);
inline bool OnHatchLine(int x, int y) { return ((x + y) & 7) == 7; }

// "Left : %d  Top : %d  Width : %d  Height : %d" of an inclusive rectangle.
std::string SelectionLabel(const ScreenRect& r);

// Where the label goes for a text of height `textHeight`: above the rectangle
// when there is room for it and a 5-pixel gap, else below.
Point LabelPosition(const ScreenRect& r, int textHeight);

// The rounded box behind the label text of size (textWidth, textHeight).
Box LabelBackground(const ScreenRect& r, Point labelPos, int textWidth, int textHeight);

// The marker's shape around a recorded area of width w and height h: an outer
// box less three holes, leaving four 8-pixel-thick L-shaped brackets just
// outside the area's corners. Coordinates are relative to (x - 8, y - 8).
struct BracketShape {
  static constexpr int kThickness = 8;
  static constexpr int kArm = 24;
  Box outer;
  std::array<Box, 3> holes;
  bool Contains(int px, int py) const;
};
BracketShape BracketsFor(int w, int h);

// Moves the inclusive rectangle by (dx, dy) and pushes it back onto a screen
// of the given size without changing its size.
ScreenRect ClampedMove(const ScreenRect& r, int dx, int dy, int screenWidth, int screenHeight);

}  // namespace capture
