#include "edit/crop_hook.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace edit {
namespace {

// Halves `count` luma samples. Eight at a time in a 64-bit word: the shift
// moves each byte's low bit into its neighbour's top bit, which the mask
// clears. This runs over most of every 1080p picture, so it must not go
// sample by sample.
void DimRow(const uint8_t* in, uint8_t* out, int count) {
  constexpr uint64_t kKeepLow7 = 0x7f7f7f7f7f7f7f7fULL;
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, in + i, 8);
    word = (word >> 1) & kKeepLow7;
    std::memcpy(out + i, &word, 8);
  }
  for (; i < count; ++i) out[i] = static_cast<uint8_t>(in[i] >> 1);
}

// One pixel span [begin, end) of a row, possibly empty.
struct Span {
  int begin = 0, end = 0;
  int size() const { return end - begin; }
};

// How the rectangle cuts a row or a column: before it, its two leading frame
// lines, its inside, its two trailing frame lines, after it. Worked out once
// per picture so the row loop carries no per-pixel tests.
struct Cuts {
  Span before, leadFrame, inside, trailFrame, after;
};

Cuts CutLine(int32_t lowUnits, int32_t highUnits, int32_t units, int pixels) {
  const int64_t low = std::clamp<int32_t>(lowUnits, 0, units);
  const int64_t high = std::clamp<int32_t>(highUnits, 0, units);
  const int first = std::min<int>(static_cast<int>(pixels * low / units), pixels - 1);
  // Inclusive last pixel, never before the first even for an inverted rectangle.
  const int last = std::clamp<int>(static_cast<int>(pixels * high / units), first, pixels - 1);
  Cuts c;
  c.before = {0, first};
  c.leadFrame = {first, std::min(first + 2, last + 1)};
  c.trailFrame = {std::max(last - 1, c.leadFrame.end), last + 1};
  c.inside = {c.leadFrame.end, c.trailFrame.begin};
  c.after = {last + 1, pixels};
  return c;
}

void FillWhite(uint8_t* row, Span span) {
  if (span.size() > 0) std::memset(row + span.begin, 255, static_cast<size_t>(span.size()));
}

void DimSpan(const uint8_t* in, uint8_t* out, Span span) {
  DimRow(in + span.begin, out + span.begin, span.size());
}

void FrameRow(const uint8_t* in, uint8_t* out, const Cuts& cols) {
  DimSpan(in, out, cols.before);
  FillWhite(out, {cols.leadFrame.begin, cols.trailFrame.end});
  DimSpan(in, out, cols.after);
}

void InsideRow(const uint8_t* in, uint8_t* out, const Cuts& cols) {
  DimSpan(in, out, cols.before);
  FillWhite(out, cols.leadFrame);
  if (cols.inside.size() > 0)
    std::memmove(out + cols.inside.begin, in + cols.inside.begin,
                 static_cast<size_t>(cols.inside.size()));
  FillWhite(out, cols.trailFrame);
  DimSpan(in, out, cols.after);
}

}  // namespace

void ApplyCropOverlay(const CropRect& rect, const uint8_t* in, uint8_t* out, int width,
                      int height) {
  if (width <= 0 || height <= 0) return;
  const Cuts cols = CutLine(rect.left, rect.right, kReferenceWidth, width);
  const Cuts rows = CutLine(rect.top, rect.bottom, kReferenceHeight, height);
  const auto rowIn = [&](int y) { return in + static_cast<size_t>(y) * width; };
  const auto rowOut = [&](int y) { return out + static_cast<size_t>(y) * width; };

  for (int y = rows.before.begin; y < rows.before.end; ++y) DimRow(rowIn(y), rowOut(y), width);
  for (int y = rows.leadFrame.begin; y < rows.leadFrame.end; ++y)
    FrameRow(rowIn(y), rowOut(y), cols);
  for (int y = rows.inside.begin; y < rows.inside.end; ++y) InsideRow(rowIn(y), rowOut(y), cols);
  for (int y = rows.trailFrame.begin; y < rows.trailFrame.end; ++y)
    FrameRow(rowIn(y), rowOut(y), cols);
  for (int y = rows.after.begin; y < rows.after.end; ++y) DimRow(rowIn(y), rowOut(y), width);

  // Both chroma planes pass unchanged, as one block; for odd sizes the
  // planes are (width / 2) x (height / 2), so no row arithmetic is needed.
  const size_t luma = static_cast<size_t>(width) * height;
  const size_t chroma = 2 * static_cast<size_t>(width / 2) * (height / 2);
  if (in != out) std::memcpy(out + luma, in + luma, chroma);
}

}  // namespace edit
