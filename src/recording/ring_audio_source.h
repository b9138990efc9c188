#pragma once
// The call sound for the capture thread: the two rings of the main window,
// drained and mixed once per written picture (far side left, near side right).
#include <atomic>

#include "audio/audio_ring.h"
#include "recording/capture_thread.h"

namespace recording {

class RingAudioSource final : public AudioChunkSource {
 public:
  // The rings and the flag belong to the main window and outlive the capture
  // thread. `collect` is the flag that lets the input handlers keep sound; it
  // is raised at the first picture so the recording's sound starts with it.
  RingAudioSource(audio::AudioRing& remote, audio::AudioRing& local, std::atomic<bool>* collect)
      : remote_(remote), local_(local), collect_(collect) {}

  void BeginCollecting() override {
    if (collect_) collect_->store(true);
  }
  std::span<const uint8_t> NextChunk() override { return mixer_.DrainAndMix(remote_, local_); }

 private:
  audio::AudioRing& remote_;
  audio::AudioRing& local_;
  std::atomic<bool>* collect_;
  audio::AudioMixer mixer_;  // the capture thread's two scratch blocks
};

}  // namespace recording
