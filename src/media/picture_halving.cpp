#include "media/picture_halving.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace media {

void HalvePlane(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width,
                int height) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* top = src + static_cast<std::ptrdiff_t>(2 * y) * srcStride;
    const uint8_t* bottom = top + srcStride;
    uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstStride;
    int x = 0;
#if defined(__SSE2__)
    const __m128i low = _mm_set1_epi16(0x00FF);
    for (; x + 16 <= width; x += 16) {
      const __m128i v0 = _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * x)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 2 * x)));
      const __m128i v1 =
          _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * x + 16)),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 2 * x + 16)));
      // Left and right of each pair side by side, as 16-bit lanes.
      const __m128i h0 = _mm_avg_epu16(_mm_and_si128(v0, low), _mm_srli_epi16(v0, 8));
      const __m128i h1 = _mm_avg_epu16(_mm_and_si128(v1, low), _mm_srli_epi16(v1, 8));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(h0, h1));
    }
#endif
    for (; x < width; ++x)
      out[x] = static_cast<uint8_t>(
          (top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1] + 2) >> 2);
  }
}

}  // namespace media
