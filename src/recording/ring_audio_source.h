#pragma once
// The call sound for the capture thread: both sides of the call, drained and
// mixed once per written picture (far side left, near side right) straight
// into the file's packet, on the recording's own time line.
#include "audio/call_mixer.h"
#include "audio/call_side.h"
#include "recording/capture_thread.h"

namespace recording {

class RingAudioSource final : public AudioChunkSource {
 public:
  // The sides belong to the call audio, which outlives the capture thread.
  RingAudioSource(audio::CallSide& far, audio::CallSide& near) : far_(far), near_(near) {}

  void BeginCollecting(std::chrono::steady_clock::time_point firstPicture) override {
    mixer_.Begin(Ns(firstPicture), far_, near_);
  }
  std::size_t NextChunk(const AudioMemory& memory) override {
    return mixer_.DrainAndMix(far_, near_, memory);
  }
  std::size_t ChunkUpTo(std::chrono::steady_clock::time_point end, bool padMissing,
                        const AudioMemory& memory) override {
    return mixer_.DrainUpTo(Ns(end), padMissing, far_, near_, memory);
  }

 private:
  static std::int64_t Ns(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  }
  audio::CallSide& far_;
  audio::CallSide& near_;
  audio::AudioMixer mixer_;
};

}  // namespace recording
