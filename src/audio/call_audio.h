#pragma once
// What the main window does with each "input buffer filled" notification:
// drain the stream into the handler's own buffer and copy the sound into the
// side's ring, but only while the recording collects sound.
#include "audio/audio_ring.h"
#include "audio/sample_buffer.h"
#include "audio/wave_stream.h"

namespace audio {

// 0 when there is no stream or nothing could be drained; 1 otherwise, also
// when the sound is dropped because `collect` is off (before the capture
// thread's first frame) or the ring has no room for it.
int DrainIntoRing(WaveStream* stream, SampleBuffer& buffer, AudioRing* ring, bool collect);

}  // namespace audio
