#include "platform/sound_server.h"

#include "platform/pulse_connection.h"

namespace platform {

using pulse::Connection;

namespace {

template <class Item>
struct Collected {
  const Connection* c;
  std::vector<Item> items{};
};

}  // namespace

SoundServer::SoundServer(std::unique_ptr<Connection> c) : connection_(std::move(c)) {}

SoundServer::~SoundServer() {
  // No call of changed_ after this: the connection goes first.
  connection_.reset();
}

std::unique_ptr<SoundServer> SoundServer::Connect(const char* clientName) {
  auto c = Connection::Open(clientName);
  if (!c) return nullptr;
  return std::unique_ptr<SoundServer>(new SoundServer(std::move(c)));
}

bool SoundServer::Alive() const {
  Connection::Lock lock(*connection_);
  return connection_->Alive();
}

bool SoundServer::Subscribe(std::function<void()> changed) {
  Connection::Lock lock(*connection_);
  changed_ = std::move(changed);
  pa_context_set_subscribe_callback(
      connection_->context(),
      [](pa_context*, pa_subscription_event_type_t, std::uint32_t, void* self) {
        static_cast<SoundServer*>(self)->changed_();
      },
      this);
  // Losing the server is a change too; the connection's waiters still wake.
  pa_context_set_state_callback(
      connection_->context(),
      [](pa_context*, void* self) {
        auto* me = static_cast<SoundServer*>(self);
        Connection::Wake(me->connection_.get());
        me->changed_();
      },
      this);
  Connection::Outcome outcome{connection_.get()};
  const auto mask = static_cast<pa_subscription_mask_t>(
      PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_MODULE |
      PA_SUBSCRIPTION_MASK_SERVER);
  return connection_->Finish(
      pa_context_subscribe(connection_->context(), mask, Connection::Outcome::OfContext, &outcome),
      outcome);
}

std::optional<std::string> SoundServer::DefaultSink() {
  Connection::Lock lock(*connection_);
  auto d = pulse::QueryDefaults(*connection_);
  return d ? std::optional(d->sink) : std::nullopt;
}

std::optional<std::string> SoundServer::DefaultSource() {
  Connection::Lock lock(*connection_);
  auto d = pulse::QueryDefaults(*connection_);
  return d ? std::optional(d->source) : std::nullopt;
}

std::optional<SoundServer::Info> SoundServer::Describe() {
  Connection::Lock lock(*connection_);
  auto d = pulse::QueryDefaults(*connection_);
  if (!d) return std::nullopt;
  return Info{d->serverName, d->sink, d->source};
}

bool SoundServer::SetDefaultSink(const std::string& name) {
  Connection::Lock lock(*connection_);
  Connection::Outcome outcome{connection_.get()};
  return connection_->Finish(pa_context_set_default_sink(connection_->context(), name.c_str(),
                                                         Connection::Outcome::OfContext, &outcome),
                             outcome);
}

bool SoundServer::SuspendSink(const std::string& name, bool suspend) {
  Connection::Lock lock(*connection_);
  Connection::Outcome outcome{connection_.get()};
  return connection_->Finish(pa_context_suspend_sink_by_name(connection_->context(), name.c_str(),
                                                             suspend ? 1 : 0,
                                                             Connection::Outcome::OfContext, &outcome),
                             outcome);
}

bool SoundServer::SetDefaultSource(const std::string& name) {
  Connection::Lock lock(*connection_);
  Connection::Outcome outcome{connection_.get()};
  return connection_->Finish(pa_context_set_default_source(connection_->context(), name.c_str(),
                                                           Connection::Outcome::OfContext, &outcome),
                             outcome);
}

std::vector<SoundDevice> SoundServer::Sinks() {
  Connection::Lock lock(*connection_);
  return pulse::QuerySinks(*connection_).value_or(std::vector<SoundDevice>{});
}

std::vector<SoundDevice> SoundServer::Sources() {
  Connection::Lock lock(*connection_);
  return pulse::QuerySources(*connection_).value_or(std::vector<SoundDevice>{});
}

std::optional<std::uint32_t> SoundServer::LoadModule(const std::string& name,
                                                     const std::string& argument) {
  struct Loaded {
    const Connection* c;
    std::uint32_t index = PA_INVALID_INDEX;
  } loaded{connection_.get()};
  auto cb = [](pa_context*, std::uint32_t index, void* ud) {
    auto* l = static_cast<Loaded*>(ud);
    l->index = index;
    Connection::Wake(l->c);
  };
  Connection::Lock lock(*connection_);
  pulse::OperationPtr op(
      pa_context_load_module(connection_->context(), name.c_str(), argument.c_str(), cb, &loaded));
  if (!op || !connection_->Await(op.get()) || loaded.index == PA_INVALID_INDEX) return std::nullopt;
  return loaded.index;
}

bool SoundServer::UnloadModule(std::uint32_t index) {
  Connection::Lock lock(*connection_);
  Connection::Outcome outcome{connection_.get()};
  return connection_->Finish(pa_context_unload_module(connection_->context(), index,
                                                      Connection::Outcome::OfContext, &outcome),
                             outcome);
}

std::vector<SoundModule> SoundServer::Modules() {
  Collected<SoundModule> out{connection_.get()};
  auto cb = [](pa_context*, const pa_module_info* i, int eol, void* ud) {
    auto* o = static_cast<Collected<SoundModule>*>(ud);
    if (eol == 0 && i)
      o->items.push_back({i->index, i->name ? i->name : "", i->argument ? i->argument : ""});
    if (eol != 0) Connection::Wake(o->c);
  };
  Connection::Lock lock(*connection_);
  pulse::OperationPtr op(pa_context_get_module_info_list(connection_->context(), cb, &out));
  if (!op || !connection_->Await(op.get())) return {};
  return std::move(out.items);
}

}  // namespace platform
