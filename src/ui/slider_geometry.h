#pragma once
// The bitmap slider's geometry and input rules without its window: where the
// thumb sits for a position, which position a pixel means, and how mouse and
// keys move it. The window forwards input here and posts what comes back.
#include <cstdint>

namespace ui {

// What the owner of the slider is told after an input step.
enum class SliderNotify {
  None,
  Moving,  // the thumb is being dragged and the position changed
  Moved,   // the drag ended, or a key set the position
};

enum class SliderKey { PageUp, PageDown, Home, End, Left, Right, Up, Down };

class SliderGeometry {
 public:
  // Range; the position is clamped into it.
  void SetRange(int minimum, int maximum);
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  void SetPosition(int position);
  int position() const { return position_; }
  void SetPage(int page) { page_ = page; }
  int page() const { return page_; }
  void SetVertical(bool vertical) { vertical_ = vertical; }
  bool vertical() const { return vertical_; }
  void SetMargins(int left, int top, int right, int bottom);
  void SetControlSize(int width, int height);
  void SetThumbSize(int width, int height);
  int controlWidth() const { return width_; }
  int controlHeight() const { return height_; }
  int thumbWidth() const { return thumbWidth_; }
  int thumbHeight() const { return thumbHeight_; }
  int marginLeft() const { return marginLeft_; }
  int marginTop() const { return marginTop_; }

  // Along the slider's axis (x when horizontal, y when vertical): the thumb
  // centre's pixel for a position, and the position a pixel stands for.
  int PixelOf(int position) const;
  int PositionOf(int pixel) const;
  int ThumbCentre() const { return PixelOf(position_); }

  // Mouse along the axis. ButtonDown grabs the thumb where it was hit, or,
  // away from it, makes it jump under the pointer.
  SliderNotify ButtonDown(int pointer);
  SliderNotify Move(int pointer);
  SliderNotify ButtonUp();
  bool dragging() const { return dragging_; }
  int dragOffset() const { return dragOffset_; }

  SliderNotify Key(SliderKey key);

 private:
  int Extent() const { return vertical_ ? height_ : width_; }
  int ThumbExtent() const { return vertical_ ? thumbHeight_ : thumbWidth_; }
  int MarginStart() const { return vertical_ ? marginTop_ : marginLeft_; }
  int MarginEnd() const { return vertical_ ? marginBottom_ : marginRight_; }
  int Clamp(int position) const;

  int minimum_ = 0, maximum_ = 100, position_ = 0, page_ = 20;
  bool vertical_ = false;
  int marginLeft_ = 0, marginTop_ = 0, marginRight_ = 0, marginBottom_ = 0;
  int width_ = 0, height_ = 0, thumbWidth_ = 0, thumbHeight_ = 0;
  bool dragging_ = false;
  int dragOffset_ = 0;
};

}  // namespace ui
