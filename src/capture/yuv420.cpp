#include "capture/yuv420.h"

namespace capture {
namespace {

// Luma in BT.601 studio range, in steps of 1/256: coarse enough that every
// sum fits 16 bits, so the compiler works on 16 pixels per instruction, and
// never more than 0.76 of a level from the exact value.
inline uint8_t Luma(int b, int g, int r) {
  return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

// Chroma from the sums of four pixels' channels, in steps of 1/32768 with each
// row summing to zero so that grey stays exactly 128: rounded to nearest
// (within 0.51 of a level). A quarter as many samples as luma, so their
// 32-bit arithmetic costs little (measured: 0.1 ms of 1.2 at 1920 x 1080).
inline uint8_t ChromaU(int sb, int sg, int sr) {
  return static_cast<uint8_t>(((-4857 * sr - 9535 * sg + 14392 * sb + (1 << 16)) >> 17) + 128);
}
inline uint8_t ChromaV(int sb, int sg, int sr) {
  return static_cast<uint8_t>(((14392 * sr - 12052 * sg - 2340 * sb + (1 << 16)) >> 17) + 128);
}

// Two rows of pixels (`b` may equal `a` at an odd last row) into their luma
// rows and one chroma row. The loops are written for the compiler to
// vectorise; it does so once per vector unit below.
[[gnu::always_inline]] inline void RowPairBody(
    const uint8_t* __restrict a, const uint8_t* __restrict b, int width, uint8_t* __restrict ya,
    uint8_t* __restrict yb, uint8_t* __restrict u, uint8_t* __restrict v) {
  for (int x = 0; x < width; ++x) ya[x] = Luma(a[4 * x], a[4 * x + 1], a[4 * x + 2]);
  if (yb)
    for (int x = 0; x < width; ++x) yb[x] = Luma(b[4 * x], b[4 * x + 1], b[4 * x + 2]);
  const int pairs = width / 2;
  for (int x = 0; x < pairs; ++x) {
    const uint8_t* p = a + 8 * x;
    const uint8_t* q = b + 8 * x;
    const int sb = p[0] + p[4] + q[0] + q[4];
    const int sg = p[1] + p[5] + q[1] + q[5];
    const int sr = p[2] + p[6] + q[2] + q[6];
    u[x] = ChromaU(sb, sg, sr);
    v[x] = ChromaV(sb, sg, sr);
  }
  if (width % 2) {
    const uint8_t* p = a + 8 * pairs;
    const uint8_t* q = b + 8 * pairs;
    // The last column of an odd width: its two pixels count twice.
    const int sb = 2 * (p[0] + q[0]), sg = 2 * (p[1] + q[1]), sr = 2 * (p[2] + q[2]);
    u[pairs] = ChromaU(sb, sg, sr);
    v[pairs] = ChromaV(sb, sg, sr);
  }
}

using RowPairFn = void (*)(const uint8_t*, const uint8_t*, int, uint8_t*, uint8_t*, uint8_t*,
                          uint8_t*);

[[gnu::target("avx2")]] void RowPairAvx2(const uint8_t* a, const uint8_t* b, int width,
                                         uint8_t* ya, uint8_t* yb, uint8_t* u, uint8_t* v) {
  RowPairBody(a, b, width, ya, yb, u, v);
}

void RowPairPlain(const uint8_t* a, const uint8_t* b, int width, uint8_t* ya, uint8_t* yb,
                  uint8_t* u, uint8_t* v) {
  RowPairBody(a, b, width, ya, yb, u, v);
}

// Chosen on first use rather than by the loader: a resolver the loader runs
// comes before any sanitizer's runtime is up, and crashes an instrumented
// build at start.
RowPairFn PickRowPair() { return __builtin_cpu_supports("avx2") ? RowPairAvx2 : RowPairPlain; }

}  // namespace

void BgrxToYuv420(const BgrxView& in, const Yuv420Planes& out) {
  static const RowPairFn rowPair = PickRowPair();
  for (int y = 0; y < in.height; y += 2) {
    const bool pair = y + 1 < in.height;
    rowPair(in.Row(y), in.Row(pair ? y + 1 : y), in.width, out.y + y * out.yStride,
            pair ? out.y + (y + 1) * out.yStride : nullptr, out.u + (y / 2) * out.uStride,
            out.v + (y / 2) * out.vStride);
  }
}

}  // namespace capture
