#pragma once
// When the sound of a capture stream was captured, told from when it arrives.
//
// A sample never arrives before it was captured, and the stream delivers in
// real time, so the earliest arrivals show where the stream's time line lies
// on our clock: scheduling and wake-ups only ever delay an arrival. The
// server's own timing would say the same once it has settled, but for the
// first half second of a fresh stream it is off by hundreds of milliseconds
// (seen on null sinks' monitors), and that is exactly when a recording starts.
//
// Only the last few seconds count, so a device whose clock runs slightly
// apart from ours, or that lost sound before it reached us, shows in the
// capture times and can be corrected by whoever uses them.
#include <cstdint>
#include <deque>

namespace platform {

class ArrivalClock {
 public:
  static constexpr std::int64_t kWindowNs = 2'000'000'000;

  explicit ArrivalClock(double bytesPerSecond) : bytesPerSecond_(bytesPerSecond) {}

  // The stream's data up to byte `endBytes` (counted from its start, holes
  // included) had arrived at `nowNs`.
  void Arrived(std::int64_t endBytes, std::int64_t nowNs) {
    const std::int64_t origin = nowNs - NsFor(endBytes);
    while (!window_.empty() && window_.back().origin >= origin) window_.pop_back();
    window_.push_back({nowNs, origin});
    while (window_.front().at < nowNs - kWindowNs) window_.pop_front();
  }

  // When byte `bytes` of the stream was captured (our monotonic clock); only
  // after a first Arrived().
  std::int64_t CapturedAt(std::int64_t bytes) const {
    return window_.empty() ? 0 : window_.front().origin + NsFor(bytes);
  }

 private:
  struct Sample {
    std::int64_t at;
    std::int64_t origin;  // the capture time of byte 0 this arrival allows at most
  };
  std::int64_t NsFor(std::int64_t bytes) const {
    return static_cast<std::int64_t>(static_cast<double>(bytes) * 1e9 / bytesPerSecond_);
  }

  double bytesPerSecond_;
  std::deque<Sample> window_;  // origins rising from front to back: the front is the least
};

}  // namespace platform
