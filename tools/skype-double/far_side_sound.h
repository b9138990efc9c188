#pragma once
// The far side's sound on the call's timeline: a spoken voice, looped, with
// a loud 1 kHz beep at every flash of the schedule (call_timeline.h).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace call {

// Mono 48 kHz samples of `text` spoken by espeak-ng, or empty with the
// reason in `error`. Runs the speech program once and waits for it.
std::optional<std::vector<std::int16_t>> SpeakText(const std::string& text, std::string* error);

// The 16-bit mono samples of a RIFF/WAVE file's bytes, resampled to 48 kHz;
// empty when the bytes are not 16-bit PCM.
std::optional<std::vector<std::int16_t>> DecodeWave(std::span<const std::uint8_t> bytes);

class FarSideSound {
 public:
  // `voice` may be empty: then only the beeps sound.
  explicit FarSideSound(std::vector<std::int16_t> voice);

  // Interleaved stereo (the same on both sides) for the frames from `first`
  // on, as many as `out` holds.
  void Render(std::int64_t first, std::span<std::int16_t> out) const;

  // How loud the voice is around `frame`, 0 (silent) to 1 (its loudest), for
  // a mouth that moves with it.
  double VoiceLevel(std::int64_t frame) const;

 private:
  std::vector<std::int16_t> voice_;  // one repetition, the pause after it included
  std::vector<float> level_;         // per block of kLevelBlock frames
};

}  // namespace call
