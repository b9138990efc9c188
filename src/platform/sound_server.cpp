#include "platform/sound_server.h"

#include "platform/pulse_connection.h"

namespace platform {

using pulse::Connection;

namespace {

struct ServerInfo {
  const Connection* c;
  bool ok = false;
  std::string sink{}, source{};
};

template <class Item>
struct Collected {
  const Connection* c;
  std::vector<Item> items{};
};

SoundDevice FromSink(const pa_sink_info& i) {
  return {i.index, i.name ? i.name : "", i.description ? i.description : "", i.owner_module, false};
}

SoundDevice FromSource(const pa_source_info& i) {
  return {i.index, i.name ? i.name : "", i.description ? i.description : "", i.owner_module,
          i.monitor_of_sink != PA_INVALID_INDEX};
}

}  // namespace

SoundServer::SoundServer(std::unique_ptr<Connection> c) : connection_(std::move(c)) {}
SoundServer::~SoundServer() = default;

std::unique_ptr<SoundServer> SoundServer::Connect(const char* clientName) {
  auto c = Connection::Open(clientName);
  if (!c) return nullptr;
  return std::unique_ptr<SoundServer>(new SoundServer(std::move(c)));
}

bool SoundServer::Alive() const {
  Connection::Lock lock(*connection_);
  return connection_->Alive();
}

namespace {

ServerInfo QueryServer(const Connection& c) {
  ServerInfo info{&c};
  auto cb = [](pa_context*, const pa_server_info* i, void* ud) {
    auto* out = static_cast<ServerInfo*>(ud);
    if (i) {
      out->ok = true;
      out->sink = i->default_sink_name ? i->default_sink_name : "";
      out->source = i->default_source_name ? i->default_source_name : "";
    }
    Connection::Wake(out->c);
  };
  Connection::Lock lock(c);
  pulse::OperationPtr op(pa_context_get_server_info(c.context(), cb, &info));
  if (!op || !c.Await(op.get())) info.ok = false;
  return info;
}

}  // namespace

std::optional<std::string> SoundServer::DefaultSink() {
  ServerInfo info = QueryServer(*connection_);
  return info.ok ? std::optional(info.sink) : std::nullopt;
}

std::optional<std::string> SoundServer::DefaultSource() {
  ServerInfo info = QueryServer(*connection_);
  return info.ok ? std::optional(info.source) : std::nullopt;
}

bool SoundServer::SetDefaultSink(const std::string& name) {
  Connection::Lock lock(*connection_);
  Connection::Outcome outcome{connection_.get()};
  return connection_->Finish(pa_context_set_default_sink(connection_->context(), name.c_str(),
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
  Collected<SoundDevice> out{connection_.get()};
  auto cb = [](pa_context*, const pa_sink_info* i, int eol, void* ud) {
    auto* o = static_cast<Collected<SoundDevice>*>(ud);
    if (eol == 0 && i) o->items.push_back(FromSink(*i));
    if (eol != 0) Connection::Wake(o->c);
  };
  Connection::Lock lock(*connection_);
  pulse::OperationPtr op(pa_context_get_sink_info_list(connection_->context(), cb, &out));
  if (!op || !connection_->Await(op.get())) return {};
  return std::move(out.items);
}

std::vector<SoundDevice> SoundServer::Sources() {
  Collected<SoundDevice> out{connection_.get()};
  auto cb = [](pa_context*, const pa_source_info* i, int eol, void* ud) {
    auto* o = static_cast<Collected<SoundDevice>*>(ud);
    if (eol == 0 && i) o->items.push_back(FromSource(*i));
    if (eol != 0) Connection::Wake(o->c);
  };
  Connection::Lock lock(*connection_);
  pulse::OperationPtr op(pa_context_get_source_info_list(connection_->context(), cb, &out));
  if (!op || !connection_->Await(op.get())) return {};
  return std::move(out.items);
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
