#pragma once
// The rings that carry call sound from the thread that drains the input
// streams to the capture thread (which writes one mixed stereo chunk per
// video frame), and the mix of the two sides.
//
// One producer and one consumer per ring: writePos belongs to the producer,
// readPos to the consumer, and the byte count is the only field both change,
// always with atomic add/subtract.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace audio {

class AudioRing {
 public:
  // 2,000,000 bytes: a little over ten seconds of 48 kHz 16-bit stereo.
  static constexpr std::size_t kSize = 2'000'000;

  AudioRing();
  AudioRing(const AudioRing&) = delete;
  AudioRing& operator=(const AudioRing&) = delete;

  // Zeroes the store, both positions and the count. Only while neither side
  // runs (before the streams start).
  void Clear();

  // Producer. Appends the block, wrapping at the end of the store. A block
  // that does not fit in the free room is refused whole and counted in
  // droppedBytes(): unread sound is never overwritten, and a half-stored block
  // would misalign the frames that follow. Returns the bytes stored (n or 0).
  std::size_t Write(std::span<const std::uint8_t> block);

  // Consumer: bytes filled and not yet taken, read once per step.
  std::size_t Count() const { return count_.load(std::memory_order_acquire); }

  // Consumer. Copies `n` bytes (n <= a count read earlier) from readPos into
  // `out`, wrapping as Write does, advances readPos and subtracts n from the
  // count, so that bytes arriving meanwhile stay for the next step.
  void Take(std::uint8_t* out, std::size_t n);
  // Consumer. Drops `n` bytes (n <= a count read earlier) without copying.
  void Skip(std::size_t n);

  std::size_t writePos() const { return writePos_; }
  std::size_t readPos() const { return readPos_; }
  std::uint64_t droppedBytes() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t writePos_ = 0;  // producer only
  std::size_t readPos_ = 0;   // consumer only
  std::atomic<std::size_t> count_{0};
  std::atomic<std::uint64_t> dropped_{0};
};

// Left sample = mean of the far side's two channels, right sample = mean of the
// near side's, 16-bit signed, the division truncating toward zero. `frames`
// stereo frames of `remote` are rewritten in place; `local` holds as many.
void MixFrames(std::uint8_t* remote, const std::uint8_t* local, std::size_t frames);

}  // namespace audio
