#pragma once
// The crop tool's picture hook: the kept rectangle shown over the playing or
// still picture. Everything outside it is dimmed, the inside is left as it
// is, and a white frame two pixels wide marks its border.
#include <cstdint>

namespace edit {

// The kept rectangle in reference units: the picture is always 320 x 240 of
// them, whatever its real size. (0, 0, 320, 240) keeps the whole picture.
struct CropRect {
  int32_t left = 0, top = 0, right = 320, bottom = 240;
};

inline constexpr int kReferenceWidth = 320;
inline constexpr int kReferenceHeight = 240;

// From `in` into `out`, both planar YUV 4:2:0 of width x height (Y, then U
// and V of (width / 2) x (height / 2)). The rectangle is taken inclusive in
// pixels and limited to the picture, so one touching the right or bottom
// border draws its frame on the last column or row. Chroma is the source's
// everywhere. `in` and `out` may be the same buffer.
void ApplyCropOverlay(const CropRect& rect, const uint8_t* in, uint8_t* out, int width,
                      int height);

}  // namespace edit
