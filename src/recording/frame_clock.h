#pragma once
// Frame numbering of the capture loop. Indices follow the wall clock, so a
// slow grab leaves indices unused (played back as the previous picture) and
// playback keeps real time.
#include <cstdint>

namespace recording {

class FrameClock {
 public:
  // `intervalMs`: the time between frames (40 ms for 25 frames a second).
  explicit FrameClock(int intervalMs) : intervalMs_(intervalMs > 0 ? intervalMs : 1) {}

  int intervalMs() const { return intervalMs_; }
  // The stream's rate, whole frames a second (at least 1).
  int framesPerSecond() const { return intervalMs_ <= 1000 ? 1000 / intervalMs_ : 1; }

  // The index of a picture grabbed `elapsedMs` after the first one. Intervals
  // longer than a second simply count pictures.
  int64_t IndexAt(int64_t elapsedMs) const {
    if (!started_) return 0;
    if (intervalMs_ > 1000) return last_ + 1;
    return static_cast<int64_t>(framesPerSecond() * (static_cast<double>(elapsedMs) * 0.001));
  }

  // True when a picture of that index belongs in the stream: the first one,
  // and afterwards only indices past the last written.
  bool ShouldWrite(int64_t index) const { return !started_ || index > last_; }

  void Written(int64_t index) {
    started_ = true;
    last_ = index;
  }

  int64_t lastWritten() const { return last_; }

  // Milliseconds after the first picture at which the next one is due: the
  // start of the next index's slot, so pacing keeps to the clock instead of
  // adding each grab's own time to the interval.
  int64_t NextDueMs() const {
    if (intervalMs_ > 1000) return (last_ + 1) * intervalMs_;
    const int fps = framesPerSecond();
    return ((last_ + 1) * 1000 + fps - 1) / fps;
  }

 private:
  int intervalMs_;
  bool started_ = false;
  int64_t last_ = 0;
};

}  // namespace recording
