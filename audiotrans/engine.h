#pragma once
// The engine's hold on the sound server: the loopback, the forward to the
// user's speakers and the default devices, kept in line with the playback
// router's rule whenever something changes on the server, followed across a
// restart of the server, and given back at the end.
//
// One thread (the engine's main loop) calls everything here; the server's
// event thread only makes wakeFd() readable.
#include <memory>

#include "audio/playback_router.h"
#include "platform/capture_keeper.h"
#include "platform/sound_server.h"
#include "platform/unique_fd.h"

namespace audiotrans {

class Engine {
 public:
  // Connects to the server and first gives back what an engine that was
  // killed left there. Empty when no server answers.
  static std::unique_ptr<Engine> Start();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Readable when the server has changed or gone; Settle drains it.
  int wakeFd() const { return wake_.get(); }

  // Brings the server in line after whatever changed. False when the
  // loopback could not be made.
  bool Settle();
  // False once the server has gone; Reconnect then tries again.
  bool Alive() const { return server_ && server_->Alive(); }
  // Connects to a server that came back, and settles it. False while none
  // answers.
  bool Reconnect();
  // The end: the user's latest defaults made the defaults again, then the
  // loopback and the forward removed.
  void GiveBack();

 private:
  Engine();
  bool Connect();
  std::optional<audio::ServerView> Read();
  void Apply(const audio::ServerView& view, const audio::RouteSteps& steps);
  // Waits (on the server's events, two seconds at most) until the device of
  // a module just loaded is listed.
  bool AwaitListed(const char* device);
  void KeepLoopbackPrompt();
  void DrainWake() const;

  platform::UniqueFd wake_;
  std::unique_ptr<platform::SoundServer> server_;
  std::unique_ptr<platform::CaptureKeeper> keeper_;
  audio::PlaybackRouter router_;
  audio::UserDefaults saved_;  // what the defaults file says
};

}  // namespace audiotrans
