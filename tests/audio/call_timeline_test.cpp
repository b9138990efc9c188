// Sound and picture in step, at the level of samples: each side's sound goes
// into the file at the place its capture time gives it, whatever the devices
// do on the way.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/call_mixer.h"
#include "audio/call_side.h"

using namespace audio;

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kT0 = 1'000'000 * kMs;  // an arbitrary monotonic time
constexpr std::int64_t kFramesPerMs = 48;

// A block of `ms` milliseconds whose every frame carries its own capture
// time in units of frames since kT0 (both channels), so the mixed file shows
// where each sample came from.
std::vector<std::uint8_t> Stamped(std::int64_t firstFrame, std::int64_t ms) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(ms * kFramesPerMs * 4));
  for (std::int64_t k = 0; k < ms * kFramesPerMs; ++k) {
    const auto v = static_cast<std::int16_t>((firstFrame + k) % 30'000 + 1);
    const std::int16_t f[2] = {v, v};
    std::memcpy(&out[static_cast<std::size_t>(k * 4)], f, 4);
  }
  return out;
}

// Feeds one side as a device would: blocks of `ms` captured from `fromMs`
// after kT0, each handed over with its capture end.
void Deliver(SideWriter& w, std::int64_t fromMs, std::int64_t ms) {
  w.Write(Stamped(fromMs * kFramesPerMs, ms), kT0 + (fromMs + ms) * kMs);
}

struct Mixed {
  std::vector<std::int16_t> left, right;
  // One step of the capture thread, into memory of its own as a packet's.
  std::size_t Drain(AudioMixer& mixer, CallSide& far, CallSide& near) {
    std::vector<std::uint8_t> packet;
    const std::size_t n = mixer.DrainAndMix(far, near, [&](std::size_t bytes) {
      packet.resize(bytes);
      return std::span<std::uint8_t>(packet);
    });
    EXPECT_EQ(n, packet.size());
    Add(packet);
    return n;
  }
  void Add(std::span<const std::uint8_t> chunk) {
    for (std::size_t i = 0; i + 4 <= chunk.size(); i += 4) {
      std::int16_t f[2];
      std::memcpy(f, chunk.data() + i, 4);
      left.push_back(f[0]);
      right.push_back(f[1]);
    }
  }
};

