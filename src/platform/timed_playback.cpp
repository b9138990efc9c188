#include "platform/timed_playback.h"

#include <atomic>
#include <cstring>

#include "platform/pulse_connection.h"

namespace platform {

using pulse::Connection;

class TimedPlaybackImpl {
 public:
  explicit TimedPlaybackImpl(std::unique_ptr<Connection> c) : connection_(std::move(c)) {}
  ~TimedPlaybackImpl() {
    {
      Connection::Lock lock(*connection_);
      if (stream_) {
        pa_stream_set_state_callback(stream_.get(), nullptr, nullptr);
        pa_stream_set_started_callback(stream_.get(), nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_.get(), nullptr, nullptr);
        pa_stream_disconnect(stream_.get());
        stream_.reset();
      }
    }
    connection_.reset();  // joins the event thread
  }
  TimedPlaybackImpl(const TimedPlaybackImpl&) = delete;
  TimedPlaybackImpl& operator=(const TimedPlaybackImpl&) = delete;

  bool Connect(const std::string& description, std::chrono::milliseconds latency,
               std::string* error);
  std::size_t WritableBytes();
  bool Write(const void* data, std::size_t bytes);
  std::optional<pa_usec_t> PlayingTime();
  bool Healthy() const;

 private:
  bool HealthyLocked() const {
    return stream_ && connection_->Alive() && pa_stream_get_state(stream_.get()) == PA_STREAM_READY;
  }
  static void OnState(pa_stream*, void* self) {
    Connection::Wake(static_cast<TimedPlaybackImpl*>(self)->connection_.get());
  }
  // The interpolated clock runs on as if the device played from the moment
  // the stream was ready, and on through an underrun, until the server's
  // next report corrects it; a device that starts late (a virtual one may
  // take its time to wake) would have it seconds ahead. So the clock counts
  // only from the first report after the device has started to play.
  static void OnStarted(pa_stream* s, void* self) {
    auto* me = static_cast<TimedPlaybackImpl*>(self);
    me->clockValid_ = false;
    pulse::OperationPtr(pa_stream_update_timing_info(s, OnTimingUpdated, self));
  }
  static void OnTimingUpdated(pa_stream*, int success, void* self) {
    if (success) static_cast<TimedPlaybackImpl*>(self)->clockValid_ = true;
  }
  static void OnUnderflow(pa_stream*, void* self) {
    static_cast<TimedPlaybackImpl*>(self)->clockValid_ = false;
  }

  std::unique_ptr<Connection> connection_;
  pulse::StreamPtr stream_;
  // Written on the connection's event thread, read by the owner.
  std::atomic<bool> clockValid_{false};
};

namespace {

constexpr pa_sample_spec kSampleFormat{PA_SAMPLE_S16LE, TimedPlayback::kRate, 2};

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

}  // namespace

bool TimedPlaybackImpl::Connect(const std::string& description, std::chrono::milliseconds latency,
                                std::string* error) {
  Connection::Lock lock(*connection_);
  std::string sink;  // empty: the server's default
  if (!description.empty()) {
    auto sinks = pulse::QuerySinks(*connection_);
    if (!sinks) return Fail(error, "the sound server did not list its devices");
    for (const auto& s : *sinks)
      if (s.description == description) sink = s.name;
    if (sink.empty()) return Fail(error, "no playback device \"" + description + "\"");
  }
  stream_.reset(pa_stream_new(connection_->context(), "far side of the call", &kSampleFormat, nullptr));
  if (!stream_) return Fail(error, "the sound server refused a stream");
  pa_stream_set_state_callback(stream_.get(), OnState, this);
  pa_stream_set_started_callback(stream_.get(), OnStarted, this);
  pa_stream_set_underflow_callback(stream_.get(), OnUnderflow, this);
  pa_buffer_attr attr;
  std::memset(&attr, 0xff, sizeof attr);
  attr.tlength = static_cast<std::uint32_t>(
      pa_usec_to_bytes(static_cast<pa_usec_t>(std::chrono::microseconds(latency).count()), &kSampleFormat));
  // The server's clock, interpolated between its reports, is what tells the
  // writer which sample is heard; adjusting the latency keeps the device's
  // own buffer as short as the stream's, so that clock is close to the ear.
  // Not monotonic: when a report corrects the interpolation, the clock
  // follows it back instead of standing still until the device catches up.
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                     PA_STREAM_ADJUST_LATENCY | PA_STREAM_NOT_MONOTONIC);
  if (pa_stream_connect_playback(stream_.get(), sink.empty() ? nullptr : sink.c_str(), &attr, flags,
                                 nullptr, nullptr) < 0)
    return Fail(error, "the stream could not connect to the device");
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(stream_.get());
    if (state == PA_STREAM_READY) return true;
    if (!PA_STREAM_IS_GOOD(state) || !connection_->Alive())
      return Fail(error, "the device refused the stream");
    pa_threaded_mainloop_wait(connection_->loop());
  }
}

std::size_t TimedPlaybackImpl::WritableBytes() {
  Connection::Lock lock(*connection_);
  if (!HealthyLocked()) return 0;
  const std::size_t n = pa_stream_writable_size(stream_.get());
  return n == static_cast<std::size_t>(-1) ? 0 : n;
}

bool TimedPlaybackImpl::Write(const void* data, std::size_t bytes) {
  Connection::Lock lock(*connection_);
  return HealthyLocked() &&
         pa_stream_write(stream_.get(), data, bytes, nullptr, 0, PA_SEEK_RELATIVE) == 0;
}

std::optional<pa_usec_t> TimedPlaybackImpl::PlayingTime() {
  Connection::Lock lock(*connection_);
  pa_usec_t usec = 0;
  if (!HealthyLocked() || !clockValid_ || pa_stream_get_time(stream_.get(), &usec) < 0)
    return std::nullopt;
  return usec;
}

bool TimedPlaybackImpl::Healthy() const {
  Connection::Lock lock(*connection_);
  return HealthyLocked();
}

std::unique_ptr<TimedPlayback> TimedPlayback::Open(const std::string& description,
                                                   std::chrono::milliseconds latency,
                                                   std::string* error) {
  auto connection = Connection::Open("timed playback");
  if (!connection) {
    Fail(error, "no sound server answers");
    return nullptr;
  }
  auto impl = std::make_unique<TimedPlaybackImpl>(std::move(connection));
  if (!impl->Connect(description, latency, error)) return nullptr;
  return std::unique_ptr<TimedPlayback>(new TimedPlayback(std::move(impl)));
}

TimedPlayback::TimedPlayback(std::unique_ptr<TimedPlaybackImpl> impl) : impl_(std::move(impl)) {}
TimedPlayback::~TimedPlayback() = default;

std::size_t TimedPlayback::WritableFrames() { return impl_->WritableBytes() / kFrameBytes; }

bool TimedPlayback::Write(std::span<const std::int16_t> interleaved) {
  const std::size_t frames = interleaved.size() / 2;
  if (frames == 0) return true;
  if (!impl_->Write(interleaved.data(), frames * kFrameBytes)) return false;
  written_ += static_cast<std::int64_t>(frames);
  return true;
}

std::optional<std::int64_t> TimedPlayback::PlayingFrame() {
  auto usec = impl_->PlayingTime();
  if (!usec) return std::nullopt;
  return static_cast<std::int64_t>(*usec * kRate / 1'000'000);
}

bool TimedPlayback::Healthy() const { return impl_->Healthy(); }

}  // namespace platform
