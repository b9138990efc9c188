#pragma once
// Internal to the platform layer: one connection to the sound server with its
// own event thread. Only the platform's sound files include this header, so the
// server's client headers stay out of the rest of the program.
#include <pulse/pulseaudio.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sound_server.h"

namespace platform::pulse {

struct LoopDeleter {
  void operator()(pa_threaded_mainloop* m) const { pa_threaded_mainloop_free(m); }
};
struct ContextDeleter {
  void operator()(pa_context* c) const { pa_context_unref(c); }
};
struct StreamDeleter {
  void operator()(pa_stream* s) const { pa_stream_unref(s); }
};
struct OperationDeleter {
  void operator()(pa_operation* o) const { pa_operation_unref(o); }
};
struct PropListDeleter {
  void operator()(pa_proplist* p) const { pa_proplist_free(p); }
};
using StreamPtr = std::unique_ptr<pa_stream, StreamDeleter>;
using OperationPtr = std::unique_ptr<pa_operation, OperationDeleter>;
using PropListPtr = std::unique_ptr<pa_proplist, PropListDeleter>;

class Connection {
 public:
  // Connects to the server named by the environment (PULSE_SERVER or the
  // user's runtime folder), never starting one. Empty when no server answers.
  static std::unique_ptr<Connection> Open(const char* clientName);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  pa_threaded_mainloop* loop() const { return loop_.get(); }
  pa_context* context() const { return context_.get(); }
  bool Alive() const;

  // Holds the event thread's lock. Never taken on the event thread itself.
  class Lock {
   public:
    explicit Lock(const Connection& c) : loop_(c.loop()) { pa_threaded_mainloop_lock(loop_); }
    ~Lock() { pa_threaded_mainloop_unlock(loop_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  // With the lock held: waits until the operation ends or the connection
  // drops. False when it did not complete.
  bool Await(pa_operation* op) const;

  // The callback every query here uses to wake Await (userdata = Connection).
  static void Wake(const void* self);

  // Success reported by a command (cork, flush, default device, unload...).
  // Pass &outcome as the userdata and one of the two callbacks.
  struct Outcome {
    const Connection* self;
    int success = 0;
    static void OfContext(pa_context*, int ok, void* userdata);
    static void OfStream(pa_stream*, int ok, void* userdata);
  };
  // With the lock held: waits for `op` (owned from here on) and reports
  // whether it completed with success.
  bool Finish(pa_operation* op, const Outcome& outcome) const;

 private:
  Connection() = default;
  std::unique_ptr<pa_threaded_mainloop, LoopDeleter> loop_;
  std::unique_ptr<pa_context, ContextDeleter> context_;
  bool started_ = false;
};

// Queries shared by the sound files; each with the connection's lock held,
// empty when the server did not answer.
struct Defaults {
  std::string sink;
  std::string source;
  std::string serverName;  // "pulseaudio", "PulseAudio (on PipeWire 0.3.65)", ...
};
std::optional<Defaults> QueryDefaults(const Connection& c);
std::optional<std::vector<SoundDevice>> QuerySinks(const Connection& c);
std::optional<std::vector<SoundDevice>> QuerySources(const Connection& c);

}  // namespace platform::pulse
