#pragma once
// The audio engine's rule for the sound server while the recorder runs,
// apart from the server so that it can be tried without one: the loopback
// exists and is the default playback device (whatever the call client plays
// is recorded), its sound is forwarded to the playback device the user
// chose (the call is heard), and the user's default record device stays the
// user's (the near side never records the far side).
//
// The user's choice is any default that is not the loopback: picking
// headphones in the desktop's sound settings moves the forward there and the
// loopback becomes the default again. A forwarded-to device that goes away
// is stood in for by another until it comes back.
//
// One thread: the engine's.
#include <optional>
#include <string>
#include <vector>

#include "audio/loopback_device.h"
#include "audio/user_defaults.h"

namespace audio {

// The server as the engine sees it after a change.
struct ServerView {
  std::vector<platform::SoundDevice> sinks, sources;
  std::string defaultSink, defaultSource;
  LoopbackModules ours;
};

// What brings the server in line, in this order.
struct RouteSteps {
  bool remakeLoopback = false;  // remove what is left of it and make both sides
  std::optional<std::string> defaultSink, defaultSource;
  bool dropForward = false;              // unload the forward there is
  std::optional<std::string> forwardTo;  // then forward into this device
  std::vector<std::string> said;         // lines for the log
  bool empty() const {
    return !remakeLoopback && !defaultSink && !defaultSource && !dropForward && !forwardTo;
  }
};

class PlaybackRouter {
 public:
  // `known`: what the user chose before, when an earlier engine said so.
  explicit PlaybackRouter(UserDefaults known = {}) : user_(std::move(known)) {}

  RouteSteps Follow(const ServerView& view);
  // The devices the sound system is given back to at the end.
  const UserDefaults& user() const { return user_; }

 private:
  void Learn(const ServerView& view);
  std::string Target(const ServerView& view) const;
  void SayWhereHeard(const ServerView& view, const std::string& target, RouteSteps& steps);

  UserDefaults user_;
  bool made_ = false;      // the loopback was made once
  std::optional<std::string> heardOn_;  // where the log last said the call is heard
};

}  // namespace audio
