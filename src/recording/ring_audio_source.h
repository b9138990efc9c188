#pragma once
// The call sound for the capture thread: the two rings of the main window,
// drained and mixed once per written picture (far side left, near side right).
#include <atomic>
#include <chrono>
#include <vector>

#include "audio/audio_ring.h"
#include "recording/capture_thread.h"

namespace recording {

// Until the first sound of a recording arrives, the file gets silence in its
// place, so that the sound that does come lines up with the pictures. Sound
// servers can take over a second to deliver a fresh stream's first block (a
// virtual device rendering in large blocks does); without the silence every
// later sound would sit that much too early against the picture.
class StartGapFiller {
 public:
  static constexpr int kBytesPerSecond = 48'000 * 4;
  // A warm device delivers a block of this length this late, holding the sound
  // of the time just before; the silence leaves room for it.
  static constexpr std::chrono::milliseconds kBlockLatency{250};

  void Begin(std::chrono::steady_clock::time_point now) {
    start_ = now;
    written_ = 0;
    soundArrived_ = false;
  }
  // Silence to write now when no sound has arrived yet; empty otherwise.
  std::size_t SilenceDue(std::chrono::steady_clock::time_point now, bool soundNow) {
    if (soundArrived_ || soundNow) {
      soundArrived_ = true;
      return 0;
    }
    auto due = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_) - kBlockLatency;
    if (due.count() <= 0) return 0;
    std::size_t target = static_cast<std::size_t>(due.count()) * kBytesPerSecond / 1000 / 4 * 4;
    std::size_t gap = target > written_ ? target - written_ : 0;
    written_ += gap;
    return gap;
  }

 private:
  std::chrono::steady_clock::time_point start_{};
  std::size_t written_ = 0;
  bool soundArrived_ = false;
};

class RingAudioSource final : public AudioChunkSource {
 public:
  // The rings and the flag belong to the main window and outlive the capture
  // thread. `collect` is the flag that lets the input handlers keep sound; it
  // is raised at the first picture so the recording's sound starts with it.
  RingAudioSource(audio::AudioRing& remote, audio::AudioRing& local, std::atomic<bool>* collect)
      : remote_(remote), local_(local), collect_(collect) {}

  void BeginCollecting() override {
    gap_.Begin(std::chrono::steady_clock::now());
    if (collect_) collect_->store(true);
  }
  std::span<const uint8_t> NextChunk() override {
    std::span<const uint8_t> sound = mixer_.DrainAndMix(remote_, local_);
    std::size_t silence = gap_.SilenceDue(std::chrono::steady_clock::now(), !sound.empty());
    if (silence == 0) return sound;
    silence_.assign(silence, 0);
    return silence_;
  }

 private:
  audio::AudioRing& remote_;
  audio::AudioRing& local_;
  std::atomic<bool>* collect_;
  audio::AudioMixer mixer_;  // the capture thread's two scratch blocks
  StartGapFiller gap_;
  std::vector<uint8_t> silence_;
};

}  // namespace recording
