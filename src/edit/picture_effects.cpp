#include "edit/picture_effects.h"

#include <algorithm>
#include <atomic>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <cstring>
#include <limits>

namespace edit {

namespace {

// The percent factor is the single-precision 0.01 (0.0099999998) the stored
// settings have always been scaled by, while the products are taken in
// double: so at volume 100 a sample of 1000 comes out 999, and the chroma
// table at full saturation is the identity. Single-precision products would
// round 999.99998 back up to 1000.
constexpr float kPercent = 0.01f;

// Luma after the rules stays within 128 +- 112, the video range 16 .. 240.
constexpr double kLumaSwing = 112.0;

bool PictureNeutral(const EffectSettings& s) {
  return s.saturation == 0 && s.contrast == 100 && s.brightness == 0;
}

double ContrastFactor(int32_t contrast) { return static_cast<float>(contrast * 0.01); }

uint8_t Invert(uint8_t v) { return static_cast<uint8_t>(255 - v); }

// One look-up per byte. Eight bytes come in as one word and go out one by
// one: a third fewer loads than a byte loop, and no chain of shifts to
// assemble the result (which costs more than it saves).
void MapPlaneWords(const ByteTable& t, const uint8_t* in, uint8_t* out, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t w;
    std::memcpy(&w, in + i, 8);
    out[i] = t[w & 0xFF];
    out[i + 1] = t[(w >> 8) & 0xFF];
    out[i + 2] = t[(w >> 16) & 0xFF];
    out[i + 3] = t[(w >> 24) & 0xFF];
    out[i + 4] = t[(w >> 32) & 0xFF];
    out[i + 5] = t[(w >> 40) & 0xFF];
    out[i + 6] = t[(w >> 48) & 0xFF];
    out[i + 7] = t[w >> 56];
  }
  for (; i < count; ++i) out[i] = t[in[i]];
}

#if defined(__x86_64__) && defined(__GNUC__)
// Where the processor has byte permutes over 128 bytes, the whole table sits
// in four registers and 64 samples take two permutes and a blend: the pass
// is then bound by memory, not by look-ups.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void MapPlaneVbmi(const ByteTable& t,
                                                                         const uint8_t* in,
                                                                         uint8_t* out,
                                                                         size_t count) {
  const __m512i t0 = _mm512_loadu_si512(t.data()), t1 = _mm512_loadu_si512(t.data() + 64);
  const __m512i t2 = _mm512_loadu_si512(t.data() + 128), t3 = _mm512_loadu_si512(t.data() + 192);
  size_t i = 0;
  for (; i + 64 <= count; i += 64) {
    const __m512i index = _mm512_loadu_si512(in + i);
    const __m512i low = _mm512_permutex2var_epi8(t0, index, t1);
    const __m512i high = _mm512_permutex2var_epi8(t2, index, t3);
    _mm512_storeu_si512(out + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high));
  }
  MapPlaneWords(t, in + i, out + i, count - i);
}

bool HasVbmi() {
  static const bool has =
      __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
  return has;
}
#endif

std::atomic<bool> g_widePermutes{true};

void MapPlane(const ByteTable& t, const uint8_t* in, uint8_t* out, size_t count) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (g_widePermutes.load(std::memory_order_relaxed) && HasVbmi())
    return MapPlaneVbmi(t, in, out, count);
#endif
  MapPlaneWords(t, in, out, count);
}

bool IsIdentity(const ByteTable& table) {
  for (int v = 0; v < 256; ++v)
    if (table[v] != v) return false;
  return true;
}

}  // namespace

void UseWidePermutes(bool on) { g_widePermutes = on; }

uint8_t EffectLuma(const EffectSettings& s, int y) {
  if (PictureNeutral(s)) return static_cast<uint8_t>(y);
  const double c = ContrastFactor(s.contrast);
  const double b = static_cast<float>(s.brightness);
  const double shifted = std::clamp((y - 128) * c + b, -kLumaSwing, kLumaSwing);
  return static_cast<uint8_t>(static_cast<int>(shifted + 128));
}

uint8_t EffectChroma(const EffectSettings& s, int v) {
  if (PictureNeutral(s)) return static_cast<uint8_t>(v);
  const double c = ContrastFactor(s.contrast);
  const double t = (v - 128) * (s.saturation + 100) * c * static_cast<double>(kPercent) + 128.5;
  return static_cast<uint8_t>(std::clamp(static_cast<int>(t), 0, 255));
}

EffectTables BuildEffectTables(const EffectSettings& s) {
  EffectTables tables;
  const auto effect = static_cast<ColourEffect>(s.effect);
  for (int v = 0; v < 256; ++v) {
    tables.luma[v] = EffectLuma(s, v);
    tables.chroma[v] = EffectChroma(s, v);
    if (effect == ColourEffect::Negative) {
      tables.luma[v] = Invert(tables.luma[v]);
      tables.chroma[v] = Invert(tables.chroma[v]);
    }
  }
  tables.chromaFlat = effect == ColourEffect::Gray;
  tables.identity = !tables.chromaFlat && IsIdentity(tables.luma) && IsIdentity(tables.chroma);
  return tables;
}

void ApplyPictureEffects(const EffectSettings& settings, const uint8_t* in, uint8_t* out, int width,
                         int height) {
  if (width <= 0 || height <= 0) return;
  const size_t lumaBytes = static_cast<size_t>(width) * height;
  // Both chroma planes, (width / 2) x (height / 2) each: the decoder's layout.
  const size_t chromaBytes = 2 * static_cast<size_t>(width / 2) * (height / 2);
  const EffectTables tables = BuildEffectTables(settings);
  if (tables.identity) {
    if (in != out) std::memcpy(out, in, lumaBytes + chromaBytes);
    return;
  }
  if (IsIdentity(tables.luma)) {
    if (in != out) std::memcpy(out, in, lumaBytes);
  } else {
    MapPlane(tables.luma, in, out, lumaBytes);
  }
  if (tables.chromaFlat)
    std::memset(out + lumaBytes, 128, chromaBytes);
  else
    MapPlane(tables.chroma, in + lumaBytes, out + lumaBytes, chromaBytes);
}

void ApplyVolume(int32_t volume, int16_t* samples, int count) {
  constexpr double kLow = std::numeric_limits<int16_t>::min();
  constexpr double kHigh = std::numeric_limits<int16_t>::max();
  for (int i = 0; i < count; ++i) {
    // Above 100 % a loud sample leaves the 16-bit range: it is held at the
    // range's edge (clipping) rather than wrapped into a sign-flipped click.
    const double scaled = std::clamp(
        static_cast<double>(samples[i]) * volume * static_cast<double>(kPercent), kLow, kHigh);
    samples[i] = static_cast<int16_t>(scaled);
  }
}

}  // namespace edit
