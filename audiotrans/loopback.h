#pragma once
// The loopback device the engine provides while it runs: a playback device
// described "Speaker (Plovander Loopline)" whose sound comes out again on a
// capture device described "Plovander Loopline".
#include <cstdint>
#include <optional>
#include <string>

#include "platform/sound_server.h"

namespace audiotrans {

inline constexpr const char* kSinkName = "plovander_loopline";
inline constexpr const char* kSourceName = "plovander_loopline_capture";
inline constexpr const char* kSinkDescription = "Speaker (Plovander Loopline)";
inline constexpr const char* kSourceDescription = "Plovander Loopline";

// Unloads what an earlier engine left behind when it was killed, recognised
// by the device names in the modules' arguments. Returns how many went.
int RemoveStaleLoopback(platform::SoundServer& server);

class Loopback {
 public:
  // Creates both sides and puts back the user's default devices if the
  // server switched to the new ones: the near side of a call is recorded from
  // the default capture device, and must not become the far side.
  // Empty when the server refused either module.
  static std::optional<Loopback> Create(platform::SoundServer& server);

  Loopback(Loopback&& other) noexcept;
  Loopback& operator=(Loopback&&) = delete;
  Loopback(const Loopback&) = delete;
  ~Loopback();

  // Removes both sides; also done by the destructor.
  void Remove();

 private:
  Loopback(platform::SoundServer& server, std::uint32_t sink, std::uint32_t source)
      : server_(&server), sinkModule_(sink), sourceModule_(source) {}
  platform::SoundServer* server_;
  std::optional<std::uint32_t> sinkModule_;
  std::optional<std::uint32_t> sourceModule_;
};

}  // namespace audiotrans
