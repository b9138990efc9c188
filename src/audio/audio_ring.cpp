#include "audio/audio_ring.h"

#include <algorithm>
#include <cstring>

namespace audio {

AudioRing::AudioRing() : data_(new std::uint8_t[kSize]()) {}

void AudioRing::Clear() {
  std::memset(data_.get(), 0, kSize);
  writePos_ = 0;
  readPos_ = 0;
  count_.exchange(0, std::memory_order_acq_rel);
}

std::size_t AudioRing::Write(std::span<const std::uint8_t> block) {
  const std::size_t n = block.size();
  if (n == 0) return 0;
  if (n > kSize - Count()) {
    dropped_.fetch_add(n, std::memory_order_relaxed);
    return 0;
  }
  const std::size_t first = std::min(n, kSize - writePos_);
  std::memcpy(data_.get() + writePos_, block.data(), first);
  // A block that ends exactly at the end of the store leaves an empty second
  // piece and writePos back at 0.
  std::memcpy(data_.get(), block.data() + first, n - first);
  writePos_ = (writePos_ + n) % kSize;
  count_.fetch_add(n, std::memory_order_release);
  return n;
}

void AudioRing::Take(std::uint8_t* out, std::size_t n) {
  const std::size_t first = std::min(n, kSize - readPos_);
  std::memcpy(out, data_.get() + readPos_, first);
  std::memcpy(out + first, data_.get(), n - first);
  readPos_ = (readPos_ + n) % kSize;
  count_.fetch_sub(n, std::memory_order_release);
}

void AudioRing::Skip(std::size_t n) {
  readPos_ = (readPos_ + n) % kSize;
  count_.fetch_sub(n, std::memory_order_release);
}

void MixFrames(std::uint8_t* remote, const std::uint8_t* local, std::size_t frames) {
  // Worked in batches of plain 16-bit arrays, which the compiler can turn
  // into vector instructions; the byte blocks themselves carry no alignment.
  constexpr std::size_t kBatch = 512;
  std::int16_t r[2 * kBatch];
  std::int16_t l[2 * kBatch];
  std::int16_t out[2 * kBatch];
  for (std::size_t done = 0; done < frames; done += kBatch) {
    const std::size_t n = std::min(kBatch, frames - done);
    std::memcpy(r, remote + done * 4, n * 4);
    std::memcpy(l, local + done * 4, n * 4);
    for (std::size_t k = 0; k < n; ++k) {
      // int division truncates toward zero, as the mix requires.
      out[2 * k] = static_cast<std::int16_t>((r[2 * k] + r[2 * k + 1]) / 2);
      out[2 * k + 1] = static_cast<std::int16_t>((l[2 * k] + l[2 * k + 1]) / 2);
    }
    std::memcpy(remote + done * 4, out, n * 4);
  }
}

}  // namespace audio
