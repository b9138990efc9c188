#include "platform/wave_device.h"

#include <time.h>

#include <cstring>
#include <deque>
#include <optional>

#include "platform/arrival_clock.h"
#include "platform/pulse_connection.h"

namespace platform {

using base::Outcome;
using pulse::Connection;

std::int64_t MonotonicNowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

namespace {

// Formats a classic PCM wave device takes: 8 or 16 bits, mono or stereo, rates
// from telephone quality to studio quality.
bool Acceptable(const WaveFormat& f) {
  return (f.bitsPerSample == 8 || f.bitsPerSample == 16) && (f.channels == 1 || f.channels == 2) &&
         f.sampleRate >= 8'000 && f.sampleRate <= 192'000;
}

pa_sample_spec SpecFor(const WaveFormat& f) {
  pa_sample_spec spec{};
  spec.format = f.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  spec.rate = static_cast<std::uint32_t>(f.sampleRate);
  spec.channels = static_cast<std::uint8_t>(f.channels);
  return spec;
}

enum class Direction { kInput, kOutput };

// With the connection's lock held: the default device first, then the
// others in the server's order.
std::vector<WaveDeviceInfo> ListDevices(Connection& c, Direction direction) {
  const auto defaults = pulse::QueryDefaults(c);
  const auto devices =
      direction == Direction::kInput ? pulse::QuerySources(c) : pulse::QuerySinks(c);
  if (!defaults || !devices) return {};
  const std::string& preferred = direction == Direction::kInput ? defaults->source : defaults->sink;
  std::vector<WaveDeviceInfo> list;
  for (const auto& d : *devices) {
    // Monitors of playback devices are not recording devices of their own.
    if (d.isMonitor) continue;
    WaveDeviceInfo info{d.description.empty() ? d.name : d.description, d.name};
    if (d.name == preferred)
      list.insert(list.begin(), std::move(info));
    else
      list.push_back(std::move(info));
  }
  return list;
}

std::vector<WaveDeviceInfo> List(Direction direction) {
  auto c = Connection::Open("Murmurant device list");
  if (!c) return {};
  Connection::Lock lock(*c);
  return ListDevices(*c, direction);
}

// Resolves `id` to the server's device name with the lock held.
Outcome Resolve(Connection& c, Direction direction, int id, std::string* name) {
  auto devices = ListDevices(c, direction);
  if (id == kDefaultDevice && !devices.empty()) id = 0;
  if (id < 0 || static_cast<std::size_t>(id) >= devices.size())
    return Outcome::Fail(WaveError::kBadDevice,
                        std::string(direction == Direction::kInput ? "no input" : "no output") +
                            " device " + std::to_string(id) + " (the server has " +
                            std::to_string(devices.size()) + ")");
  *name = devices[static_cast<std::size_t>(id)].internal;
  return Outcome::Ok();
}

Outcome QueryDevice(Direction direction, int id, const WaveFormat& format,
                   std::unique_ptr<Connection>* keep, std::string* name) {
  if (!Acceptable(format))
    return Outcome::Fail(WaveError::kBadFormat,
                        "no device takes " + std::to_string(format.channels) + " channels of " +
                            std::to_string(format.bitsPerSample) + " bits at " +
                            std::to_string(format.sampleRate) + " Hz");
  auto c = Connection::Open(direction == Direction::kInput ? "Murmurant wave input"
                                                           : "Murmurant wave output");
  if (!c) return Outcome::Fail(WaveError::kNoServer, "no sound server");
  std::string device;
  {
    Connection::Lock lock(*c);
    if (Outcome r = Resolve(*c, direction, id, &device); !r.ok()) return r;
  }
  if (keep) *keep = std::move(c);
  if (name) *name = device;
  return Outcome::Ok();
}

Outcome StillQueued() {
  return Outcome::Fail(WaveError::kStillQueued, "the buffer is still with the device");
}
Outcome Gone() { return Outcome::Fail(WaveError::kFailed, "the server or the device went away"); }

}  // namespace

// The stream and the queue of buffers it works through. Every field below the
// connection is touched only with the connection's lock held.
class WaveDeviceImpl {
 public:
  WaveDeviceImpl(std::unique_ptr<Connection> c, Direction d, WaveDevice::Completion done)
      : connection_(std::move(c)), direction_(d), done_(std::move(done)) {}
  ~WaveDeviceImpl();

