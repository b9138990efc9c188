#include "platform/sound_clock.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/log.h"
#include "platform/pulse_connection.h"

namespace platform {

using pulse::Connection;

// The server cannot read from a ring of ours as a sound card does. Instead
// it is handed one segment of the ring at a time, in ring order, each time
// it has played one: its queue holds the segment it plays and the one
// after. Handing a segment over is thus the moment the device's read
// position enters the segment before it, which is when the ring's
// notification fires; a segment written two ahead of that is handed over
// two ticks later, just in time to follow.
class SoundClockImpl {
 public:
  SoundClockImpl(std::unique_ptr<Connection> c, unsigned segmentBytes,
                 std::function<void()> segmentPlayed)
      : connection_(std::move(c)), segmentBytes_(segmentBytes), segmentPlayed_(std::move(segmentPlayed)) {
    ring_.bytes.assign(static_cast<size_t>(segmentBytes) * CSoundClock::kSegments, 0);
  }
  ~SoundClockImpl() {
    {
      Connection::Lock lock(*connection_);
      if (stream_) {
        pa_stream_set_state_callback(stream_.get(), nullptr, nullptr);
        pa_stream_set_write_callback(stream_.get(), nullptr, nullptr);
        pa_stream_disconnect(stream_.get());
        stream_.reset();
      }
    }
    connection_.reset();  // joins the event thread: no notification after this
  }
  SoundClockImpl(const SoundClockImpl&) = delete;
  SoundClockImpl& operator=(const SoundClockImpl&) = delete;

  bool Connect(const pa_sample_spec& spec, const std::string& device);
  bool Start();
  unsigned PlayCursor() const;
  void Write(const uint8_t* bytes, unsigned index);
  bool Healthy() const {
    Connection::Lock lock(*connection_);
    return stream_ && connection_->Alive() && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_.get()));
  }

 private:
  static void OnState(pa_stream* s, void* self) {
    auto* me = static_cast<SoundClockImpl*>(self);
    Connection::Wake(me->connection_.get());
    // The player waits for ticks that will not come: wake it to see why.
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s)) && me->started_ && me->segmentPlayed_)
      me->segmentPlayed_();
  }
  static void OnWrite(pa_stream*, size_t, void* self) {
    static_cast<SoundClockImpl*>(self)->HandOver();
  }
  // On the event thread, its lock held: every segment the server has room
  // for, each a tick of the clock once playback has started.
  void HandOver();
  unsigned QueuedSegments() const { return 2; }
  // The preview then plays without its clock; the user sees only silence, so
  // the cause and the device go to the log. Lock held.
  bool Refused(const char* step) const {
    const char* device = stream_ ? pa_stream_get_device_name(stream_.get()) : nullptr;
    base::Log(base::Level::kWarning, "sound clock",
              std::string("the preview's sound did not start (") + step + " on " +
                  (device ? device : "the default playback device") +
                  "): " + pa_strerror(pa_context_errno(connection_->context())));
    return false;
  }

  std::unique_ptr<Connection> connection_;
  pulse::StreamPtr stream_;
  const unsigned segmentBytes_;
  std::function<void()> segmentPlayed_;
  // The ring, written by the player and read by the event thread.
  struct Ring {
    mutable std::mutex mutex;
    std::vector<uint8_t> bytes;  // guarded by mutex
  } ring_;
  // Under the connection's lock.
  bool started_ = false;
  int64_t handedOver_ = 0;  // segments given to the server since Start
};

bool SoundClockImpl::Connect(const pa_sample_spec& spec, const std::string& device) {
  Connection::Lock lock(*connection_);
  stream_.reset(pa_stream_new(connection_->context(), "preview", &spec, nullptr));
  if (!stream_) return Refused("making the stream");
  pa_stream_set_state_callback(stream_.get(), OnState, this);
  pa_stream_set_write_callback(stream_.get(), OnWrite, this);
  pa_buffer_attr attr;
  std::memset(&attr, 0xff, sizeof attr);
  attr.tlength = segmentBytes_ * QueuedSegments();
  // Asked after each half segment: a whole one is handed over at every
  // second request. PipeWire's PulseAudio layer keeps three times the
  // request size queued at the least, which at a whole segment would be
  // three segments, each heard a tick later than handed over for.
  const auto frame = static_cast<uint32_t>(pa_frame_size(&spec));
  attr.minreq = segmentBytes_ / 2 / frame * frame;
  attr.prebuf = segmentBytes_;
  auto flags = static_cast<pa_stream_flags_t>(
      PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
  if (!device.empty()) flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);
  if (pa_stream_connect_playback(stream_.get(), device.empty() ? nullptr : device.c_str(), &attr,
                                 flags, nullptr, nullptr) < 0)
    return Refused("connecting");
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(stream_.get());
    if (state == PA_STREAM_READY) break;
    if (!PA_STREAM_IS_GOOD(state) || !connection_->Alive()) return Refused("connecting");
    pa_threaded_mainloop_wait(connection_->loop());
  }
  // A server that keeps a deeper queue than asked (beyond rounding to its
  // block size) plays the sound later than the pictures by the difference;
  // worth a line, not a refusal.
  if (const pa_buffer_attr* got = pa_stream_get_buffer_attr(stream_.get());
      got && got->tlength > attr.tlength + segmentBytes_ / 2)
    base::Logf(base::Level::kWarning, "sound clock",
               "the sound server keeps %u bytes queued, not %u", got->tlength, attr.tlength);
  return true;
}

