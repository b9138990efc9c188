#pragma once
// Screen rectangles as the capture code passes them around: inclusive corners,
// the way the selection window and the capture rectangle keep them.
#include <algorithm>

namespace capture {

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // inclusive
  bool operator==(const ScreenRect&) const = default;

  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
  // Degenerate for drawing and committing: no area between the corners.
  bool IsEmpty() const { return right <= left || bottom <= top; }
};

// Swaps the corners that are reversed, so a drag in any direction describes
// the same rectangle.
inline ScreenRect Normalise(ScreenRect r) {
  if (r.right < r.left) std::swap(r.left, r.right);
  if (r.bottom < r.top) std::swap(r.top, r.bottom);
  return r;
}

// The encoder and the frame layout want sizes in multiples of 4; the picture
// keeps its top-left corner and loses up to 3 columns/rows on the far side.
inline int RoundDownTo4(int v) { return v > 0 ? v / 4 * 4 : 0; }

}  // namespace capture
