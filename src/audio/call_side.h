#pragma once
// One side of the call on its way from its input stream to the capture
// thread: the ring, and the time line that ties positions in the ring to the
// moments the sound was captured.
//
// The time line is what keeps sound and picture in step on every recording:
// ring position p holds the sound captured at origin + p / rate, whatever
// happened on the way (a late device, a lost buffer, a full ring), because the
// writer below fills losses with silence of their length and drops what lies
// before the recording's first picture to the sample.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "audio/audio_ring.h"

namespace audio {

// Call sound is 48 kHz 16-bit stereo everywhere after the devices.
inline constexpr std::int64_t kCallBytesPerSecond = 48'000 * 4;
inline constexpr std::int64_t kCallFrameBytes = 4;

// Whole frames of call sound covering `ns` nanoseconds, rounded to the
// nearest frame (negative for negative times).
std::int64_t BytesForNs(std::int64_t ns);
std::int64_t NsForBytes(std::int64_t bytes);

// What became of one side's sound over a recording, in bytes of call sound,
// for the recording's owner to read (and log) once it is over.
struct SideStats {
  std::int64_t gapSilence = 0;    // silence put in where sound went missing on the way
  std::int64_t idleSilence = 0;   // silence standing in for a side without a device
  std::int64_t droppedSound = 0;  // sound ahead of its capture time, or refused for want of room
  std::int64_t ringRefused = 0;   // bytes the full ring refused (sound and silence)
  std::int64_t skippedLate = 0;   // sound for a stretch the file had already had as silence
  // Sound that existed and is not in the file where it belongs.
  std::int64_t lost() const { return gapSilence + droppedSound + skippedLate; }
};

struct SoundStats {
  SideStats far, near;
  bool soundLost() const { return far.lost() > 0 || near.lost() > 0; }
};

// One line for the log: whether sound was lost, and every count of both sides.
std::string Describe(const SoundStats& stats);

struct CallSide {
  AudioRing ring;
  // Capture time (monotonic ns) of ring position 0; 0 until the writer has
  // placed the side's first sound. Written by the writer only.
  std::atomic<std::int64_t> originNs{0};
  // The recording's first picture (monotonic ns); 0 before it. Written by the
  // capture thread only; sound from before it never enters the ring.
  std::atomic<std::int64_t> startNs{0};

  // The counts behind SideStats: each written by one thread (the writer, or
  // the capture thread for skippedLate), readable at any moment.
  std::atomic<std::int64_t> gapSilence{0}, idleSilence{0}, droppedSound{0}, skippedLate{0};

  // Empties the ring and forgets both times and the counts. Only while
  // neither the writer nor a capture thread uses the side.
  void Reset();
  SideStats stats() const;
};

// The producer of one side, run by whoever drains the side's input stream.
// Not thread-safe: one writer per side, on one thread.
class SideWriter {
 public:
  // Sound whose capture time puts it within this distance of where the ring
  // has got to is taken as it comes (timing jitter); further behind, the gap
  // is a loss and silence of its length goes first; further ahead, the
  // excess is dropped.
  static constexpr std::int64_t kToleranceNs = 20'000'000;
  // Before the first picture the newest second of sound is held back, so the
  // block that straddles the first picture is still there when it comes.
  static constexpr std::size_t kPrerollBytes = 192'000;

  explicit SideWriter(CallSide& side) : side_(side) {}
  SideWriter(const SideWriter&) = delete;
  SideWriter& operator=(const SideWriter&) = delete;

  // Starts a new recording's time line (together with CallSide::Reset).
  void Reset();

  // A block of sound (whole frames) whose last sample ends at `capturedEndNs`.
  void Write(std::span<const std::uint8_t> block, std::int64_t capturedEndNs);

  // For a side whose device is gone or never came: silence up to `untilNs`,
  // once the recording has started, so the other side's sound keeps its
  // place and the file its length.
  void FillSilenceUntil(std::int64_t untilNs);

  // Bytes of silence put in (for losses and for a missing device), and of
  // sound dropped as too early or for want of room, since the side's Reset.
  std::int64_t silenceBytes() const { return side_.gapSilence + side_.idleSilence; }
  std::int64_t droppedBytes() const { return side_.droppedSound; }

 private:
  struct Held {
    std::vector<std::uint8_t> bytes;
    std::int64_t endNs;
  };
  void FlushPreroll(std::int64_t startNs);
  void Place(std::span<const std::uint8_t> block, std::int64_t endNs, std::int64_t startNs);
  void PutSilence(std::int64_t bytes, std::atomic<std::int64_t>& counter);
  static void Add(std::atomic<std::int64_t>& counter, std::int64_t n) {
    counter.fetch_add(n, std::memory_order_relaxed);
  }
  void SetOrigin(std::int64_t ns);

  CallSide& side_;
  std::int64_t origin_ = 0;
  std::int64_t written_ = 0;  // ring bytes placed since Reset: sound and silence
  std::deque<Held> preroll_;
  std::size_t prerollBytes_ = 0;
};

}  // namespace audio
