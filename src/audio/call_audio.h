#pragma once
// Call sound from the two input devices to the two rings the capture thread
// drains: the far side from the loopback device, the near side from the
// default recording device. One owner for the rings, the streams and the
// thread between them.
//
// Sound never waits for the user-interface thread: completed input buffers
// are drained on a thread of this object's own, woken by the devices, and go
// straight into the rings with their capture times. A side whose device is
// missing or goes away is kept in time with silence, and a near-side device
// that comes back (a microphone plugged in again) is taken up again.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "audio/call_side.h"
#include "audio/wave_stream.h"

namespace audio {

// Which device each side opens, as stream device ids (decimal index text); an
// empty id leaves the side without a device. Asked when the side opens and
// again whenever its device is to be tried anew.
struct CallDevices {
  std::function<std::string()> far;
  std::function<std::string()> near;
};

// The real devices: the first recording device whose name contains the
// loopback's name, and the default recording device unless that default is
// the loopback itself (the near side must never record the far side).
CallDevices SystemCallDevices();

class CallAudio final : private WaveNotifySink {
 public:
  // How often a side without a device is kept in time with silence (and how
  // often the drain thread looks, when no device wakes it).
  static constexpr std::chrono::milliseconds kIdleTick{100};
  // Silence stands in for a missing side this far behind the present, about
  // where a working device's sound would have got to.
  static constexpr std::int64_t kSilenceLagNs = 300'000'000;
  // A missing device is looked for again this often.
  static constexpr std::chrono::milliseconds kRetryEvery{1000};

  explicit CallAudio(CallDevices devices = SystemCallDevices());
  ~CallAudio();
  CallAudio(const CallAudio&) = delete;
  CallAudio& operator=(const CallAudio&) = delete;

  // User-interface thread, at a record command: any earlier streams are
  // closed, both sides emptied, and both devices opened and drained from now
  // on. Whatever reads the rings (a capture thread) must have ended.
  void Open();
  // User-interface thread: the streams stop; what reached the rings stays for
  // the capture thread to take.
  void Close();
  bool open() const { return drainer_.joinable(); }

  // For the capture thread's audio step (AudioMixer).
  CallSide& far() { return far_; }
  CallSide& near() { return near_; }
  // Any thread: what became of both sides' sound since Open; complete once
  // Close has returned and the capture thread has ended.
  SoundStats stats() const { return {far_.stats(), near_.stats()}; }

 private:
  struct Input;
  void PostWaveMessage(int message) override;  // a device thread: wake the drainer
  void Run(std::stop_token stop);
  bool WaitForWork(std::stop_token& stop);

  CallDevices devices_;
  CallSide far_, near_;
  SideWriter farWriter_{far_}, nearWriter_{near_};

  std::mutex wakeMutex_;  // guards woken_
  std::condition_variable_any wake_;
  bool woken_ = false;
  std::jthread drainer_;  // last: it uses everything above
};

}  // namespace audio
