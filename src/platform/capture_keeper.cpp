#include "platform/capture_keeper.h"

#include <cstring>

#include "platform/pulse_connection.h"

namespace platform {

namespace {
// Short enough that the device renders no further ahead than this, long
// enough that holding it costs next to nothing.
constexpr pa_usec_t kBlockUsec = 20'000;
}  // namespace

struct CaptureKeeper::Impl {
  std::unique_ptr<pulse::Connection> connection;
  pulse::StreamPtr stream;

  static void OnRead(pa_stream* s, std::size_t, void*) {
    const void* data = nullptr;
    std::size_t n = 0;
    while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &n) == 0 && n > 0)
      pa_stream_drop(s);
  }
  static void OnState(pa_stream*, void* self) {
    pulse::Connection::Wake(static_cast<Impl*>(self)->connection.get());
  }

  ~Impl() {
    if (!connection) return;
    {
      pulse::Connection::Lock lock(*connection);
      if (stream) {
        pa_stream_set_read_callback(stream.get(), nullptr, nullptr);
        pa_stream_set_state_callback(stream.get(), nullptr, nullptr);
        pa_stream_disconnect(stream.get());
        stream.reset();
      }
    }
    connection.reset();
  }
};

std::unique_ptr<CaptureKeeper> CaptureKeeper::Start(const std::string& source) {
  auto impl = std::make_unique<Impl>();
  impl->connection = pulse::Connection::Open("Murmurant capture keeper");
  if (!impl->connection) return nullptr;
  pulse::Connection::Lock lock(*impl->connection);
  const pa_sample_spec spec{PA_SAMPLE_S16LE, 48'000, 2};
  impl->stream.reset(pa_stream_new(impl->connection->context(), "keep awake", &spec, nullptr));
  if (!impl->stream) return nullptr;
  pa_stream_set_state_callback(impl->stream.get(), Impl::OnState, impl.get());
  pa_stream_set_read_callback(impl->stream.get(), Impl::OnRead, impl.get());
  pa_buffer_attr attr;
  std::memset(&attr, 0xff, sizeof attr);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kBlockUsec, &spec));
  if (pa_stream_connect_record(impl->stream.get(), source.c_str(), &attr,
                               static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                              PA_STREAM_DONT_MOVE)) < 0)
    return nullptr;
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(impl->stream.get());
    if (state == PA_STREAM_READY) break;
    if (!PA_STREAM_IS_GOOD(state) || !impl->connection->Alive()) return nullptr;
    pa_threaded_mainloop_wait(impl->connection->loop());
  }
  return std::unique_ptr<CaptureKeeper>(new CaptureKeeper(std::move(impl)));
}

CaptureKeeper::CaptureKeeper(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CaptureKeeper::~CaptureKeeper() = default;

}  // namespace platform
