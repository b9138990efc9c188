#include "ui/slider_geometry.h"

#include <algorithm>
#include <cstdlib>

namespace ui {

void SliderGeometry::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  position_ = Clamp(position_);
}

int SliderGeometry::Clamp(int position) const {
  return std::clamp(position, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
}

void SliderGeometry::SetPosition(int position) { position_ = Clamp(position); }

void SliderGeometry::SetMargins(int left, int top, int right, int bottom) {
  marginLeft_ = left;
  marginTop_ = top;
  marginRight_ = right;
  marginBottom_ = bottom;
}

void SliderGeometry::SetControlSize(int width, int height) {
  width_ = width;
  height_ = height;
}

void SliderGeometry::SetThumbSize(int width, int height) {
  thumbWidth_ = width;
  thumbHeight_ = height;
}

// Both mappings are computed in integers: the quotient truncated toward zero
// is the exact value of the formula, where a floating-point division would
// now and then land a hair below a whole number and lose a step.
int SliderGeometry::PixelOf(int position) const {
  const int64_t travel = Extent() - MarginEnd() - ThumbExtent() - MarginStart();
  const int64_t range = maximum_ - minimum_;
  const int64_t along = range == 0 ? 0 : travel * (position - minimum_) / range;
  return MarginStart() + static_cast<int>(along) + ThumbExtent() / 2;
}

int SliderGeometry::PositionOf(int pixel) const {
  const int64_t travel = Extent() - MarginEnd() - MarginStart() - ThumbExtent();
  if (travel <= 0) return minimum_;
  const int64_t offset = pixel - ThumbExtent() / 2 - MarginStart();
  return static_cast<int>(offset * (maximum_ - minimum_) / travel + minimum_);
}

SliderNotify SliderGeometry::ButtonDown(int pointer) {
  dragging_ = true;
  const int centre = ThumbCentre();
  // Within half a thumb of its centre the thumb is grabbed where it was hit;
  // further away it jumps under the pointer.
  dragOffset_ = std::abs(pointer - centre) > ThumbExtent() / 2 ? 0 : pointer - centre;
  return Move(pointer);
}

SliderNotify SliderGeometry::Move(int pointer) {
  if (!dragging_) return SliderNotify::None;
  const int low = MarginStart() + ThumbExtent() / 2;
  const int high = Extent() - ThumbExtent() / 2 - MarginEnd();
  const int target = std::clamp(pointer - dragOffset_, low, std::max(low, high));
  if (target == ThumbCentre()) return SliderNotify::None;
  const int before = position_;
  position_ = Clamp(PositionOf(target));
  // The owner hears of the drag only when the value really changed.
  return position_ != before ? SliderNotify::Moving : SliderNotify::None;
}

SliderNotify SliderGeometry::ButtonUp() {
  dragging_ = false;
  return SliderNotify::Moved;
}

SliderNotify SliderGeometry::Key(SliderKey key) {
  switch (key) {
    case SliderKey::PageUp: position_ = Clamp(position_ - page_); break;
    case SliderKey::PageDown: position_ = Clamp(position_ + page_); break;
    case SliderKey::End: position_ = Clamp(maximum_); break;
    case SliderKey::Home: position_ = Clamp(minimum_); break;
    case SliderKey::Right:
    case SliderKey::Down: position_ = Clamp(position_ + 1); break;
    case SliderKey::Left:
    case SliderKey::Up: position_ = Clamp(position_ - 1); break;
  }
  return SliderNotify::Moved;
}

}  // namespace ui
