#pragma once
// Halving a picture plane in both directions, each pixel the mean of the
// 2 x 2 block it comes from (rounded up at most by one). The preview takes a
// large picture down by halves before its bicubic scaling: the scaler's cost
// grows with the ratio it has to cover, a halving's with the pixels alone.
#include <cstdint>

namespace media {

// `dst` gets width x height pixels from the 2 * width x 2 * height at `src`.
void HalvePlane(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width,
                int height);

}  // namespace media
