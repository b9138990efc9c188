#pragma once
// Keeps a capture device of the sound server running with short blocks for
// as long as the object lives, reading and discarding what comes.
//
// A virtual playback device that nobody listens to closely renders its sound
// in blocks of up to two seconds; a recording stream that connects to its
// capture side then gets nothing for up to that long, and the sound rendered
// meanwhile never reaches it. Held this way, the device answers a new
// recording stream within a block, as a real device does.
#include <memory>
#include <string>

namespace platform {

class CaptureKeeper {
 public:
  // `source`: the server's name of the capture device (a monitor included).
  // Empty when there is no server or no such device.
  static std::unique_ptr<CaptureKeeper> Start(const std::string& source);
  ~CaptureKeeper();
  CaptureKeeper(const CaptureKeeper&) = delete;
  CaptureKeeper& operator=(const CaptureKeeper&) = delete;

  struct Impl;

 private:
  explicit CaptureKeeper(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
