#include "audio/call_mixer.h"

#include <algorithm>
#include <cstring>

namespace audio {

AudioMixer::AudioMixer()
    : farScratch_(new std::uint8_t[kScratchSize]()), nearScratch_(new std::uint8_t[kScratchSize]()) {}

void AudioMixer::Begin(std::int64_t startNs, CallSide& far, CallSide& near) {
  startNs_ = startNs;
  far_ = {};
  near_ = {};
  far.startNs.store(startNs);
  near.startNs.store(startNs);
}

// What the side can give now: silence that its time line puts before its
// first sound, plus the sound in its ring. Sound for a stretch already given
// out (as silence, while the side was late) is skipped first.
std::int64_t AudioMixer::Available(CallSide& side, Reader& reader) {
  const std::int64_t origin = side.originNs.load();
  if (origin == 0) return 0;
  // Ring position the next byte of the file needs.
  const std::int64_t wanted = reader.emitted - BytesForNs(origin - startNs_);
  if (wanted > reader.consumed) {
    const auto skip = std::min<std::int64_t>(wanted - reader.consumed,
                                             static_cast<std::int64_t>(side.ring.Count()));
    side.ring.Skip(static_cast<std::size_t>(skip));
    reader.consumed += skip;
    if (wanted > reader.consumed) return 0;
  }
  const std::int64_t lead = wanted < 0 ? -wanted : 0;
  return lead + static_cast<std::int64_t>(side.ring.Count());
}

void AudioMixer::Fill(CallSide& side, Reader& reader, std::uint8_t* out, std::int64_t n) {
  std::int64_t pos = 0;
  const std::int64_t origin = side.originNs.load();
  if (origin != 0) {
    const std::int64_t wanted = reader.emitted - BytesForNs(origin - startNs_);
    if (wanted < 0) {
      const std::int64_t lead = std::min(-wanted, n);
      std::memset(out, 0, static_cast<std::size_t>(lead));
      pos = lead;
    }
    if (reader.consumed >= wanted) {
      const std::int64_t take =
          std::min(n - pos, static_cast<std::int64_t>(side.ring.Count()));
      side.ring.Take(out + pos, static_cast<std::size_t>(take));
      reader.consumed += take;
      pos += take;
    }
  }
  std::memset(out + pos, 0, static_cast<std::size_t>(n - pos));  // the side is late
  reader.emitted += n;
}

std::span<const std::uint8_t> AudioMixer::DrainAndMix(CallSide& far, CallSide& near) {
  const std::int64_t a = Available(far, far_);
  const std::int64_t b = Available(near, near_);
  std::int64_t chunk = std::min(a, b);
  // A side that has fallen far behind (or has not delivered at all) gets
  // silence, so the other side is not held back without bound.
  chunk = std::max(chunk, std::max(a, b) - kMaxLead);
  if (chunk <= static_cast<std::int64_t>(kMinChunkBytes)) return {};
  return Mix(far, near, chunk);
}

std::span<const std::uint8_t> AudioMixer::DrainUpTo(std::int64_t endNs, bool padMissing,
                                                    CallSide& far, CallSide& near) {
  const std::int64_t left = BytesForNs(endNs - startNs_) - far_.emitted;
  if (left <= 0) return {};
  const std::int64_t a = Available(far, far_);
  const std::int64_t b = Available(near, near_);
  const std::int64_t chunk = padMissing ? left : std::min({left, a, b});
  if (chunk <= 0) return {};
  return Mix(far, near, chunk);
}

std::span<const std::uint8_t> AudioMixer::Mix(CallSide& far, CallSide& near, std::int64_t chunk) {
  chunk = std::min<std::int64_t>(chunk, kScratchSize) / kCallFrameBytes * kCallFrameBytes;
  Fill(far, far_, farScratch_.get(), chunk);
  Fill(near, near_, nearScratch_.get(), chunk);
  MixFrames(farScratch_.get(), nearScratch_.get(), static_cast<std::size_t>(chunk) / kCallFrameBytes);
  return {farScratch_.get(), static_cast<std::size_t>(chunk)};
}

}  // namespace audio
