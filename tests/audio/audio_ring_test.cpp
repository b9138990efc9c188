#include "audio/audio_ring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

using audio::AudioRing;

namespace {

std::vector<std::uint8_t> Frames(std::size_t frames, std::int16_t left, std::int16_t right) {
  std::vector<std::uint8_t> out(frames * 4);
  for (std::size_t k = 0; k < frames; ++k) {
    std::memcpy(&out[k * 4], &left, 2);
    std::memcpy(&out[k * 4 + 2], &right, 2);
  }
  return out;
}

using StereoFrame = std::pair<std::int16_t, std::int16_t>;

StereoFrame Frame(int left, int right) {
  return {static_cast<std::int16_t>(left), static_cast<std::int16_t>(right)};
}

StereoFrame FrameAt(std::span<const std::uint8_t> chunk, std::size_t k) {
  std::int16_t s[2];
  std::memcpy(s, chunk.data() + k * 4, 4);
  return {s[0], s[1]};
}

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed) {
  std::vector<std::uint8_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((seed + i) * 7 + (i >> 8));
  return out;
}

}  // namespace

TEST(AudioRing, WriteEndingAtStoreEndWrapsToZeroAndReadsBackInOrder) {
  AudioRing ring;
  std::vector<std::uint8_t> sink(AudioRing::kSize);
  // Move both positions to 48,000 bytes before the end.
  const std::size_t lead = AudioRing::kSize - 48'000;
  ASSERT_EQ(ring.Write(std::vector<std::uint8_t>(lead, 0)), lead);
  ring.Take(sink.data(), lead);

  auto exact = Pattern(48'000, 1);
  EXPECT_EQ(ring.Write(exact), exact.size());
  EXPECT_EQ(ring.writePos(), 0u);
  auto across = Pattern(48'000, 2);  // this one splits across the end
  EXPECT_EQ(ring.Write(across), across.size());
  EXPECT_EQ(ring.writePos(), 48'000u);
  ASSERT_EQ(ring.Count(), 96'000u);

  ring.Take(sink.data(), 70'000);  // a read that itself wraps
  ring.Take(sink.data() + 70'000, 26'000);
  EXPECT_EQ(ring.readPos(), 48'000u);
  EXPECT_EQ(ring.Count(), 0u);
  EXPECT_EQ(0, std::memcmp(sink.data(), exact.data(), exact.size()));
  EXPECT_EQ(0, std::memcmp(sink.data() + 48'000, across.data(), across.size()));
}

TEST(AudioRing, FullRingRefusesWholeBlocksWithoutTouchingUnreadData) {
  AudioRing ring;
  const std::size_t block = 48'000;
  std::size_t stored = 0;
  for (std::uint32_t i = 0; i < 50; ++i) stored += ring.Write(Pattern(block, i));
  // 41 blocks fit in 2,000,000 bytes; the other nine are refused whole.
  EXPECT_EQ(stored, 41 * block);
  EXPECT_EQ(ring.Count(), 41 * block);
  EXPECT_EQ(ring.droppedBytes(), 9 * block);

  std::vector<std::uint8_t> first(block);
  ring.Take(first.data(), block);
  EXPECT_EQ(first, Pattern(block, 0));
  // Room for exactly one more block again; it lands after the 41st.
  EXPECT_EQ(ring.Write(Pattern(block, 99)), block);
  EXPECT_EQ(ring.Write(Pattern(block, 100)), 0u);

  ring.Clear();
  EXPECT_EQ(ring.Count(), 0u);
  EXPECT_EQ(ring.writePos(), 0u);
  EXPECT_EQ(ring.readPos(), 0u);
}

TEST(AudioMix, FarSideLeftNearSideRightTruncatingTowardZero) {
  auto remote = Frames(1, 1000, -1000);
  auto local = Frames(1, 300, 101);
  std::vector<std::uint8_t> out(4);
  audio::MixFrames(remote.data(), local.data(), out.data(), 1);
  EXPECT_EQ(FrameAt(out, 0), Frame(0, 200));

  auto r2 = Frames(1, -3, 0);
  auto l2 = Frames(1, 32767, 32767);
  audio::MixFrames(r2.data(), l2.data(), out.data(), 1);
  // -1.5 truncates to -1, and the sum of two full-scale samples does not wrap.
  EXPECT_EQ(FrameAt(out, 0), Frame(-1, 32767));

  // A silent side (null) leaves its channel at zero whatever `out` held.
  auto many = Frames(600, 500, 700);
  std::vector<std::uint8_t> mixed(600 * 4, 0xff);
  audio::MixFrames(many.data(), nullptr, mixed.data(), 600);
  EXPECT_EQ(FrameAt(mixed, 599), Frame(600, 0));
  audio::MixFrames(nullptr, many.data(), mixed.data(), 600);
  EXPECT_EQ(FrameAt(mixed, 0), Frame(0, 600));
  audio::MixFrames(nullptr, nullptr, mixed.data(), 600);
  EXPECT_EQ(FrameAt(mixed, 300), Frame(0, 0));
}

TEST(AudioRing, PeekShowsUnreadBytesInPlaceAcrossTheEndOfTheStore) {
  AudioRing ring;
  const std::size_t lead = AudioRing::kSize - 1000;
  ASSERT_EQ(ring.WriteSilence(lead), lead);
  ring.Skip(lead);
  const auto block = Pattern(3000, 5);
  ASSERT_EQ(ring.Write(block), block.size());
  const auto pieces = ring.Peek(3000);
  ASSERT_EQ(pieces.first.size(), 1000u);
  ASSERT_EQ(pieces.second.size(), 2000u);
  EXPECT_EQ(0, std::memcmp(pieces.first.data(), block.data(), 1000));
  EXPECT_EQ(0, std::memcmp(pieces.second.data(), block.data() + 1000, 2000));
  EXPECT_EQ(ring.Count(), 3000u);  // peeking gives nothing up
  // Silence refused for want of room counts as dropped, like a block.
  EXPECT_EQ(ring.WriteSilence(AudioRing::kSize), 0u);
  EXPECT_EQ(ring.droppedBytes(), AudioRing::kSize);
}

// One producer thread and one consumer thread: every byte arrives once, in
// order, across many wraps of the store.
TEST(AudioRing, ProducerAndConsumerThreadsPassEveryByteInOrder) {
  AudioRing ring;
  constexpr std::size_t kBlock = 48'000;
  constexpr std::uint32_t kBlocks = 200;  // about 4.8 passes round the store
  std::thread producer([&] {
    for (std::uint32_t i = 0; i < kBlocks;) {
      if (ring.Write(Pattern(kBlock, i)) == kBlock) ++i;
      else std::this_thread::yield();
    }
  });
  std::vector<std::uint8_t> got;
  got.reserve(kBlock * kBlocks);
  std::vector<std::uint8_t> scratch(AudioRing::kSize);
  while (got.size() < kBlock * kBlocks) {
    const std::size_t n = ring.Count();
    if (n == 0) {
      std::this_thread::yield();
      continue;
    }
    ring.Take(scratch.data(), n);
    got.insert(got.end(), scratch.begin(), scratch.begin() + n);
  }
  producer.join();
  for (std::uint32_t i = 0; i < kBlocks; ++i)
    ASSERT_EQ(0, std::memcmp(got.data() + i * kBlock, Pattern(kBlock, i).data(), kBlock)) << i;
}