  Outcome Connect(const std::string& device, const WaveFormat& format, bool followDefault);
  Outcome Prepare(WaveBuffer& b);
  Outcome Unprepare(WaveBuffer& b);
  Outcome Add(WaveBuffer& b);
  Outcome Cork(bool paused);
  Outcome Reset();
  bool HealthyLocked() const {
    Connection::Lock lock(*connection_);
    return Healthy();
  }

 private:
  bool Healthy() const;
  // The server's own word on why the stream on `device` did not come up.
  Outcome Refused(const std::string& device) const {
    return Outcome::Fail(WaveError::kFailed,
                        "the sound server refused a stream on " + device + ": " +
                            pa_strerror(pa_context_errno(connection_->context())));
  }
  static void OnStreamState(pa_stream*, void* self);
  static void OnRead(pa_stream* s, std::size_t, void* self);
  static void OnWrite(pa_stream*, std::size_t, void* self);
  static void OnDeferred(pa_mainloop_api*, pa_defer_event*, void* self);
  void Capture(const void* data, std::size_t n);
  void Play();
  void Complete(WaveBuffer& b);
  void ReturnQueued();

  std::unique_ptr<Connection> connection_;
  Direction direction_;
  WaveDevice::Completion done_;
  pulse::StreamPtr stream_;
  pa_defer_event* playLater_ = nullptr;
  std::deque<WaveBuffer*> queue_;
  std::size_t playedOfFront_ = 0;  // output: bytes of the front buffer already handed over
  double bytesPerSecond_ = 0;
  std::int64_t captured_ = 0;  // input: bytes the stream delivered so far, holes included
  std::optional<ArrivalClock> clock_;
};

WaveDeviceImpl::~WaveDeviceImpl() {
  {
    Connection::Lock lock(*connection_);
    if (stream_) {
      pa_stream_set_state_callback(stream_.get(), nullptr, nullptr);
      pa_stream_set_read_callback(stream_.get(), nullptr, nullptr);
      pa_stream_set_write_callback(stream_.get(), nullptr, nullptr);
      pa_stream_disconnect(stream_.get());
      stream_.reset();
    }
    if (playLater_) pa_threaded_mainloop_get_api(connection_->loop())->defer_free(playLater_);
    ReturnQueued();
  }
  connection_.reset();  // joins the event thread
}

Outcome WaveDeviceImpl::Connect(const std::string& device, const WaveFormat& format,
                               bool followDefault) {
  Connection::Lock lock(*connection_);
  const pa_sample_spec spec = SpecFor(format);
  bytesPerSecond_ = static_cast<double>(pa_bytes_per_second(&spec));
  clock_.emplace(bytesPerSecond_);
  stream_.reset(pa_stream_new(connection_->context(),
                              direction_ == Direction::kInput ? "Murmurant input" : "Murmurant output",
                              &spec, nullptr));
  if (!stream_) return Refused(device);
  pa_stream_set_state_callback(stream_.get(), OnStreamState, this);
  // Short server-side buffering keeps completions close to real time; 50 ms
  // also keeps the event thread from waking for every few samples.
  const auto bytesPer50ms = static_cast<std::uint32_t>(pa_usec_to_bytes(50'000, &spec));
  pa_buffer_attr attr;
  std::memset(&attr, 0xff, sizeof attr);
  auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                              (followDefault ? 0 : PA_STREAM_DONT_MOVE));
  int rc;
  if (direction_ == Direction::kInput) {
    attr.fragsize = bytesPer50ms;
    pa_stream_set_read_callback(stream_.get(), OnRead, this);
    rc = pa_stream_connect_record(stream_.get(), device.c_str(), &attr,
                                  static_cast<pa_stream_flags_t>(flags | PA_STREAM_START_CORKED));
  } else {
    attr.tlength = 2 * bytesPer50ms;
    attr.minreq = bytesPer50ms / 2;
    playLater_ = pa_threaded_mainloop_get_api(connection_->loop())->defer_new(
        pa_threaded_mainloop_get_api(connection_->loop()), OnDeferred, this);
    pa_threaded_mainloop_get_api(connection_->loop())->defer_enable(playLater_, 0);
    pa_stream_set_write_callback(stream_.get(), OnWrite, this);
    rc = pa_stream_connect_playback(stream_.get(), device.c_str(), &attr, flags, nullptr, nullptr);
  }
  if (rc < 0) return Refused(device);
  for (;;) {
    pa_stream_state_t state = pa_stream_get_state(stream_.get());
    if (state == PA_STREAM_READY) return Outcome::Ok();
    if (!PA_STREAM_IS_GOOD(state) || !connection_->Alive()) return Refused(device);
    pa_threaded_mainloop_wait(connection_->loop());
  }
}

void WaveDeviceImpl::OnStreamState(pa_stream*, void* self) {
  Connection::Wake(static_cast<WaveDeviceImpl*>(self)->connection_.get());
}

void WaveDeviceImpl::OnRead(pa_stream* s, std::size_t, void* self) {
  auto* me = static_cast<WaveDeviceImpl*>(self);
  while (pa_stream_readable_size(s) > 0) {
    const void* data = nullptr;
    std::size_t n = 0;
    if (pa_stream_peek(s, &data, &n) < 0 || n == 0) break;
    me->clock_->Arrived(me->captured_ + static_cast<std::int64_t>(n), MonotonicNowNs());
    me->Capture(data, n);  // a hole (no data) is recorded as silence
    pa_stream_drop(s);
  }
}

void WaveDeviceImpl::Capture(const void* data, std::size_t n) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t pos = 0;
  // Sound arriving while no buffer is queued is lost, as with a wave driver;
  // the capture times of what follows show the gap to whoever cares.
  while (pos < n && !queue_.empty()) {
    WaveBuffer& b = *queue_.front();
    const std::size_t take = std::min(b.size - b.recorded, n - pos);
    if (bytes)
      std::memcpy(b.data + b.recorded, bytes + pos, take);
    else
      std::memset(b.data + b.recorded, 0, take);
    b.recorded += take;
    pos += take;
    if (b.recorded == b.size) {
      b.capturedEndNs = clock_->CapturedAt(captured_ + static_cast<std::int64_t>(pos));
      queue_.pop_front();
      Complete(b);
    }
  }
  captured_ += static_cast<std::int64_t>(n);
}

void WaveDeviceImpl::OnWrite(pa_stream*, std::size_t, void* self) {
  static_cast<WaveDeviceImpl*>(self)->Play();
}

void WaveDeviceImpl::OnDeferred(pa_mainloop_api* api, pa_defer_event* e, void* self) {
  api->defer_enable(e, 0);
  static_cast<WaveDeviceImpl*>(self)->Play();
}

void WaveDeviceImpl::Play() {
  if (!stream_ || pa_stream_get_state(stream_.get()) != PA_STREAM_READY) return;
  std::size_t room = pa_stream_writable_size(stream_.get());
  while (room > 0 && !queue_.empty()) {
    WaveBuffer& b = *queue_.front();
    const std::size_t take = std::min(room, b.size - playedOfFront_);
    if (pa_stream_write(stream_.get(), b.data + playedOfFront_, take, nullptr, 0,
                        PA_SEEK_RELATIVE) < 0)
      return;
    playedOfFront_ += take;
    room -= take;
    if (playedOfFront_ == b.size) {
      playedOfFront_ = 0;
      queue_.pop_front();
      Complete(b);
    }
  }
}

void WaveDeviceImpl::Complete(WaveBuffer& b) {
  b.queued = false;
  b.done = true;
  if (done_) done_(b);
}

void WaveDeviceImpl::ReturnQueued() {
  for (WaveBuffer* b : queue_) {
    b->queued = false;
    b->done = true;
  }
  queue_.clear();
  playedOfFront_ = 0;
}

Outcome WaveDeviceImpl::Prepare(WaveBuffer& b) {
  Connection::Lock lock(*connection_);
  if (b.queued) return StillQueued();
  b.prepared = true;
  b.done = false;
  return Outcome::Ok();
}

Outcome WaveDeviceImpl::Unprepare(WaveBuffer& b) {
  Connection::Lock lock(*connection_);
  if (b.queued) return StillQueued();
  b.prepared = false;
  return Outcome::Ok();
}

Outcome WaveDeviceImpl::Add(WaveBuffer& b) {
  Connection::Lock lock(*connection_);
  if (!b.prepared || !b.data || b.size == 0)
    return Outcome::Fail(WaveError::kNotPrepared, "the buffer is not prepared");
  if (b.queued) return StillQueued();
  if (!Healthy()) return Gone();
  b.recorded = 0;
  b.capturedEndNs = 0;
  b.done = false;
  b.queued = true;
  queue_.push_back(&b);
  // Output is handed over on the event thread, so completions always run there.
  if (playLater_) pa_threaded_mainloop_get_api(connection_->loop())->defer_enable(playLater_, 1);
  return Outcome::Ok();
}

Outcome WaveDeviceImpl::Cork(bool paused) {
  Connection::Lock lock(*connection_);
  if (!Healthy()) return Gone();
  Connection::Outcome outcome{connection_.get()};
  return connection_->Finish(
             pa_stream_cork(stream_.get(), paused ? 1 : 0, Connection::Outcome::OfStream, &outcome),
             outcome)
             ? Outcome::Ok()
             : Outcome::Fail(WaveError::kFailed, paused ? "the server did not pause the stream"
                                                       : "the server did not start the stream");
}

Outcome WaveDeviceImpl::Reset() {
  Connection::Lock lock(*connection_);
  bool ok = Healthy();
  if (ok) {
    Connection::Outcome outcome{connection_.get()};
    // Input stops recording; output drops what the server still holds.
    pa_operation* op =
        direction_ == Direction::kInput
            ? pa_stream_cork(stream_.get(), 1, Connection::Outcome::OfStream, &outcome)
            : pa_stream_flush(stream_.get(), Connection::Outcome::OfStream, &outcome);
    ok = connection_->Finish(op, outcome);
  }
  ReturnQueued();
  return ok ? Outcome::Ok() : Outcome::Fail(WaveError::kFailed, "the server did not reset the stream");
}

bool WaveDeviceImpl::Healthy() const {
  return stream_ && connection_->Alive() && pa_stream_get_state(stream_.get()) == PA_STREAM_READY;
}

// --- public faces -----------------------------------------------------------

WaveDevice::WaveDevice(std::unique_ptr<WaveDeviceImpl> impl) : impl_(std::move(impl)) {}
WaveDevice::~WaveDevice() = default;
Outcome WaveDevice::Prepare(WaveBuffer& b) { return impl_->Prepare(b); }
Outcome WaveDevice::Unprepare(WaveBuffer& b) { return impl_->Unprepare(b); }
Outcome WaveDevice::Add(WaveBuffer& b) { return impl_->Add(b); }
Outcome WaveDevice::Start() { return impl_->Cork(false); }
Outcome WaveDevice::Stop() { return impl_->Cork(true); }
Outcome WaveDevice::Reset() { return impl_->Reset(); }
bool WaveDevice::Healthy() const { return impl_->HealthyLocked(); }

std::vector<WaveDeviceInfo> ListWaveInputs() { return List(Direction::kInput); }
std::vector<WaveDeviceInfo> ListWaveOutputs() { return List(Direction::kOutput); }

namespace {

base::Result<std::unique_ptr<WaveDeviceImpl>> OpenDevice(Direction direction, int id,
                                                         const WaveFormat& format,
                                                         WaveDevice::Completion done) {
  std::unique_ptr<Connection> c;
  std::string name;
  if (Outcome r = QueryDevice(direction, id, format, &c, &name); !r.ok()) return r.error();
  auto impl = std::make_unique<WaveDeviceImpl>(std::move(c), direction, std::move(done));
  if (Outcome r = impl->Connect(name, format, id == kDefaultDevice); !r.ok()) return r.error();
  return impl;
}

}  // namespace

Outcome WaveIn::Query(int id, const WaveFormat& format) {
  return QueryDevice(Direction::kInput, id, format, nullptr, nullptr);
}

base::Result<std::unique_ptr<WaveIn>> WaveIn::Open(int id, const WaveFormat& format,
                                                   Completion done) {
  auto impl = OpenDevice(Direction::kInput, id, format, std::move(done));
  if (!impl.ok()) return impl.outcome().error();
  return std::unique_ptr<WaveIn>(new WaveIn(std::move(impl).value()));
}

Outcome WaveOut::Query(int id, const WaveFormat& format) {
  return QueryDevice(Direction::kOutput, id, format, nullptr, nullptr);
}

base::Result<std::unique_ptr<WaveOut>> WaveOut::Open(int id, const WaveFormat& format,
                                                     Completion done) {
  auto impl = OpenDevice(Direction::kOutput, id, format, std::move(done));
  if (!impl.ok()) return impl.outcome().error();
  return std::unique_ptr<WaveOut>(new WaveOut(std::move(impl).value()));
}

}  // namespace platform