// The value a frame captured `ms` after kT0 carries.
std::int16_t At(std::int64_t ms) { return static_cast<std::int16_t>(ms * kFramesPerMs % 30'000 + 1); }

}  // namespace

TEST(CallTimeline, TheFileStartsWithTheSoundOfTheFirstPictureToTheSample) {
  CallSide far, near;
  SideWriter farIn(far), nearIn(near);
  AudioMixer mixer;
  // Both devices run before the first picture (the user drags a region for
  // seconds); their buffers complete at different moments.
  for (std::int64_t t = 0; t < 5000; t += 250) Deliver(farIn, t, 250);
  for (std::int64_t t = 100; t < 5100; t += 250) Deliver(nearIn, t, 250);
  // The first picture at 5030 ms and a little: the blocks that straddle it
  // come after it, as they do from a real device.
  const std::int64_t start = kT0 + 5030 * kMs + 7 * kMs / 48;
  mixer.Begin(start, far, near);
  Deliver(farIn, 5000, 250);
  Deliver(nearIn, 5100, 250);
  Deliver(farIn, 5250, 250);
  Deliver(nearIn, 5350, 250);
  Mixed out;
  out.Drain(mixer, far, near);
  ASSERT_GE(out.left.size(), 250u * kFramesPerMs);
  // Frame 0 of the file is the frame captured at the first picture, on both
  // sides (the near side's first frame there came in a block that began
  // before it, too).
  const std::int64_t startFrame = 5030 * kFramesPerMs + 7;
  EXPECT_EQ(out.left[0], static_cast<std::int16_t>(startFrame % 30'000 + 1));
  EXPECT_EQ(out.right[0], static_cast<std::int16_t>(startFrame % 30'000 + 1));
  for (std::size_t k = 0; k < out.left.size(); ++k) {
    ASSERT_EQ(out.left[k], static_cast<std::int16_t>((startFrame + k) % 30'000 + 1)) << k;
    ASSERT_EQ(out.right[k], static_cast<std::int16_t>((startFrame + k) % 30'000 + 1)) << k;
  }
  // Sound from before the first picture was cut away, none lost.
  EXPECT_EQ(far.stats().lost() + near.stats().lost(), 0);
}

TEST(CallTimeline, LossesLateSidesAndFastDevicesKeepEverySampleInItsPlace) {
  CallSide far, near;
  SideWriter farIn(far), nearIn(near);
  AudioMixer mixer;
  mixer.Begin(kT0, far, near);
  Mixed out;
  // Far side: the buffer of 500-750 ms is lost on the way.
  Deliver(farIn, 0, 250);
  Deliver(farIn, 250, 250);
  Deliver(farIn, 750, 250);
  // Near side: nothing yet (a device slow to start, or unplugged). The far
  // side is not yet a second ahead, so the mix waits for it.
  out.Drain(mixer, far, near);
  EXPECT_TRUE(out.left.empty());
  nearIn.FillSilenceUntil(kT0 + 1200 * kMs);
  Deliver(nearIn, 1200, 300);
  // Far side again, then a device running fast: its next 250 ms carry
  // capture times 30 ms earlier than their count says.
  Deliver(farIn, 1000, 250);
  farIn.Write(Stamped(1250 * kFramesPerMs, 250), kT0 + 1470 * kMs);
  for (int i = 0; i < 3; ++i) out.Drain(mixer, far, near);
  ASSERT_GE(out.left.size(), 1450u * kFramesPerMs);

  auto frameAt = [](std::int64_t ms) { return static_cast<std::size_t>(ms * kFramesPerMs); };
  EXPECT_EQ(out.left[frameAt(100)], At(100));
  EXPECT_EQ(out.left[frameAt(600)], 0) << "the lost buffer is silence";
  EXPECT_EQ(out.left[frameAt(800)], At(800)) << "sound after a loss keeps its place";
  // The sample heard at 1300 ms is the one captured then: 30 ms further into
  // the fast block than its count, the excess having been dropped.
  EXPECT_EQ(out.left[frameAt(1300)], At(1330));
  EXPECT_EQ(out.right[frameAt(600)], 0);
  EXPECT_EQ(out.right[frameAt(1300)], At(1300));
  EXPECT_GE(farIn.silenceBytes(), 250 * 192);
  EXPECT_GE(farIn.droppedBytes(), 25 * 192);
}

TEST(CallTimeline, ASilentSideNeverHoldsTheOtherBackBeyondASecond) {
  CallSide far, near;
  SideWriter farIn(far);
  AudioMixer mixer;
  mixer.Begin(kT0, far, near);
  Mixed out;
  for (std::int64_t t = 0; t < 3000; t += 250) {
    Deliver(farIn, t, 250);
    out.Drain(mixer, far, near);
  }
  // The near side never delivered: the file's sound trails the far side's by
  // at most a second, and the near side is silence.
  EXPECT_GE(out.left.size(), static_cast<std::size_t>((3000 - 1000 - 250) * kFramesPerMs));
  EXPECT_EQ(out.left[1000], 1001);  // frame 1000, stamped 1000 + 1
  for (std::int16_t v : out.right) ASSERT_EQ(v, 0);
  // Its sound for a stretch the file already has as silence comes too late:
  // it is skipped, and counted as lost.
  SideWriter nearIn(near);
  Deliver(nearIn, 0, 250);
  out.Drain(mixer, far, near);
  EXPECT_EQ(near.stats().skippedLate, 250 * 192);
  EXPECT_EQ(near.ring.Count(), 0u);
}

TEST(CallTimeline, EverySampleKeepsItsPlaceWhereEitherRingWrapsInsideAChunk) {
  CallSide far, near;
  SideWriter farIn(far), nearIn(near);
  AudioMixer mixer;
  mixer.Begin(kT0, far, near);
  Mixed out;
  // 24 s: each ring wraps twice, and the near side, starting 30 ms late,
  // wraps at other places in the file than the far side.
  for (std::int64_t t = 0; t < 24'000; t += 250) {
    Deliver(farIn, t, 250);
    Deliver(nearIn, t + 30, 250);
    out.Drain(mixer, far, near);
  }
  ASSERT_GE(out.left.size(), static_cast<std::size_t>(23'500 * kFramesPerMs));
  for (std::size_t k = 0; k < out.left.size(); ++k) {
    const auto v = static_cast<std::int16_t>(k % 30'000 + 1);
    ASSERT_EQ(out.left[k], v) << k;
    ASSERT_EQ(out.right[k], k < 30 * kFramesPerMs ? 0 : v) << k;
  }
  EXPECT_EQ(far.stats().lost() + near.stats().lost(), 0);
}

TEST(CallTimeline, ChunksWaitForMoreThan80msAndACatchUpComesInChunksOfAtMostTheLargestSize) {
  CallSide far, near;
  SideWriter farIn(far), nearIn(near);
  AudioMixer mixer;
  mixer.Begin(kT0, far, near);
  Deliver(farIn, 0, 80);
  Deliver(nearIn, 0, 80);
  Mixed out;
  EXPECT_EQ(out.Drain(mixer, far, near), 0u);
  EXPECT_EQ(far.ring.Count(), 80u * 192);  // nothing taken
  // The capture thread stalled for eight seconds: the catch-up comes in
  // chunks of the largest size, every sample in order.
  for (std::int64_t t = 80; t < 8000; t += 250) {
    Deliver(farIn, t, 250);
    Deliver(nearIn, t, 250);
  }
  EXPECT_EQ(out.Drain(mixer, far, near), AudioMixer::kMaxChunkBytes);
  while (out.Drain(mixer, far, near) != 0) {
  }
  ASSERT_EQ(out.left.size(), static_cast<std::size_t>(8080 * kFramesPerMs));
  for (std::size_t k = 0; k < out.left.size(); k += 997)
    ASSERT_EQ(out.right[k], static_cast<std::int16_t>(k % 30'000 + 1)) << k;
}
