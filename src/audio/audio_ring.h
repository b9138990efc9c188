#pragma once
// The two rings that carry call sound from the user-interface thread (where the
// input streams announce filled buffers) to the capture thread (which writes
// one mixed stereo chunk per video frame), and the mixing step itself.
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

// The capture thread's audio step, with its two scratch blocks. Owned by the
// capture thread and used only from it.
class AudioMixer {
 public:
  // One scratch block per ring: 1,024,000 bytes, about 5.3 seconds of sound.
  static constexpr std::size_t kScratchSize = 1'024'000;
  // The far side paces the chunks: 80 ms of sound or less waits for more.
  static constexpr std::size_t kMinRemoteBytes = 15'360;
  static constexpr std::size_t kFrameBytes = 4;
  // How far the near side may run ahead of the far side before its oldest
  // sound is dropped: one second, several of the streams' buffers.
  static constexpr std::size_t kMaxNearLead = 192'000;

  AudioMixer();

  // Drains both rings, taking each count once, and mixes them into one
  // stereo chunk: far side left, near side right. Returns the chunk (valid
  // until the next call) or an empty span when the far side holds 80 ms or
  // less, in which case nothing is taken from either ring.
  //
  // A drain is capped at one scratch block (whole frames): after a stall the
  // rest waits in the ring for the next frame instead of overrunning scratch.
  //
  // The two streams complete their buffers at different moments, so a step
  // may find zero, one or two near-side buffers against one far-side buffer.
  // The near side therefore gives as many bytes as the far side paces and
  // keeps the rest for the next step (dropping its oldest sound only when it
  // runs more than kMaxNearLead ahead); near-side frames it cannot give yet
  // are silence, never sound replayed from an earlier step.
  std::span<const std::uint8_t> DrainAndMix(AudioRing& remote, AudioRing& local);

 private:
  std::unique_ptr<std::uint8_t[]> remoteScratch_;
  std::unique_ptr<std::uint8_t[]> localScratch_;
};

}  // namespace audio
