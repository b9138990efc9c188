#pragma once
// The capture thread's audio step: once per written picture it takes what
// both sides of the call have delivered and mixes it into one stereo chunk,
// far side left, near side right, straight from the two rings into the
// memory the chunk is written from (the file's packet).
//
// Both sides are read on the recording's own time line: the first byte of the
// file's sound is the sound captured at the first picture, to the sample, and
// every later byte of either side sits exactly as long after it as it was
// captured. A side that is late, gone or not yet there is silence in the
// chunk, and its sound for that stretch is skipped when it arrives, so it
// never pushes the rest of the recording out of step.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "audio/call_side.h"

namespace audio {

// Where a chunk is mixed: asked once with the chunk's size in bytes, it gives
// that much writable memory, or an empty span when it has none (then nothing
// is taken from the rings).
using ChunkMemory = std::function<std::span<std::uint8_t>(std::size_t bytes)>;

class AudioMixer {
 public:
  // The largest chunk: 1,024,000 bytes, about 5.3 seconds of sound.
  static constexpr std::size_t kMaxChunkBytes = 1'024'000;
  // 80 ms of sound or less waits for more, to keep the file's chunks few.
  static constexpr std::size_t kMinChunkBytes = 15'360;
  // How far one side may run ahead before the other is given silence for
  // its missing stretch: a second, several of the streams' buffers, more than
  // any two healthy devices drift apart in their delivery.
  static constexpr std::int64_t kMaxLead = 192'000;

  // Capture thread, at its first picture: the recording's sound starts at
  // `startNs` (monotonic ns). Tells both sides, so that their writers keep
  // nothing from before it.
  void Begin(std::int64_t startNs, CallSide& far, CallSide& near);

  // Capture thread, once per written picture: mixes one chunk of whole frames
  // into `memory` and returns its size, or returns 0 while 80 ms or less can
  // be given; then nothing is asked of `memory` or taken. A chunk is at most
  // kMaxChunkBytes: after a stall the rest waits for the next picture.
  std::size_t DrainAndMix(CallSide& far, CallSide& near, const ChunkMemory& memory);

  // Capture thread, after its last picture: the sound up to `endNs` (the end
  // of the last picture's slot), as far as both sides have it; with
  // `padMissing`, what is still missing up to there comes as silence. 0 once
  // the file's sound has reached `endNs`.
  std::size_t DrainUpTo(std::int64_t endNs, bool padMissing, CallSide& far, CallSide& near,
                        const ChunkMemory& memory);

 private:
  // Per side: ring bytes taken and file bytes given out since Begin.
  struct Reader {
    std::int64_t consumed = 0;
    std::int64_t emitted = 0;
  };
  struct SideView;
  std::int64_t Available(CallSide& side, Reader& reader);
  std::size_t Mix(CallSide& far, CallSide& near, std::int64_t chunk, const ChunkMemory& memory);
  SideView View(CallSide& side, const Reader& reader, std::int64_t n) const;

  std::int64_t startNs_ = 0;
  Reader far_, near_;
};

}  // namespace audio
