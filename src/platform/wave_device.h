#pragma once
// Wave input and output devices over the sound server, in the manner of a
// classic wave driver: the caller owns its buffers, queues them with a device,
// and each buffer comes back once it is full (input) or handed over to the
// server (output), announced by a callback on the device's own thread.
//
// Input devices are the server's sources (monitors of playback devices left
// out), output devices its sinks; each list starts with the server's default
// device and then follows the server's order. A device id is an index into
// that list; kDefaultDevice follows the server's default.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/result.h"

namespace platform {

inline constexpr int kDefaultDevice = -1;

// The cause code of a failed device call; its message says it in words.
enum class WaveError {
  kNoServer,     // no sound server answered
  kBadDevice,    // the id names no device
  kBadFormat,    // the device does not take this format
  kStillQueued,  // a buffer still with the device cannot be unprepared
  kNotPrepared,  // a buffer must be prepared before it is queued
  kFailed,       // the server refused or the device went away
};

struct WaveFormat {
  int channels = 2;
  int sampleRate = 48'000;
  int bitsPerSample = 16;
};

struct WaveDeviceInfo {
  std::string name;      // the description shown to people
  std::string internal;  // the server's own name
};

// Enumerations; empty when no server answers.
std::vector<WaveDeviceInfo> ListWaveInputs();
std::vector<WaveDeviceInfo> ListWaveOutputs();

// Monotonic clock (CLOCK_MONOTONIC) in nanoseconds: the clock input buffers
// are stamped with, and the one std::chrono::steady_clock reads.
std::int64_t MonotonicNowNs();

// One caller-owned buffer. The device reads `data`/`size` and writes
// `recorded`, `capturedEndNs`, `done` and `queued` only while the buffer is
// queued with it.
struct WaveBuffer {
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t recorded = 0;
  // Input: when the sound just after the buffer's last sample was captured,
  // by MonotonicNowNs(); from the server's timing where it has any, else the
  // moment the data arrived. 0 until the buffer completes.
  std::int64_t capturedEndNs = 0;
  bool prepared = false;
  bool queued = false;
  bool done = false;
};

class WaveDeviceImpl;

// Common part of both directions. All members are for the owner's thread;
// the completion callback runs on the device's thread and must not call back
// into the device.
class WaveDevice {
 public:
  using Completion = std::function<void(WaveBuffer&)>;

  WaveDevice(const WaveDevice&) = delete;
  WaveDevice& operator=(const WaveDevice&) = delete;
  // Closes the device; no callback runs once the destructor has returned.
  // Buffers still queued come back unfinished (queued = false, done = true).
  virtual ~WaveDevice();

  base::Outcome Prepare(WaveBuffer& buffer);
  base::Outcome Unprepare(WaveBuffer& buffer);
  // Input: queue for filling. Output: queue for playing (starts at once
  // unless paused).
  base::Outcome Add(WaveBuffer& buffer);
  // Input: start / stop recording. Output: pause / resume playing.
  base::Outcome Start();
  base::Outcome Stop();
  // Stops and hands every queued buffer back without a callback.
  base::Outcome Reset();
  // False once the server or the device went away under the stream.
  bool Healthy() const;

 protected:
  explicit WaveDevice(std::unique_ptr<WaveDeviceImpl> impl);
  std::unique_ptr<WaveDeviceImpl> impl_;
};

class WaveIn : public WaveDevice {
 public:
  // Whether device `id` takes `format` (the query form of opening).
  static base::Outcome Query(int id, const WaveFormat& format);
  static base::Result<std::unique_ptr<WaveIn>> Open(int id, const WaveFormat& format,
                                                    Completion done);

 private:
  using WaveDevice::WaveDevice;
};

class WaveOut : public WaveDevice {
 public:
  static base::Outcome Query(int id, const WaveFormat& format);
  static base::Result<std::unique_ptr<WaveOut>> Open(int id, const WaveFormat& format,
                                                     Completion done);

 private:
  using WaveDevice::WaveDevice;
};

}  // namespace platform
