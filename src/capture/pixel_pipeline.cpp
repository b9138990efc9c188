#include "capture/pixel_pipeline.h"

#include <algorithm>

namespace capture {
namespace {

// Lays the cursor over a picture whose top-down row `y` starts at row(y) and
// whose pixels are `Step` bytes apart, blue first.
template <int Step, class RowOf>
void BlendOver(int width, int height, RowOf row, const CursorImage& cursor, int left, int top) {
  const int x0 = std::max(0, -left), y0 = std::max(0, -top);
  const int x1 = std::min(cursor.width, width - left);
  const int y1 = std::min(cursor.height, height - top);
  for (int cy = y0; cy < y1; ++cy) {
    const uint32_t* in = cursor.argb.data() + static_cast<size_t>(cy) * cursor.width;
    uint8_t* out = row(top + cy) + static_cast<ptrdiff_t>(left) * Step;
    for (int cx = x0; cx < x1; ++cx) {
      const uint32_t p = in[cx];
      const uint8_t a = p >> 24;
      if (a == 0 && (p & 0xffffff) == 0) continue;  // fully transparent
      uint8_t* d = out + cx * Step;
      d[0] = BlendChannel(p & 0xff, d[0], a);
      d[1] = BlendChannel((p >> 8) & 0xff, d[1], a);
      d[2] = BlendChannel((p >> 16) & 0xff, d[2], a);
    }
  }
}

}  // namespace

void CopyBgrxToFrame(const uint8_t* src, size_t srcStride, int width, int height, Frame& frame,
                     int atX, int atY) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = src + static_cast<size_t>(y) * srcStride;
    uint8_t* out = frame.TopDownRow(atY + y) + static_cast<size_t>(atX) * 3;
    // Eight bytes at a time would need alignment care; a plain loop is what
    // the compiler vectorises best for this 4-to-3 repack.
    for (int x = 0; x < width; ++x) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      in += 4;
      out += 3;
    }
  }
}

void BlendCursor(Frame& frame, const CursorImage& cursor, int left, int top) {
  BlendOver<3>(frame.width(), frame.height(), [&](int y) { return frame.TopDownRow(y); }, cursor,
               left, top);
}

void BlendCursor(const BgrxView& picture, const CursorImage& cursor, int left, int top) {
  BlendOver<4>(picture.width, picture.height, [&](int y) { return picture.Row(y); }, cursor, left,
               top);
}

}  // namespace capture
