#pragma once
// The effects tool's picture and sound arithmetic, shared by its live
// preview and the export: brightness, contrast and saturation on a YUV
// 4:2:0 picture, then one colour effect, and the volume on 16-bit sound.
// Pure functions of their arguments; safe from any thread.
#include <array>
#include <cstdint>

namespace edit {

enum class ColourEffect : int32_t { None = 0, Gray = 1, Negative = 2 };

struct EffectSettings {
  int32_t effect = 0;      // ColourEffect as stored
  int32_t brightness = 0;  // -100 .. +100
  int32_t contrast = 100;  // percent, 0 .. 200
  int32_t saturation = 0;  // -100 .. +100
  int32_t volume = 100;    // percent, 0 .. 200
  bool operator==(const EffectSettings&) const = default;
};

// One output byte for every input byte of a plane.
using ByteTable = std::array<uint8_t, 256>;

// The per-sample rules, one value at a time: luma after brightness and
// contrast (16 .. 240), chroma after contrast and saturation.
uint8_t EffectLuma(const EffectSettings& settings, int y);
uint8_t EffectChroma(const EffectSettings& settings, int v);

// Every value of a plane mapped through the rules and the colour effect.
struct EffectTables {
  ByteTable luma;
  ByteTable chroma;
  bool chromaFlat = false;  // Gray: every chroma sample becomes 128
  bool identity = false;    // nothing changes: the picture is copied
};
EffectTables BuildEffectTables(const EffectSettings& settings);

// From `in` to `out` (may be the same buffer): the Y plane of width x height
// bytes, then the U and V planes of (width / 2) x (height / 2) bytes each.
void ApplyPictureEffects(const EffectSettings& settings, const uint8_t* in, uint8_t* out, int width,
                         int height);

// On by default: the picture hook uses the processor's wide byte permutes
// where it has them. Off gives the portable path (tests compare the two).
void UseWidePermutes(bool on);

// In place: s becomes trunc(s x volume x 0.01), saturated to 16 bits.
void ApplyVolume(int32_t volume, int16_t* samples, int count);

}  // namespace edit
