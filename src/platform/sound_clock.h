#pragma once
// A looping sound buffer of four segments on a playback device,
// whose playback is the preview player's clock: each time the device has
// played one more segment, the owner is told, and the play cursor says
// which segment plays now. Nothing here sleeps or keeps time of its own;
// the time is the sound server's.
//
// Like a hardware ring, the buffer is read as it plays: a segment written
// two segments ahead of the play cursor is heard two ticks later, and a
// segment nobody rewrote plays again as it was.
//
// Open, Start, PlayCursor, WriteSegment and Close are for one thread, the
// player's. The notification runs on the sound server's event thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class SoundClockImpl;

class CSoundClock {
 public:
  static constexpr unsigned kSegments = 4;

  CSoundClock();
  ~CSoundClock();  // closes
  CSoundClock(const CSoundClock&) = delete;
  CSoundClock& operator=(const CSoundClock&) = delete;

  // 16-bit sound of `channels` (1 or 2) at `sampleRate`, `clockRate` ticks
  // a second, each segment (sampleRate / clockRate) frames. `segmentPlayed`
  // must only wake whoever waits for it; it also runs once when the device
  // or the server goes away, after which Healthy() is false. 1 on success,
  // 0 when no sound server or device takes the stream. `device` is the
  // server's name of the playback device, empty for its default; a named
  // device is kept: the server never moves the stream elsewhere (into a
  // device that is being recorded, say) and it ends with its device.
  int Open(std::function<void()> segmentPlayed, int sampleRate, int clockRate, int channels,
           const std::string& device = {});
  // Plays from the buffer's start, looping; the buffer starts silent.
  int Start();
  // Where the device plays now, in bytes from the buffer's start.
  unsigned PlayCursor() const;
  // Copies one segment of `segmentBytes()` into segment `index` (0..3).
  int WriteSegment(const uint8_t* bytes, unsigned index);
  void Close();
  // False once the stream has failed: no more ticks will come.
  bool Healthy() const;

  unsigned segmentBytes() const { return segmentBytes_; }

 private:
  std::unique_ptr<SoundClockImpl> impl_;
  unsigned segmentBytes_ = 0;
};

}  // namespace platform
