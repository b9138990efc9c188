#include "audio/call_mixer.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace audio {

// One side's part of a chunk as it lies: silence its time line puts before
// its first sound, its sound in the ring (one piece, or two across the
// store's end), and silence where it is late. A null piece is silence.
struct AudioMixer::SideView {
  struct Piece {
    const std::uint8_t* data = nullptr;
    std::size_t bytes = 0;
  };
  std::array<Piece, 4> pieces{};
  std::size_t fromRing = 0;  // ring bytes the chunk uses
};

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
  // Ring position the file's first byte and its next byte need.
  const std::int64_t first = -BytesForNs(origin - startNs_);
  const std::int64_t wanted = reader.emitted + first;
  if (wanted > reader.consumed) {
    const auto skip = std::min<std::int64_t>(wanted - reader.consumed,
                                             static_cast<std::int64_t>(side.ring.Count()));
    // Sound from before the first picture is cut to the sample, not lost;
    // what lies after it was given out as silence already.
    const std::int64_t lostFrom = std::max(reader.consumed, first);
    if (reader.consumed + skip > lostFrom)
      side.skippedLate.fetch_add(reader.consumed + skip - lostFrom, std::memory_order_relaxed);
    side.ring.Skip(static_cast<std::size_t>(skip));
    reader.consumed += skip;
    if (wanted > reader.consumed) return 0;
  }
  const std::int64_t lead = wanted < 0 ? -wanted : 0;
  return lead + static_cast<std::int64_t>(side.ring.Count());
}

AudioMixer::SideView AudioMixer::View(CallSide& side, const Reader& reader, std::int64_t n) const {
  SideView view;
  std::int64_t pos = 0;
  const std::int64_t origin = side.originNs.load();
  if (origin != 0) {
    const std::int64_t wanted = reader.emitted - BytesForNs(origin - startNs_);
    if (wanted < 0) {
      pos = std::min(-wanted, n);
      view.pieces[0].bytes = static_cast<std::size_t>(pos);
    }
    if (reader.consumed >= wanted) {
      view.fromRing = static_cast<std::size_t>(
          std::min(n - pos, static_cast<std::int64_t>(side.ring.Count())));
      const AudioRing::Pieces ring = side.ring.Peek(view.fromRing);
      view.pieces[1] = {ring.first.data(), ring.first.size()};
      view.pieces[2] = {ring.second.data(), ring.second.size()};
      pos += static_cast<std::int64_t>(view.fromRing);
    }
  }
  view.pieces[3].bytes = static_cast<std::size_t>(n - pos);  // the side is late
  return view;
}

std::size_t AudioMixer::DrainAndMix(CallSide& far, CallSide& near, const ChunkMemory& memory) {
  const std::int64_t a = Available(far, far_);
  const std::int64_t b = Available(near, near_);
  std::int64_t chunk = std::min(a, b);
  // A side that has fallen far behind (or has not delivered at all) gets
  // silence, so the other side is not held back without bound.
  chunk = std::max(chunk, std::max(a, b) - kMaxLead);
  if (chunk <= static_cast<std::int64_t>(kMinChunkBytes)) return 0;
  return Mix(far, near, chunk, memory);
}

std::size_t AudioMixer::DrainUpTo(std::int64_t endNs, bool padMissing, CallSide& far,
                                  CallSide& near, const ChunkMemory& memory) {
  const std::int64_t left = BytesForNs(endNs - startNs_) - far_.emitted;
  if (left <= 0) return 0;
  const std::int64_t a = Available(far, far_);
  const std::int64_t b = Available(near, near_);
  const std::int64_t chunk = padMissing ? left : std::min({left, a, b});
  if (chunk <= 0) return 0;
  return Mix(far, near, chunk, memory);
}

std::size_t AudioMixer::Mix(CallSide& far, CallSide& near, std::int64_t chunk,
                            const ChunkMemory& memory) {
  chunk = std::min<std::int64_t>(chunk, kMaxChunkBytes) / kCallFrameBytes * kCallFrameBytes;
  const auto bytes = static_cast<std::size_t>(chunk);
  if (bytes == 0) return 0;
  const std::span<std::uint8_t> out = memory(bytes);
  if (out.size() < bytes) return 0;
  const SideView f = View(far, far_, chunk);
  const SideView n = View(near, near_, chunk);
  // Walk both sides' pieces together: each stretch where neither changes
  // from silence to sound or across the store's end is one run of the mix.
  std::size_t fi = 0, ni = 0, fUsed = 0, nUsed = 0;
  for (std::size_t pos = 0; pos < bytes;) {
    while (f.pieces[fi].bytes == fUsed) fi++, fUsed = 0;
    while (n.pieces[ni].bytes == nUsed) ni++, nUsed = 0;
    const auto& fp = f.pieces[fi];
    const auto& np = n.pieces[ni];
    const std::size_t run = std::min(fp.bytes - fUsed, np.bytes - nUsed);
    MixFrames(fp.data ? fp.data + fUsed : nullptr, np.data ? np.data + nUsed : nullptr,
              out.data() + pos, run / kCallFrameBytes);
    pos += run;
    fUsed += run;
    nUsed += run;
  }
  for (auto [side, reader, view] : {std::tuple{&far, &far_, &f}, std::tuple{&near, &near_, &n}}) {
    side->ring.Skip(view->fromRing);
    reader->consumed += static_cast<std::int64_t>(view->fromRing);
    reader->emitted += chunk;
  }
  return bytes;
}

}  // namespace audio
