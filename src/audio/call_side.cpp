#include "audio/call_side.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace audio {

std::int64_t BytesForNs(std::int64_t ns) {
  const double frames = static_cast<double>(ns) * (kCallBytesPerSecond / kCallFrameBytes) / 1e9;
  return static_cast<std::int64_t>(std::llround(frames)) * kCallFrameBytes;
}

std::int64_t NsForBytes(std::int64_t bytes) {
  return static_cast<std::int64_t>(static_cast<double>(bytes) * 1e9 / kCallBytesPerSecond);
}

std::string Describe(const SoundStats& stats) {
  auto side = [](const char* name, const SideStats& s) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "%s %lld gap silence, %lld idle silence, %lld dropped, %lld refused by the "
                  "ring, %lld skipped as late",
                  name, static_cast<long long>(s.gapSilence), static_cast<long long>(s.idleSilence),
                  static_cast<long long>(s.droppedSound), static_cast<long long>(s.ringRefused),
                  static_cast<long long>(s.skippedLate));
    return std::string(text);
  };
  return std::string(stats.soundLost() ? "the call's sound: some lost" : "the call's sound: none lost") +
         " (bytes: " + side("far side", stats.far) + "; " + side("near side", stats.near) + ")";
}

void CallSide::Reset() {
  ring.Clear();
  originNs.store(0);
  startNs.store(0);
  for (auto* count : {&gapSilence, &idleSilence, &droppedSound, &skippedLate}) count->store(0);
}

SideStats CallSide::stats() const {
  return {gapSilence.load(), idleSilence.load(), droppedSound.load(),
          static_cast<std::int64_t>(ring.droppedBytes()), skippedLate.load()};
}

void SideWriter::Reset() {
  origin_ = 0;
  written_ = 0;
  preroll_.clear();
  prerollBytes_ = 0;
}

void SideWriter::Write(std::span<const std::uint8_t> block, std::int64_t capturedEndNs) {
  block = block.first(block.size() / kCallFrameBytes * kCallFrameBytes);
  if (block.empty()) return;
  const std::int64_t start = side_.startNs.load();
  if (start == 0) {
    preroll_.push_back({{block.begin(), block.end()}, capturedEndNs});
    prerollBytes_ += block.size();
    while (prerollBytes_ > kPrerollBytes) {
      prerollBytes_ -= preroll_.front().bytes.size();
      preroll_.pop_front();
    }
    return;
  }
  FlushPreroll(start);
  Place(block, capturedEndNs, start);
}

void SideWriter::FillSilenceUntil(std::int64_t untilNs) {
  const std::int64_t start = side_.startNs.load();
  if (start == 0) return;
  FlushPreroll(start);
  if (origin_ == 0) SetOrigin(start);
  const std::int64_t due = BytesForNs(untilNs - origin_);
  if (due > written_) PutSilence(due - written_, side_.idleSilence);
}

void SideWriter::FlushPreroll(std::int64_t startNs) {
  for (const Held& held : preroll_) Place(held.bytes, held.endNs, startNs);
  preroll_.clear();
  prerollBytes_ = 0;
}

void SideWriter::Place(std::span<const std::uint8_t> block, std::int64_t endNs,
                       std::int64_t startNs) {
  // Wholly before the first picture: not part of the recording. A block that
  // straddles it goes in whole; the capture thread cuts it to the sample.
  if (endNs <= startNs) return;
  const std::int64_t beginNs = endNs - NsForBytes(static_cast<std::int64_t>(block.size()));
  if (origin_ == 0) SetOrigin(beginNs);

  const std::int64_t due = BytesForNs(beginNs - origin_);  // where the block belongs
  const std::int64_t tolerance = BytesForNs(kToleranceNs);
  if (due - written_ > tolerance) {
    PutSilence(due - written_, side_.gapSilence);  // sound went missing on the way
  } else if (written_ - due > tolerance) {
    // The device delivered more than the clock allows: what is ahead of its
    // time goes, or everything after it would sit late against the picture.
    const auto excess =
        static_cast<std::size_t>(std::min<std::int64_t>(written_ - due, block.size()));
    Add(side_.droppedSound, static_cast<std::int64_t>(excess));
    block = block.subspan(excess);
  }
  if (block.empty()) return;
  if (side_.ring.Write(block) == 0) {
    // No room: the capture thread has fallen behind by seconds. The next
    // block finds the gap and fills it with silence once there is room.
    Add(side_.droppedSound, static_cast<std::int64_t>(block.size()));
    return;
  }
  written_ += static_cast<std::int64_t>(block.size());
}

void SideWriter::PutSilence(std::int64_t bytes, std::atomic<std::int64_t>& counter) {
  // A quarter second at a time: a long gap fills what room there is, and the
  // rest waits for room.
  constexpr std::int64_t kStep = 48'000;
  while (bytes > 0) {
    const auto n = static_cast<std::size_t>(std::min(bytes, kStep));
    if (side_.ring.WriteSilence(n) == 0) return;
    written_ += static_cast<std::int64_t>(n);
    Add(counter, static_cast<std::int64_t>(n));
    bytes -= static_cast<std::int64_t>(n);
  }
}

void SideWriter::SetOrigin(std::int64_t ns) {
  origin_ = ns;
  side_.originNs.store(ns);
}

}  // namespace audio
