#pragma once
// Child processes: started with posix_spawn from an argument vector (never a
// shell string), waited for with a bound, ended by signal.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace platform {

struct SpawnOptions {
  // Extra "NAME=value" entries added to (or replacing in) the inherited environment.
  std::vector<std::string> extraEnv;
  // When set, the child's standard output and error go to this file (appended).
  std::string outputFile;
  // Search PATH for argv[0] when it has no slash.
  bool searchPath = false;
};

// Starts argv[0] with argv; the pid, or empty when it could not be started.
std::optional<pid_t> Spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// Waits up to `timeout` for the child to end; its exit status (as from waitpid)
// or empty when it is still running. Only for our own children.
std::optional<int> WaitChild(pid_t pid, std::chrono::milliseconds timeout);

// SIGTERM, then SIGKILL after `grace` if it is still there; reaps our own child.
void EndChild(pid_t pid, std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

// Another process seen through a descriptor that becomes readable when it
// ends, whether it is our child or not: something to wait on in a poll loop
// beside other descriptors, with no signal handler and no polling of /proc.
class ProcessWatch {
 public:
  // Empty when the process is gone already (or never was).
  static std::optional<ProcessWatch> Open(pid_t pid);

  int fd() const { return fd_.get(); }
  // Waits up to `timeout`; true once the process has ended.
  bool Ended(std::chrono::milliseconds timeout) const;

 private:
  explicit ProcessWatch(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace platform
