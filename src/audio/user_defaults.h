#pragma once
// The user's own default devices while the audio engine routes playback
// through the loopback. The engine keeps them in a small file in the runtime
// folder, beside its lock, and rewrites it whenever the user chooses another
// device, so that whoever cleans up after an engine that was killed (the
// recorder, or the next engine) gives back what the user last chose.
#include <optional>
#include <string>

#include "platform/sound_server.h"

namespace audio {

struct UserDefaults {
  std::string sink;    // server names
  std::string source;
  // Where the call was heard last: given back when the chosen playback
  // device has gone meanwhile.
  std::string heard;
  bool operator==(const UserDefaults&) const = default;
};

// Written whole or not at all. False when the runtime folder refused.
bool SaveUserDefaults(const UserDefaults& defaults);
// Empty when no engine left any.
std::optional<UserDefaults> LoadUserDefaults();
void ForgetUserDefaults();

// Puts the sound system back as the user had it: the saved defaults made
// the defaults again (those devices that still exist; the device the call
// was heard on for a chosen one that has gone), then every loopback
// module of ours removed and the file forgotten. Returns what it did, for
// the log; empty when there was nothing to give back.
std::string GiveBackSoundSystem(platform::SoundServer& server);

}  // namespace audio
