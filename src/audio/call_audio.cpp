#include "audio/call_audio.h"

#include <memory>

#include "audio/device_routing.h"
#include "base/log.h"
#include "platform/wave_device.h"

namespace audio {

namespace {
// Each input buffer holds a quarter of a second: two notifications a second
// at the streams' default rate.
constexpr int kStreamBufferMs = 500;
}  // namespace

CallDevices SystemCallDevices() {
  CallDevices d;
  // With no loopback this names no device, and the side stays silent.
  d.far = [] { return InputDeviceIdContaining(kLoopbackName); };
  d.near = [] {
    const auto inputs = platform::ListWaveInputs();
    if (inputs.empty() || inputs[0].name.find(kLoopbackName) != std::string::npos)
      return std::string();
    return std::string("-1");
  };
  return d;
}

// One side's stream as the drain thread works it.
struct CallAudio::Input {
  CallAudio& owner;
  const char* side;  // for the log
  std::function<std::string()> device;
  SideWriter& writer;
  std::unique_ptr<WaveStream> stream;
  std::chrono::steady_clock::time_point lastTry{};
  bool reported = false;  // its device's absence has been logged
  std::string why{};      // the last try's cause, for that line

  bool Healthy() const { return stream && stream->inputHealthy(); }

  void TryOpen() {
    lastTry = std::chrono::steady_clock::now();
    stream.reset();
    const std::string id = device ? device() : std::string();
    why = "none is named";
    if (id.empty()) return;
    auto s = std::make_unique<WaveStream>(kStreamBufferMs);
    s->SetInputNotify(&owner, 1);
    if (s->OpenInput(id.c_str()) && s->StartInput())
      stream = std::move(s);
    else
      why = s->lastFailure();
    if (stream && reported)
      base::Log(base::Level::kInfo, "call audio", std::string("the ") + side + "'s device is back");
    if (stream) reported = false;
  }

  // Each completed buffer goes from where the device filled it into the
  // ring, with its own capture time.
  void Drain() {
    if (!stream) return;
    while (stream->DrainInput(
        [this](std::span<const std::uint8_t> bytes, std::int64_t endNs) { writer.Write(bytes, endNs); })) {
    }
  }

  // A side without a working device: keep its time line going with silence,
  // and look for the device again now and then.
  void KeepInTime() {
    if (Healthy()) return;
    if (!reported)
      base::Log(base::Level::kWarning, "call audio",
                std::string("no device for the ") + side + " (" + why +
                    "); silence in its place until it comes");
    reported = true;
    writer.FillSilenceUntil(platform::MonotonicNowNs() - kSilenceLagNs);
    if (std::chrono::steady_clock::now() - lastTry >= kRetryEvery) TryOpen();
  }
};

CallAudio::CallAudio(CallDevices devices) : devices_(std::move(devices)) {}

CallAudio::~CallAudio() { Close(); }

void CallAudio::Open() {
  Close();
  far_.Reset();
  near_.Reset();
  farWriter_.Reset();
  nearWriter_.Reset();
  drainer_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void CallAudio::Close() {
  if (!drainer_.joinable()) return;
  drainer_.request_stop();
  drainer_.join();
  drainer_ = {};
}

void CallAudio::PostWaveMessage(int) {
  {
    std::lock_guard lock(wakeMutex_);
    woken_ = true;
  }
  wake_.notify_one();
}

bool CallAudio::WaitForWork(std::stop_token& stop) {
  std::unique_lock lock(wakeMutex_);
  wake_.wait_for(lock, stop, kIdleTick, [this] { return woken_; });
  woken_ = false;
  return !stop.stop_requested();
}

void CallAudio::Run(std::stop_token stop) {
  Input far{*this, "far side", devices_.far, farWriter_, nullptr, {}};
  Input near{*this, "near side", devices_.near, nearWriter_, nullptr, {}};
  far.TryOpen();
  near.TryOpen();
  while (WaitForWork(stop)) {
    for (Input* input : {&far, &near}) {
      input->Drain();
      input->KeepInTime();
    }
  }
  // What completed before the stop still belongs to the recording.
  for (Input* input : {&far, &near}) {
    input->Drain();
    if (input->stream) input->stream->StopInput();
  }
}

}  // namespace audio