bool SoundClockImpl::Start() {
  Connection::Lock lock(*connection_);
  if (!stream_ || started_) return false;
  started_ = true;
  HandOver();  // the first two segments, before the device starts
  Connection::Outcome outcome{connection_.get()};
  return connection_->Finish(
             pa_stream_cork(stream_.get(), 0, Connection::Outcome::OfStream, &outcome), outcome) ||
         Refused("starting");
}

void SoundClockImpl::HandOver() {
  if (!started_ || !stream_) return;
  size_t writable = pa_stream_writable_size(stream_.get());
  if (writable == static_cast<size_t>(-1)) return;
  while (writable >= segmentBytes_) {
    {
      std::lock_guard ringLock(ring_.mutex);
      const size_t at = static_cast<size_t>(handedOver_ % CSoundClock::kSegments) * segmentBytes_;
      if (pa_stream_write(stream_.get(), ring_.bytes.data() + at, segmentBytes_, nullptr, 0,
                          PA_SEEK_RELATIVE) < 0)
        return;
    }
    writable -= segmentBytes_;
    // The two handed over by Start fill the queue; every later one means
    // the device has played one more.
    if (++handedOver_ > static_cast<int64_t>(QueuedSegments()) && segmentPlayed_) segmentPlayed_();
  }
}

unsigned SoundClockImpl::PlayCursor() const {
  Connection::Lock lock(*connection_);
  if (!started_ || handedOver_ < static_cast<int64_t>(QueuedSegments())) return 0;
  // The server reads the older of the two segments it holds.
  const int64_t playing = handedOver_ - QueuedSegments();
  unsigned within = 0;
  if (const pa_timing_info* t = stream_ ? pa_stream_get_timing_info(stream_.get()) : nullptr;
      t && !t->read_index_corrupt) {
    const int64_t into = t->read_index - playing * segmentBytes_;
    if (into > 0) within = static_cast<unsigned>(std::min<int64_t>(into, segmentBytes_ - 1));
  }
  return static_cast<unsigned>(playing % CSoundClock::kSegments) * segmentBytes_ + within;
}

void SoundClockImpl::Write(const uint8_t* bytes, unsigned index) {
  std::lock_guard ringLock(ring_.mutex);
  std::memcpy(ring_.bytes.data() + static_cast<size_t>(index) * segmentBytes_, bytes, segmentBytes_);
}

CSoundClock::CSoundClock() = default;
CSoundClock::~CSoundClock() { Close(); }

int CSoundClock::Open(std::function<void()> segmentPlayed, int sampleRate, int clockRate,
                      int channels, const std::string& device) {
  Close();
  if (sampleRate <= 0 || clockRate <= 0 || channels < 1 || channels > 2) return 0;
  const unsigned bytes = static_cast<unsigned>(sampleRate / clockRate) * 2 * channels;
  if (bytes == 0) return 0;
  auto connection = Connection::Open("preview player");
  if (!connection) {
    base::Log(base::Level::kWarning, "sound clock", "the preview's sound did not start: no sound server");
    return 0;
  }
  auto impl = std::make_unique<SoundClockImpl>(std::move(connection), bytes, std::move(segmentPlayed));
  const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(sampleRate),
                            static_cast<uint8_t>(channels)};
  if (!impl->Connect(spec, device)) return 0;
  impl_ = std::move(impl);
  segmentBytes_ = bytes;
  return 1;
}

int CSoundClock::Start() { return impl_ && impl_->Start() ? 1 : 0; }

unsigned CSoundClock::PlayCursor() const { return impl_ ? impl_->PlayCursor() : 0; }

int CSoundClock::WriteSegment(const uint8_t* bytes, unsigned index) {
  if (!impl_ || !bytes || index >= kSegments) return 0;
  impl_->Write(bytes, index);
  return 1;
}

bool CSoundClock::Healthy() const { return impl_ && impl_->Healthy(); }

void CSoundClock::Close() {
  impl_.reset();
  segmentBytes_ = 0;
}

}  // namespace platform
