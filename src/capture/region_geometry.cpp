#include "capture/region_geometry.h"

#include <algorithm>
#include <cstdio>

namespace capture {

void RegionSelection::ButtonDown(Point p) {
  anchor_ = p;
  selection_ = Normalise({p.x, p.y, p.x, p.y});
  dragging_ = true;
}

bool RegionSelection::MoveTo(Point p) {
  if (!dragging_) return false;
  const ScreenRect next = Normalise({anchor_.x, anchor_.y, p.x, p.y});
  if (next == selection_) return false;
  selection_ = next;
  return true;
}

std::optional<ScreenRect> RegionSelection::ButtonUp() {
  dragging_ = false;
  committed_ = Normalise(selection_);
  if (committed_.IsEmpty()) return std::nullopt;
  return committed_;
}

void RegionSelection::Cancel() {
  committed_ = Normalise(selection_);
  dragging_ = false;
}

std::array<Box, 4> SelectionStrips(const ScreenRect& r) {
  const int l = r.left, t = r.top, rt = r.right, b = r.bottom;
  return {{{l, t, rt - l, 3},
           {l, b - 3, 3, t - b + 6},
           {rt - 3, t + 3, 3, b - t - 6},
           {rt, b - 3, l - rt, 3}}};
}

void InvertHatchedStrip(uint8_t* rgb, int width, int height, int stride, Box b, int originX,
                        int originY) {
  if (b.width < 0) b.x += b.width, b.width = -b.width;
  if (b.height < 0) b.y += b.height, b.height = -b.height;
  const int x0 = std::max(b.x, 0), y0 = std::max(b.y, 0);
  const int x1 = std::min(b.x + b.width, width), y1 = std::min(b.y + b.height, height);
  for (int y = y0; y < y1; ++y) {
    uint8_t* p = rgb + static_cast<size_t>(y) * stride + static_cast<size_t>(x0) * 3;
    for (int x = x0; x < x1; ++x, p += 3) {
      if (OnHatchLine(x + originX, y + originY)) {
        p[2] ^= 100;  // RGB(0, 0, 100): only blue
      } else {
        p[0] ^= 0xff, p[1] ^= 0xff, p[2] ^= 0xff;
      }
    }
  }
}

std::string SelectionLabel(const ScreenRect& r) {
  char text[96];
  std::snprintf(text, sizeof text, "Left : %d  Top : %d  Width : %d  Height : %d", r.left, r.top,
                r.right - r.left + 1, r.bottom - r.top + 1);
  return text;
}

Point LabelPosition(const ScreenRect& r, int textHeight) {
  const int x = r.left + 6;
  const int y = r.top >= textHeight + 5 ? r.top - (textHeight + 5) : r.bottom + 5;
  return {x, y};
}

Box LabelBackground(const ScreenRect& r, Point labelPos, int textWidth, int textHeight) {
  // From (x, y - 4) to (left + cx + 14, y + cy + 4).
  return {labelPos.x, labelPos.y - 4, r.left + textWidth + 14 - labelPos.x, textHeight + 8};
}

bool BracketShape::Contains(int px, int py) const {
  if (!outer.Contains(px, py)) return false;
  for (const Box& hole : holes)
    if (hole.Contains(px, py)) return false;
  return true;
}

BracketShape BracketsFor(int w, int h) {
  BracketShape s;
  s.outer = {0, 0, w + 15, h + 15};
  s.holes = {{{8, 8, w, h},                 // the area itself
              {0, 24, w + 15, h - 36},      // between the brackets, left and right
              {24, 0, w - 36, h + 15}}};    // between the brackets, top and bottom
  return s;
}

ScreenRect ClampedMove(const ScreenRect& r, int dx, int dy, int screenWidth, int screenHeight) {
  const int w = r.width(), h = r.height();
  ScreenRect m{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
  if (m.left < 0) {
    m.left = 0;
    m.right = w - 1;
  }
  if (m.top < 0) {
    m.top = 0;
    m.bottom = h - 1;
  }
  if (m.right > screenWidth - 1) {
    m.right = screenWidth - 1;
    m.left = m.right - w + 1;
  }
  if (m.bottom > screenHeight - 1) {
    m.bottom = screenHeight - 1;
    m.top = m.bottom - h + 1;
  }
  return m;
}

}  // namespace capture
