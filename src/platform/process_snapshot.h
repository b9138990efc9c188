#pragma once
// The running processes and their executable names, read from /proc.
#include <sys/types.h>

#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  pid_t pid = 0;
  // Base name of /proc/PID/exe, else the kernel's command name (comm) when
  // the executable cannot be read (another user's process, a kernel thread).
  std::string exeName;
};

// Oldest process ids first; empty when /proc cannot be read.
std::vector<ProcessEntry> ProcessSnapshot();

// The executable name of one process; empty when it has gone.
std::string ExecutableName(pid_t pid);

}  // namespace platform
