#pragma once
// The pixel work of a grab, kept free of any window system so it can be
// checked byte for byte: the server's 32-bit pixels, the cursor laid over
// them, and, when a consumer asks for it, the frame's packed bottom-up rows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/frame.h"

namespace capture {

// A top-down block of 32-bit pixels stored blue, green, red, unused
// (little-endian 0x00RRGGBB, the usual 24-bit-depth server layout). It does
// not own the pixels: a grabber's view stays valid until its next grab.
struct BgrxView {
  uint8_t* data = nullptr;
  size_t stride = 0;  // bytes from one row to the next
  int width = 0, height = 0;

  uint8_t* Row(int y) const { return data + static_cast<size_t>(y) * stride; }
};

// Copies a top-down block of BGRX pixels into the frame with its top-left
// corner at (atX, atY); the block must fit the frame.
void CopyBgrxToFrame(const uint8_t* src, size_t srcStride, int width, int height, Frame& frame,
                     int atX, int atY);

// A cursor picture as the server reports it: premultiplied-alpha ARGB words
// (0xAARRGGBB), top-down, with its hot spot.
struct CursorImage {
  int width = 0, height = 0;
  int xhot = 0, yhot = 0;
  unsigned long serial = 0;  // changes whenever the shape changes
  std::vector<uint32_t> argb;
};

// Composites the cursor with its top-left corner at (left, top) in picture
// coordinates (top-down); the parts outside the picture are skipped, and
// nothing outside the cursor's rectangle is touched. Each channel becomes
// cursor + picture * (255 - alpha) / 255, rounded to nearest, which is "over"
// for premultiplied colour.
void BlendCursor(Frame& frame, const CursorImage& cursor, int left, int top);
void BlendCursor(const BgrxView& picture, const CursorImage& cursor, int left, int top);

// One channel of that blend, shared with the tests' own expectations.
inline uint8_t BlendChannel(uint8_t cursor, uint8_t under, uint8_t alpha) {
  unsigned v = cursor + (under * (255u - alpha) + 127u) / 255u;
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}

}  // namespace capture
