#pragma once
// One wave input device and one wave output device, each worked through a
// ring of five buffers. The recorder uses the input side: four buffers stay
// queued with the device and one is the spare; every completed buffer is
// announced to the notification target, and the owner drains completed
// buffers with ReadInput. The output side has the same discipline for
// playback.
//
// Every operation returns true on success and false on failure, nothing else.
// Operations are for the owner's thread; the device's completion callbacks
// run on the device's own thread and touch only the done-counters, the
// flowing flags and the events, and post the notification.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "audio/sample_buffer.h"
#include "platform/wave_device.h"

namespace audio {

// Receives "a buffer completed" from a device thread. The main window
// implements it by queueing an event to its own thread.
class WaveNotifySink {
 public:
  virtual void PostWaveMessage(int message) = 0;

 protected:
  ~WaveNotifySink() = default;
};

// The format request of SetInputFormat/SetOutputFormat; kind must be 0.
struct FormatRequest {
  std::int32_t kind = 0;
  std::int32_t channels = 0;
  std::int32_t samplesPerSecond = 0;
  std::int32_t bitsPerSample = 0;
};

struct PcmFormat {
  int channels = 2;
  int samplesPerSecond = 48'000;
  // rate x bits / 8, without the channel count: the buffer sizes come from it,
  // so a 500 ms stereo buffer holds a quarter of a second of sound.
  int averageBytesPerSecond = 96'000;
  int blockAlign = 4;
  int bitsPerSample = 16;
};

class ManualResetEvent {
 public:
  void Set();
  void Reset();
  bool WaitFor(std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;  // guarded by mutex_
};

class WaveStream {
 public:
  static constexpr int kBuffers = 5;
  static constexpr int kQueued = 4;

  explicit WaveStream(int bufferDurationMs);
  ~WaveStream();
  WaveStream(const WaveStream&) = delete;
  WaveStream& operator=(const WaveStream&) = delete;

  // Device ids are decimal text: an index into the device list, "-1" the
  // default device; nullptr means "no device" and closes the side.
  bool SetInputNotify(WaveNotifySink* target, int message);
  bool StartInput();
  bool StopInput();
  bool SetOutputNotify(WaveNotifySink* target, int message);
  bool StartOutput();
  bool PauseOutput();
  bool RestartOutput();
  bool StopOutput();
  bool OpenInput(const char* id);
  bool SetInputFormat(FormatRequest* request, const char* id);
  // Copies every completed input buffer (at most four) into `buffer`, in order.
  bool ReadInput(SampleBuffer* buffer);
  // Drains the completed input buffers where they lie: `take` sees each one's
  // bytes and the capture time of its end, in order, and the bytes are the
  // device's again once it returns. False when none was complete.
  using InputTaker = std::function<void(std::span<const std::uint8_t> bytes, std::int64_t endNs)>;
  bool DrainInput(const InputTaker& take);
  bool OpenOutput(const char* id);
  bool SetOutputFormat(FormatRequest* request, const char* id);
  bool WriteOutput(const SampleBuffer* buffer);
  bool GetOutputRoom(int* samples);
  bool PlayWhole(const SampleBuffer* buffer);

  int inputBufferSize() const { return inputBufferSize_; }
  int outputBufferSize() const { return outputBufferSize_; }
  const PcmFormat& inputFormat() const { return inputFormat_; }
  bool inputFlowing() const { return inputFlowing_; }
  bool outputFlowing() const { return outputFlowing_; }
  bool inputOpen() const { return inputDevice_ != nullptr; }
  // Open and still served: false once the device or the server went away.
  bool inputHealthy() const { return inputDevice_ && inputDevice_->Healthy(); }
  // Why the last OpenInput, OpenOutput or StartInput that failed did, with the
  // device it named; for the caller's log line. Same thread as those calls.
  const std::string& lastFailure() const { return lastFailure_; }
  // When the sound just after the last sample ReadInput gave out was captured
  // (platform::MonotonicNowNs() clock); 0 before the first drain.
  std::int64_t lastInputEndNs() const { return lastInputEndNs_; }
  // Completed input buffers not yet drained.
  std::uint32_t inputPending() const { return inputDone_ - inputRead_; }
  // For callers that wait instead of draining on notifications.
  bool WaitForInput(std::chrono::milliseconds timeout) { return inputData_.WaitFor(timeout); }
  bool WaitForOutputRoom(std::chrono::milliseconds timeout) {
    return outputRoom_.WaitFor(timeout);
  }

 private:
  // Keeps the cause for lastFailure(); always false.
  bool Failed(const char* side, const std::string& why);
  void CloseInput();
  void OnInputDone(platform::WaveBuffer& header);
  void OnOutputDone(platform::WaveBuffer& header);
  bool Requeue(platform::WaveBuffer& header);
  // Completed buffers a drain now takes (at most kQueued), counted once.
  std::uint32_t Completed() const;
  bool Drain(std::uint32_t buffers, const InputTaker& take);
  bool NegotiateFormat(FormatRequest* request, const char* id, bool input);

  const int bufferDuration_;
  PcmFormat inputFormat_;
  PcmFormat outputFormat_;
  int inputBufferSize_ = 0;
  int outputBufferSize_ = 0;

  std::atomic<WaveNotifySink*> inputNotify_{nullptr};
  std::atomic<int> inputNotifyMessage_{0};
  std::atomic<WaveNotifySink*> outputNotify_{nullptr};
  std::atomic<int> outputNotifyMessage_{0};

  // Blocks are declared before the devices so that a device, whose buffers
  // point into them, is always closed first.
  std::array<platform::WaveBuffer, kBuffers> inputHeaders_{};
  std::unique_ptr<std::uint8_t[]> inputBlock_;
  std::array<platform::WaveBuffer, kBuffers> outputHeaders_{};
  std::unique_ptr<std::uint8_t[]> outputBlock_;
  std::unique_ptr<std::uint8_t[]> outputSpare_;
  std::unique_ptr<std::uint8_t[]> wholeBlock_;
  platform::WaveBuffer wholeHeader_{};

  // Counters grow without bound and are compared by difference; the done
  // counters are written by the device thread, the others by the owner.
  std::int64_t lastInputEndNs_ = 0;  // owner only
  std::atomic<std::uint32_t> inputRead_{0};
  std::atomic<std::uint32_t> inputDone_{0};
  std::atomic<std::uint32_t> outputWritten_{0};
  std::atomic<std::uint32_t> outputDone_{0};
  std::atomic<bool> inputFlowing_{false};
  std::atomic<bool> outputFlowing_{false};
  std::atomic<int> outputMode_{0};  // 1 streaming, 2 one block
  ManualResetEvent inputData_;
  ManualResetEvent outputRoom_;

  std::unique_ptr<platform::WaveIn> inputDevice_;
  std::unique_ptr<platform::WaveOut> outputDevice_;
  std::string lastFailure_;
};

}  // namespace audio
