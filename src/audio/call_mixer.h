#pragma once
// The capture thread's audio step: once per written picture it takes what
// both sides of the call have delivered and mixes it into one stereo chunk,
// far side left, near side right.
//
// Both sides are read on the recording's own time line: the first byte of the
// file's sound is the sound captured at the first picture, to the sample, and
// every later byte of either side sits exactly as long after it as it was
// captured. A side that is late, gone or not yet there is silence in the
// chunk, and its sound for that stretch is skipped when it arrives, so it
// never pushes the rest of the recording out of step.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "audio/call_side.h"

namespace audio {

class AudioMixer {
 public:
  // One scratch block per side: 1,024,000 bytes, about 5.3 seconds of sound.
  static constexpr std::size_t kScratchSize = 1'024'000;
  // 80 ms of sound or less waits for more, to keep the file's chunks few.
  static constexpr std::size_t kMinChunkBytes = 15'360;
  // How far one side may run ahead before the other is given silence for
  // its missing stretch: a second, several of the streams' buffers, more than
  // any two healthy devices drift apart in their delivery.
  static constexpr std::int64_t kMaxLead = 192'000;

  AudioMixer();

  // Capture thread, at its first picture: the recording's sound starts at
  // `startNs` (monotonic ns). Tells both sides, so that their writers keep
  // nothing from before it.
  void Begin(std::int64_t startNs, CallSide& far, CallSide& near);

  // Capture thread, once per written picture: one mixed chunk of whole frames
  // (valid until the next call), or an empty span while 80 ms or less can be
  // given; then nothing is taken. A chunk is at most one scratch block: after
  // a stall the rest waits for the next picture.
  std::span<const std::uint8_t> DrainAndMix(CallSide& far, CallSide& near);

  // Capture thread, after its last picture: the sound up to `endNs` (the end
  // of the last picture's slot), as far as both sides have it; with
  // `padMissing`, what is still missing up to there comes as silence. Empty
  // once the file's sound has reached `endNs`.
  std::span<const std::uint8_t> DrainUpTo(std::int64_t endNs, bool padMissing, CallSide& far,
                                          CallSide& near);

 private:
  // Per side: ring bytes taken and file bytes given out since Begin.
  struct Reader {
    std::int64_t consumed = 0;
    std::int64_t emitted = 0;
  };
  std::int64_t Available(CallSide& side, Reader& reader);
  std::span<const std::uint8_t> Mix(CallSide& far, CallSide& near, std::int64_t chunk);
  void Fill(CallSide& side, Reader& reader, std::uint8_t* out, std::int64_t n);

  std::int64_t startNs_ = 0;
  Reader far_, near_;
  std::unique_ptr<std::uint8_t[]> farScratch_;
  std::unique_ptr<std::uint8_t[]> nearScratch_;
};

}  // namespace audio
