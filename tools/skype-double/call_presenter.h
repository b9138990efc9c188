#pragma once
// The far side of the double's call, on a thread of its own: its sound
// played into the chosen device and its picture drawn into the main window,
// each flash shown when the device plays the beep that goes with it.
// Running apart from the message loop, the call goes on while the double
// holds a command back or stops answering altogether, as a client's media
// would.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "far_side_sound.h"
#include "platform/timed_playback.h"
#include "platform/window_painter.h"

namespace call {

class CallPresenter {
 public:
  // Receives diagnostic lines, on the presenter's thread.
  using Log = std::function<void(const std::string& line)>;

  CallPresenter(platform::WindowId window, std::string contact, bool inCall, Log log);
  ~CallPresenter();  // ends the call's sound and joins the thread
  CallPresenter(const CallPresenter&) = delete;
  CallPresenter& operator=(const CallPresenter&) = delete;

  // From any thread.
  void SetInCall(bool inCall);
  // The playback device by its description; empty for the server's default.
  void SetAudioOut(const std::string& description);

 private:
  using Clock = std::chrono::steady_clock;

  void Run(std::stop_token stop);
  Clock::duration CallStep(const std::string& audioOut);
  Clock::duration IdleStep();
  void EnsurePlayback(const std::string& audioOut);
  void Fill();
  std::int64_t Position();

  const platform::WindowId window_;
  const std::string contact_;
  const Log log_;

  // What the message loop asks for, guarded by mutex_.
  std::mutex mutex_;
  std::condition_variable_any changed_;
  bool inCall_;
  std::string audioOut_;
  bool dirty_ = false;

  // The presenter thread's own state.
  std::unique_ptr<platform::WindowPainter> painter_;
  std::unique_ptr<FarSideSound> sound_;
  std::unique_ptr<platform::TimedPlayback> playback_;
  std::string playingOn_;
  std::string lastPlaybackError_;
  bool callShown_ = false;
  std::optional<bool> flashShown_;
  std::int64_t streamBase_ = 0;  // call frame of the stream's first frame
  std::int64_t lastPosition_ = 0;
  Clock::time_point lastPositionAt_;
  Clock::time_point nextPicture_;
  Clock::time_point retryPlaybackAt_;
  std::vector<std::int16_t> chunk_;

  std::jthread thread_;  // last: starts once everything above exists
};

}  // namespace call
