#pragma once
// When the far side's picture flashes white and its sound beeps, on the
// call's own timeline: sample frames at 48 kHz from the call's start. The
// picture and the sound both read this one schedule, so they agree by
// construction; what remains is showing each flash when its beep is heard.
#include <array>
#include <cstdint>

namespace call {

inline constexpr std::int64_t kRate = 48'000;

// Flashes come every 2 s on average, in uneven steps that repeat every 14 s:
// a recording whose sound is late by whole steps then pairs no flash with
// the wrong beep, because no two neighbouring gaps look alike.
inline constexpr std::array<std::int64_t, 7> kGapsMs = {2000, 1400, 2600, 1700, 2300, 1550, 2450};
inline constexpr std::int64_t kCycleMs = 14'000;
// The first flash waits until the stream has surely started playing.
inline constexpr std::int64_t kFirstFlashMs = 1000;
// Long enough that a 25 pictures-a-second grab always holds one white picture.
inline constexpr std::int64_t kFlashMs = 160;
inline constexpr std::int64_t kBeepMs = 120;

constexpr std::int64_t MsToFrames(std::int64_t ms) { return ms * kRate / 1000; }

// Start of flash (and beep) number k, k >= 0, in frames from the call's start.
constexpr std::int64_t FlashStart(std::int64_t k) {
  std::int64_t ms = kFirstFlashMs + (k / static_cast<std::int64_t>(kGapsMs.size())) * kCycleMs;
  for (std::int64_t i = 0; i < k % static_cast<std::int64_t>(kGapsMs.size()); ++i)
    ms += kGapsMs[static_cast<std::size_t>(i)];
  return MsToFrames(ms);
}

// The last flash that started at or before `frame`; -1 before the first.
constexpr std::int64_t FlashIndexAt(std::int64_t frame) {
  if (frame < FlashStart(0)) return -1;
  const std::int64_t n = static_cast<std::int64_t>(kGapsMs.size());
  std::int64_t k = (frame - FlashStart(0)) / MsToFrames(kCycleMs) * n;
  while (FlashStart(k + 1) <= frame) ++k;
  return k;
}

constexpr bool InFlash(std::int64_t frame) {
  const std::int64_t k = FlashIndexAt(frame);
  return k >= 0 && frame < FlashStart(k) + MsToFrames(kFlashMs);
}

// The first frame after `frame` where the picture turns white or back.
constexpr std::int64_t NextFlashEdge(std::int64_t frame) {
  const std::int64_t k = FlashIndexAt(frame);
  if (k >= 0 && frame < FlashStart(k) + MsToFrames(kFlashMs))
    return FlashStart(k) + MsToFrames(kFlashMs);
  return FlashStart(k + 1);
}

static_assert([] {
  std::int64_t sum = 0;
  for (auto g : kGapsMs) sum += g;
  return sum == kCycleMs;
}());
static_assert(FlashIndexAt(FlashStart(9)) == 9 && FlashIndexAt(FlashStart(9) - 1) == 8);

}  // namespace call
