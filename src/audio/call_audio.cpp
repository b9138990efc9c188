#include "audio/call_audio.h"

namespace audio {

int DrainIntoRing(WaveStream* stream, SampleBuffer& buffer, AudioRing* ring, bool collect) {
  if (!stream) return 0;
  if (!stream->ReadInput(&buffer) || buffer.ByteSize() < 1) return 0;
  if (!collect || !ring) return 1;
  ring->Write({buffer.data(), buffer.ByteSize()});
  return 1;
}

}  // namespace audio
