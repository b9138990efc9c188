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

bool AudioRing::Room(std::size_t n) {
  if (n <= kSize - Count()) return true;
  dropped_.fetch_add(n, std::memory_order_relaxed);
  return false;
}

void AudioRing::Advance(std::size_t n) {
  writePos_ = (writePos_ + n) % kSize;
  count_.fetch_add(n, std::memory_order_release);
}

std::size_t AudioRing::Write(std::span<const std::uint8_t> block) {
  const std::size_t n = block.size();
  if (n == 0 || !Room(n)) return 0;
  const std::size_t first = std::min(n, kSize - writePos_);
  std::memcpy(data_.get() + writePos_, block.data(), first);
  // A block that ends exactly at the end of the store leaves an empty second
  // piece and writePos back at 0.
  std::memcpy(data_.get(), block.data() + first, n - first);
  Advance(n);
  return n;
}

std::size_t AudioRing::WriteSilence(std::size_t n) {
  if (n == 0 || !Room(n)) return 0;
  const std::size_t first = std::min(n, kSize - writePos_);
  std::memset(data_.get() + writePos_, 0, first);
  std::memset(data_.get(), 0, n - first);
  Advance(n);
  return n;
}

AudioRing::Pieces AudioRing::Peek(std::size_t n) const {
  const std::size_t first = std::min(n, kSize - readPos_);
  return {{data_.get() + readPos_, first}, {data_.get(), n - first}};
}

void AudioRing::Take(std::uint8_t* out, std::size_t n) {
  const Pieces p = Peek(n);
  std::memcpy(out, p.first.data(), p.first.size());
  std::memcpy(out + p.first.size(), p.second.data(), p.second.size());
  Skip(n);
}

void AudioRing::Skip(std::size_t n) {
  readPos_ = (readPos_ + n) % kSize;
  count_.fetch_sub(n, std::memory_order_release);
}

namespace {

// One frame of one side, read as one 32-bit word: the mean of its two
// channels, truncated toward zero as int division does. Words rather than
// pairs of samples let the compiler turn the loop into vector code; memcpy
// keeps the unaligned byte blocks legal to read and costs a plain load.
inline std::uint16_t Mean(const std::uint8_t* frame) {
  std::uint32_t w;
  std::memcpy(&w, frame, 4);
  const int sum = static_cast<std::int16_t>(w & 0xffff) + static_cast<std::int16_t>(w >> 16);
  return static_cast<std::uint16_t>(sum / 2);
}

template <bool kFar, bool kNear>
void MixRun(const std::uint8_t* far, const std::uint8_t* near, std::uint8_t* out,
            std::size_t frames) {
  for (std::size_t k = 0; k < frames; ++k) {
    const std::uint32_t left = kFar ? Mean(far + 4 * k) : 0;
    const std::uint32_t right = kNear ? Mean(near + 4 * k) : 0;
    const std::uint32_t w = left | right << 16;  // little-endian: left first
    std::memcpy(out + 4 * k, &w, 4);
  }
}

}  // namespace

void MixFrames(const std::uint8_t* far, const std::uint8_t* near, std::uint8_t* out,
               std::size_t frames) {
  if (far && near) MixRun<true, true>(far, near, out, frames);
  else if (far) MixRun<true, false>(far, nullptr, out, frames);
  else if (near) MixRun<false, true>(nullptr, near, out, frames);
  else std::memset(out, 0, frames * 4);
}

}  // namespace audio
