#include "ui/trim_geometry.h"

#include <algorithm>

namespace ui {

void TrimGeometry::SetRange(int minimum, int maximum) {
  // Markers need two distinct values to stand on.
  minimum_ = minimum;
  maximum_ = std::max(maximum, minimum + 1);
  start_ = position_ = minimum_;
  end_ = maximum_;
}

void TrimGeometry::SetSizes(int controlWidth, int controlHeight, int thumbWidth, int thumbHeight,
                            int markerWidth, int markerHeight, int rangeHeight) {
  width_ = controlWidth;
  height_ = controlHeight;
  thumbWidth_ = thumbWidth;
  thumbHeight_ = thumbHeight;
  markerWidth_ = markerWidth;
  markerHeight_ = markerHeight;
  rangeHeight_ = rangeHeight;
}

void TrimGeometry::SetPosition(int value) { position_ = std::clamp(value, minimum_, maximum_); }

void TrimGeometry::SetStart(int value) {
  start_ = std::clamp(value, minimum_, end_ - 1);
  position_ = start_;
}

void TrimGeometry::SetEnd(int value) {
  end_ = std::clamp(value, start_ + 1, maximum_);
  position_ = end_;
}

void TrimGeometry::SetMarkers(int start, int end) {
  if (start < end_) {
    SetStart(start);
    SetEnd(end);
  } else {
    SetEnd(end);
    SetStart(start);
  }
}

int TrimGeometry::PixelOf(int value) const {
  return Margin() + static_cast<int>(static_cast<long long>(Travel()) * (value - minimum_) /
                                     (maximum_ - minimum_));
}

int TrimGeometry::ValueOf(int pixel) const {
  if (Travel() <= 0) return minimum_;
  return minimum_ + static_cast<int>(static_cast<double>(pixel - Margin()) / Travel() *
                                     (maximum_ - minimum_));
}

TrimRect TrimGeometry::ThumbRect() const {
  return {PixelOf(position_) - thumbWidth_ / 2, 0, thumbWidth_, thumbHeight_};
}

TrimRect TrimGeometry::RangeRect() const {
  const int from = PixelOf(start_);
  return {from, thumbHeight_, PixelOf(end_) - from, rangeHeight_};
}

TrimRect TrimGeometry::StartRect() const {
  return {PixelOf(start_) - markerWidth_, thumbHeight_ + rangeHeight_, markerWidth_,
          markerHeight_};
}

TrimRect TrimGeometry::EndRect() const {
  return {PixelOf(end_), thumbHeight_ + rangeHeight_, markerWidth_, markerHeight_};
}

int TrimGeometry::PixelOfPart(TrimPart part) const {
  switch (part) {
    case TrimPart::Thumb: return PixelOf(position_);
    case TrimPart::Start: return PixelOf(start_);
    case TrimPart::End: return PixelOf(end_);
    case TrimPart::None: break;
  }
  return 0;
}

void TrimGeometry::ButtonDown(int x, int y) {
  // The thumb wins where it overlaps a marker, then the start marker.
  dragged_ = ThumbRect().Contains(x, y)   ? TrimPart::Thumb
             : StartRect().Contains(x, y) ? TrimPart::Start
             : EndRect().Contains(x, y)   ? TrimPart::End
                                          : TrimPart::None;
  grabOffset_ = dragged_ == TrimPart::None ? 0 : x - PixelOfPart(dragged_);
}

std::vector<TrimNotice> TrimGeometry::Move(int x) {
  if (dragged_ == TrimPart::None) return {};
  const int target = std::clamp(x - grabOffset_, Margin(), width_ - Margin());
  if (target == PixelOfPart(dragged_)) return {};
  const int value = ValueOf(target);
  switch (dragged_) {
    case TrimPart::Thumb:
      SetPosition(value);
      return {{kTrimPositionChanging, position_}};
    case TrimPart::Start:
      SetStart(value);
      return {{kTrimStartChanging, start_}, {kTrimPositionChanging, position_}};
    case TrimPart::End:
      SetEnd(value);
      return {{kTrimEndChanging, end_}, {kTrimPositionChanging, position_}};
    case TrimPart::None: break;
  }
  return {};
}

std::vector<TrimNotice> TrimGeometry::ButtonUp() {
  std::vector<TrimNotice> notices;
  if (dragged_ == TrimPart::Start) notices.push_back({kTrimStartChanged, start_});
  if (dragged_ == TrimPart::End) notices.push_back({kTrimEndChanged, end_});
  if (dragged_ != TrimPart::None) notices.push_back({kTrimPositionChanged, position_});
  dragged_ = TrimPart::None;
  return notices;
}

}  // namespace ui
