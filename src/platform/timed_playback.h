#pragma once
// A playback stream that says which of its samples is being played right
// now, by the sound server's own clock: what a program needs that shows
// something at the instant a sound is heard. 16-bit stereo at 48 kHz.
//
// Every member is for one thread, the owner's; the stream's events run on a
// thread of the connection and only wake waiters.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace platform {

class TimedPlaybackImpl;

class TimedPlayback {
 public:
  static constexpr int kRate = 48'000;
  static constexpr int kFrameBytes = 4;  // two 16-bit channels

  // Plays into the playback device described `description` (its name shown
  // to people), or the server's default device when that is empty.
  // `latency` is how far ahead of the listener the writer keeps the stream
  // filled. Empty, with the reason in `error`, when no server answers or no
  // device has that description.
  static std::unique_ptr<TimedPlayback> Open(const std::string& description,
                                             std::chrono::milliseconds latency,
                                             std::string* error = nullptr);
  ~TimedPlayback();
  TimedPlayback(const TimedPlayback&) = delete;
  TimedPlayback& operator=(const TimedPlayback&) = delete;

  // Sample frames the stream takes now without growing past its latency.
  std::size_t WritableFrames();
  // Appends whole frames after everything written so far.
  bool Write(std::span<const std::int16_t> interleaved);
  std::int64_t framesWritten() const { return written_; }

  // The index of the frame (counted from the first one written) that the
  // device plays at this instant, interpolated between the server's timing
  // reports; empty until the device has started playing and the server has
  // reported since, and again from an underrun until it plays once more.
  std::optional<std::int64_t> PlayingFrame();

  // False once the server or the device went away under the stream.
  bool Healthy() const;

 private:
  explicit TimedPlayback(std::unique_ptr<TimedPlaybackImpl> impl);
  std::unique_ptr<TimedPlaybackImpl> impl_;
  std::int64_t written_ = 0;
};

}  // namespace platform
