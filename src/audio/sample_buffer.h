#pragma once
// A block of PCM samples handed in and out of a wave stream. The caller owns
// it; it owns its bytes.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace audio {

class SampleBuffer {
 public:
  int bitsPerSample() const { return bits_; }
  int sampleRate() const { return rate_; }
  // Samples held, every channel's samples counted separately.
  int sampleCount() const { return count_; }
  std::size_t ByteSize() const {
    return static_cast<std::size_t>(count_) * static_cast<std::size_t>(bits_) / 8;
  }
  std::uint8_t* data() { return data_.get(); }
  const std::uint8_t* data() const { return data_.get(); }

  // Both reallocate to the new byte size; the old contents are discarded.
  void SetBitsPerSample(int bits);
  void SetSampleCount(int count);
  void SetSampleRate(int rate) { rate_ = rate; }
  void Release() { data_.reset(); }

 private:
  void Reallocate();

  int bits_ = 16;
  int rate_ = 48'000;
  int count_ = 0;
  std::unique_ptr<std::uint8_t[]> data_;
};

}  // namespace audio
