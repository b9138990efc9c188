#pragma once
// The trim slider's rules without its window: a play position thumb and two
// markers, start and end, kept in order (start < end), their pixels and
// rectangles, and what a drag tells the owner. The window forwards the mouse
// here and posts what comes back.
#include <vector>

namespace ui {

// The notification codes the trim slider's owner knows its messages by.
enum TrimCode {
  kTrimPositionChanging = 3073,
  kTrimPositionChanged = 3074,
  kTrimStartChanging = 3075,
  kTrimStartChanged = 3076,
  kTrimEndChanging = 3077,
  kTrimEndChanged = 3078,
};

struct TrimNotice {
  int code = 0;
  int value = 0;
  bool operator==(const TrimNotice&) const = default;
};

struct TrimRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Contains(int px, int py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
};

enum class TrimPart { None, Thumb, Start, End };

class TrimGeometry {
 public:
  // Also puts start and position at the minimum and end at the maximum.
  void SetRange(int minimum, int maximum);
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }

  // The control's size and the pictures' sizes; the marker width is also
  // the margin the travel keeps at both ends.
  void SetSizes(int controlWidth, int controlHeight, int thumbWidth, int thumbHeight,
                int markerWidth, int markerHeight, int rangeHeight);

  void SetPosition(int value);  // clamped to the range
  void SetStart(int value);     // clamped to minimum .. end - 1; the position follows
  void SetEnd(int value);       // clamped to start + 1 .. maximum; the position follows
  // Both markers at once, in whichever order keeps them from pushing each
  // other; the position follows the one set last.
  void SetMarkers(int start, int end);
  int position() const { return position_; }
  int start() const { return start_; }
  int end() const { return end_; }

  int PixelOf(int value) const;
  int ValueOf(int pixel) const;

  TrimRect ThumbRect() const;   // centred on the position, at the top
  TrimRect RangeRect() const;   // from start to end, under the thumb row
  TrimRect StartRect() const;   // ending at the start's pixel, below the range
  TrimRect EndRect() const;     // beginning at the end's pixel

  // The mouse, in control pixels.
  void ButtonDown(int x, int y);
  std::vector<TrimNotice> Move(int x);
  std::vector<TrimNotice> ButtonUp();
  TrimPart dragged() const { return dragged_; }

 private:
  int Margin() const { return markerWidth_; }
  int Travel() const { return width_ - 2 * markerWidth_; }
  int PixelOfPart(TrimPart part) const;

  int minimum_ = 0, maximum_ = 100, position_ = 0, start_ = 0, end_ = 100;
  int width_ = 0, height_ = 0, thumbWidth_ = 0, thumbHeight_ = 0;
  int markerWidth_ = 0, markerHeight_ = 0, rangeHeight_ = 0;
  TrimPart dragged_ = TrimPart::None;
  int grabOffset_ = 0;
};

}  // namespace ui
