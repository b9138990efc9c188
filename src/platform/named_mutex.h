#pragma once
// A process-wide named lock standing in for a named mutex: an exclusive lock on
// a file named after the mutex in the runtime folder. The kernel drops the lock
// when the holder dies, so a crashed holder never blocks the next start.
#include <optional>
#include <string>

namespace platform {

class NamedMutex {
 public:
  // Takes the lock; empty when another process holds it (or the lock file
  // cannot be made, in which case we cannot tell and report it as held).
  static std::optional<NamedMutex> Acquire(const std::string& name);

  // True when some process holds the lock right now.
  static bool IsHeld(const std::string& name);

  NamedMutex(NamedMutex&& other) noexcept;
  NamedMutex& operator=(NamedMutex&& other) noexcept;
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;
  ~NamedMutex();

  static std::string PathFor(const std::string& name);

 private:
  explicit NamedMutex(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace platform
