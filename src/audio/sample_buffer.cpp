#include "audio/sample_buffer.h"

#include <algorithm>

namespace audio {

void SampleBuffer::SetBitsPerSample(int bits) {
  bits_ = bits;
  Reallocate();
}

void SampleBuffer::SetSampleCount(int count) {
  count_ = count;
  Reallocate();
}

void SampleBuffer::Reallocate() {
  // Never an empty block: a zero-sample buffer still has a valid data pointer.
  data_.reset(new std::uint8_t[std::max<std::size_t>(ByteSize(), 1)]);
}

}  // namespace audio
