#pragma once
// The server's BGRX pixels straight into the planar 4:2:0 picture the video
// encoder takes, in one pass over the grab: no intermediate 24-bit copy.
#include <cstdint>

#include "capture/pixel_pipeline.h"

namespace capture {

// Three planes, luma at full size and the two chroma planes at half size in
// each direction (rounded up), as AVFrame lays out YUV420P.
struct Yuv420Planes {
  uint8_t* y = nullptr;
  uint8_t* u = nullptr;
  uint8_t* v = nullptr;
  int yStride = 0, uStride = 0, vStride = 0;
};

// BT.601 with studio range (luma 16..235, chroma 16..240), the matrix and
// range the encoder's pictures are decoded with when the file says nothing.
// Each chroma sample is the mean of its 2 x 2 block (the pixels that exist at
// an odd right or bottom edge). Any size; `out` must hold it.
void BgrxToYuv420(const BgrxView& in, const Yuv420Planes& out);

// The same without the hand-written vector code, whatever the processor: the
// reference the fast path must match to the bit.
void BgrxToYuv420OnePixelAtATime(const BgrxView& in, const Yuv420Planes& out);

}  // namespace capture
