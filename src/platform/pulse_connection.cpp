#include "platform/pulse_connection.h"

namespace platform::pulse {

namespace {

void ContextStateChanged(pa_context*, void* userdata) { Connection::Wake(userdata); }

bool Settled(pa_context_state_t s) {
  return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
}

}  // namespace

void Connection::Wake(const void* self) {
  pa_threaded_mainloop_signal(static_cast<const Connection*>(self)->loop(), 0);
}

void Connection::Outcome::OfContext(pa_context*, int ok, void* userdata) {
  auto* o = static_cast<Outcome*>(userdata);
  o->success = ok;
  pa_threaded_mainloop_signal(o->self->loop(), 0);
}

void Connection::Outcome::OfStream(pa_stream*, int ok, void* userdata) {
  auto* o = static_cast<Outcome*>(userdata);
  o->success = ok;
  pa_threaded_mainloop_signal(o->self->loop(), 0);
}

bool Connection::Finish(pa_operation* op, const Outcome& outcome) const {
  OperationPtr owned(op);
  return owned && Await(owned.get()) && outcome.success;
}

std::unique_ptr<Connection> Connection::Open(const char* clientName) {
  std::unique_ptr<Connection> c(new Connection);
  c->loop_.reset(pa_threaded_mainloop_new());
  if (!c->loop_) return nullptr;
  c->context_.reset(pa_context_new(pa_threaded_mainloop_get_api(c->loop()), clientName));
  if (!c->context_) return nullptr;
  pa_context_set_state_callback(c->context(), ContextStateChanged, c.get());
  if (pa_context_connect(c->context(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return nullptr;
  if (pa_threaded_mainloop_start(c->loop()) < 0) return nullptr;
  c->started_ = true;
  Lock lock(*c);
  while (!Settled(pa_context_get_state(c->context()))) pa_threaded_mainloop_wait(c->loop());
  if (pa_context_get_state(c->context()) != PA_CONTEXT_READY) return nullptr;
  return c;
}

Connection::~Connection() {
  if (!context_) return;
  auto disconnect = [this] {
    pa_context_set_state_callback(context(), nullptr, nullptr);
    pa_context_disconnect(context());
  };
  if (started_) {
    Lock lock(*this);
    disconnect();
  } else {
    disconnect();
  }
  // Stopping joins the event thread: no callback runs after this line.
  if (started_) pa_threaded_mainloop_stop(loop());
  context_.reset();
}

bool Connection::Alive() const {
  return pa_context_get_state(context()) == PA_CONTEXT_READY;
}

bool Connection::Await(pa_operation* op) const {
  while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
    if (!Alive()) {
      pa_operation_cancel(op);
      return false;
    }
    pa_threaded_mainloop_wait(loop());
  }
  return pa_operation_get_state(op) == PA_OPERATION_DONE;
}

namespace {

template <class Result>
struct Reply {
  const Connection* c;
  Result result{};
  bool ok = false;
};

SoundDevice FromSink(const pa_sink_info& i) {
  return {i.index, i.name ? i.name : "", i.description ? i.description : "", i.owner_module, false};
}

SoundDevice FromSource(const pa_source_info& i) {
  return {i.index, i.name ? i.name : "", i.description ? i.description : "", i.owner_module,
          i.monitor_of_sink != PA_INVALID_INDEX};
}

// One list callback for sinks and sources alike.
template <class Info, SoundDevice (*Convert)(const Info&)>
void Collect(pa_context*, const Info* info, int eol, void* userdata) {
  auto* r = static_cast<Reply<std::vector<SoundDevice>>*>(userdata);
  if (eol == 0 && info) r->result.push_back(Convert(*info));
  if (eol != 0) {
    r->ok = eol > 0;
    Connection::Wake(r->c);
  }
}

template <class Result>
std::optional<Result> Finished(const Connection& c, pa_operation* op, Reply<Result>& reply) {
  OperationPtr owned(op);
  if (!owned || !c.Await(owned.get()) || !reply.ok) return std::nullopt;
  return std::move(reply.result);
}

}  // namespace

std::optional<Defaults> QueryDefaults(const Connection& c) {
  Reply<Defaults> reply{&c};
  auto cb = [](pa_context*, const pa_server_info* i, void* userdata) {
    auto* r = static_cast<Reply<Defaults>*>(userdata);
    if (i) {
      r->ok = true;
      r->result.sink = i->default_sink_name ? i->default_sink_name : "";
      r->result.source = i->default_source_name ? i->default_source_name : "";
      r->result.serverName = i->server_name ? i->server_name : "";
    }
    Connection::Wake(r->c);
  };
  return Finished(c, pa_context_get_server_info(c.context(), cb, &reply), reply);
}

std::optional<std::vector<SoundDevice>> QuerySinks(const Connection& c) {
  Reply<std::vector<SoundDevice>> reply{&c};
  return Finished(c,
                  pa_context_get_sink_info_list(c.context(), Collect<pa_sink_info, FromSink>, &reply),
                  reply);
}

std::optional<std::vector<SoundDevice>> QuerySources(const Connection& c) {
  Reply<std::vector<SoundDevice>> reply{&c};
  return Finished(
      c, pa_context_get_source_info_list(c.context(), Collect<pa_source_info, FromSource>, &reply),
      reply);
}

}  // namespace platform::pulse
