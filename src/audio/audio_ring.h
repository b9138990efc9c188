#pragma once
// The rings that carry call sound from the thread that drains the input
// streams to the capture thread (which mixes one stereo chunk per video frame
// straight into the file's packet), and the mix of the two sides.
//
// One producer and one consumer per ring: writePos belongs to the producer,
// readPos to the consumer, and the byte count is the only field both change,
// always with atomic add/subtract. The count's release/acquire order is what
// hands the bytes over: the consumer reads only what a count it loaded
// covers, the producer writes only into room a count it loaded leaves free.
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

  // Zeroes the store, both positions and the counts. Only while neither side
  // runs (before the streams start).
  void Clear();

  // Producer. Appends the block, wrapping at the end of the store. A block
  // that does not fit in the free room is refused whole and counted in
  // droppedBytes(): unread sound is never overwritten, and a half-stored block
  // would misalign the frames that follow. Returns the bytes stored (n or 0).
  std::size_t Write(std::span<const std::uint8_t> block);
  // Producer. The same for `n` bytes of silence, without a block to copy.
  std::size_t WriteSilence(std::size_t n);

  // Consumer: bytes filled and not yet taken, read once per step.
  std::size_t Count() const { return count_.load(std::memory_order_acquire); }

  // Consumer. The next `n` bytes (n <= a count read earlier) where they lie in
  // the store: one piece, or two when they wrap. They stay valid, and the
  // producer keeps off them, until Skip gives them up.
  struct Pieces {
    std::span<const std::uint8_t> first, second;
  };
  Pieces Peek(std::size_t n) const;
  // Consumer. Copies `n` bytes (n <= a count read earlier) out and gives them
  // up, so that bytes arriving meanwhile stay for the next step.
  void Take(std::uint8_t* out, std::size_t n);
  // Consumer. Gives up `n` bytes (n <= a count read earlier): advances readPos
  // and subtracts n from the count.
  void Skip(std::size_t n);

  std::size_t writePos() const { return writePos_; }
  std::size_t readPos() const { return readPos_; }
  std::uint64_t droppedBytes() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  // Producer: room for n, else counted as dropped.
  bool Room(std::size_t n);
  void Advance(std::size_t n);

  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t writePos_ = 0;  // producer only
  std::size_t readPos_ = 0;   // consumer only
  std::atomic<std::size_t> count_{0};
  std::atomic<std::uint64_t> dropped_{0};
};

// One stereo chunk of the file from the two sides' 16-bit stereo sound: left
// sample = mean of the far side's two channels, right sample = mean of the
// near side's, the division truncating toward zero. `far` and `near` hold
// `frames` frames each, or are null for a side that is silent there; `out`
// takes `frames` frames and may be neither of them.
void MixFrames(const std::uint8_t* far, const std::uint8_t* near, std::uint8_t* out,
               std::size_t frames);

}  // namespace audio
