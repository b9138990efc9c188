#pragma once
// The call sound for the capture thread: both sides of the call, drained and
// mixed once per written picture (far side left, near side right), on the
// recording's own time line.
#include "audio/call_mixer.h"
#include "audio/call_side.h"
#include "recording/capture_thread.h"

namespace recording {

class RingAudioSource final : public AudioChunkSource {
 public:
  // The sides belong to the call audio, which outlives the capture thread.
  RingAudioSource(audio::CallSide& far, audio::CallSide& near) : far_(far), near_(near) {}

  void BeginCollecting(std::chrono::steady_clock::time_point firstPicture) override {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
        firstPicture.time_since_epoch());
    mixer_.Begin(ns.count(), far_, near_);
  }
  std::span<const uint8_t> NextChunk() override { return mixer_.DrainAndMix(far_, near_); }

 private:
  audio::CallSide& far_;
  audio::CallSide& near_;
  audio::AudioMixer mixer_;  // the capture thread's two scratch blocks
};

}  // namespace recording
