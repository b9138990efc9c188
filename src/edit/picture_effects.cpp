#include "edit/picture_effects.h"

#include <algorithm>
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

// One look-up per byte; eight bytes travel in and out as one word, which
// halves the memory operations of a byte loop.
void MapPlane(const ByteTable& table, const uint8_t* in, uint8_t* out, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, in + i, 8);
    uint64_t mapped = 0;
    for (int k = 0; k < 8; ++k) mapped |= uint64_t{table[(word >> (8 * k)) & 0xFF]} << (8 * k);
    std::memcpy(out + i, &mapped, 8);
  }
  for (; i < count; ++i) out[i] = table[in[i]];
}

bool IsIdentity(const ByteTable& table) {
  for (int v = 0; v < 256; ++v)
    if (table[v] != v) return false;
  return true;
}

}  // namespace

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

void ApplyPictureEffects(const EffectSettings& settings, const uint8_t* in, uint8_t* out,
                         int width, int height) {
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
    const double scaled = std::clamp(static_cast<double>(samples[i]) * volume *
                                         static_cast<double>(kPercent), kLow, kHigh);
    samples[i] = static_cast<int16_t>(scaled);
  }
}

}  // namespace edit
