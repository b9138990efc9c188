#pragma once
// Where the floating Stop window goes beside a recorded rectangle: below it
// right-aligned, else above left-aligned, else right top-aligned, else left
// bottom-aligned; the first candidate whose four corners lie strictly inside
// the screen wins.
#include <optional>

#include "capture/geometry.h"

namespace recording {

inline constexpr int kFloatingWidth = 52;
inline constexpr int kFloatingHeight = 54;

// Top-left corner for the window, or empty when no candidate fits.
inline std::optional<capture::Point> FloatingStopPlacement(const capture::ScreenRect& rect,
                                                           int screenWidth, int screenHeight) {
  const int R = rect.right + 1, B = rect.bottom + 1;
  const int w = kFloatingWidth, h = kFloatingHeight;
  const capture::ScreenRect candidates[] = {
      {R - w, B, R, B + h},
      {rect.left, rect.top - h, rect.left + w, rect.top},
      {R, rect.top, R + w, rect.top + h},
      {rect.left - w, B - h, rect.left, B},
  };
  auto inside = [&](int x, int y) { return 0 < x && x < screenWidth && 0 < y && y < screenHeight; };
  for (const auto& c : candidates) {
    if (inside(c.left, c.top) && inside(c.right, c.top) && inside(c.left, c.bottom) &&
        inside(c.right, c.bottom))
      return capture::Point{c.left, c.top};
  }
  return std::nullopt;
}

}  // namespace recording
