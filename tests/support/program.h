#pragma once
// Starts one of the built programs as a real child process with its own HOME
// and runtime folder, and ends it when the test is done with it.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

class ChildProgram {
 public:
  ChildProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& logFile = "/dev/null") {
    platform::SpawnOptions options;
    options.extraEnv = env;
    options.outputFile = logFile;
    if (auto pid = platform::Spawn(argv, options)) pid_ = *pid;
  }
  ~ChildProgram() { Stop(); }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // The exit status once it has ended within `ms`, else empty.
  std::optional<int> WaitExit(int ms) {
    if (pid_ <= 0) return -1;
    auto status = platform::WaitChild(pid_, std::chrono::milliseconds(ms));
    if (status) pid_ = 0;
    return status;
  }
  bool running() {
    if (pid_ <= 0) return false;
    return !WaitExit(0).has_value();
  }
  void Stop() {
    if (pid_ > 0) platform::EndChild(pid_, std::chrono::milliseconds(6000));
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
};
