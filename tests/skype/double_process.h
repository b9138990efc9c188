#pragma once
// The call-client double as a child process for one test; ended with the test.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "support/temp_dir.h"

class DoubleProcess {
 public:
  // `executableName` other than "Skype.exe" runs a copy of the double under
  // that name.
  explicit DoubleProcess(std::vector<std::string> args = {},
                         const std::string& executableName = "Skype.exe") {
    std::string exe = SKYPE_DOUBLE_PATH;
    if (executableName != "Skype.exe") {
      exe = dir_ / executableName;
      std::filesystem::copy_file(SKYPE_DOUBLE_PATH, exe);
    }
    log_ = dir_ / "double.log";
    script_ = dir_ / "script";
    WriteFile(script_, "");
    std::vector<std::string> argv = {exe, "--log", log_, "--script", script_};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = platform::Spawn(argv, {{}, dir_ / "double.out", false});
    if (!WaitFor("ready ")) {
      ADD_FAILURE() << "double did not start: " << ReadFile(dir_ / "double.out");
      return;
    }
    std::istringstream in(Log().substr(Log().find("ready ") + 6));
    in >> apiWindow_ >> mainWindow_;
  }
  ~DoubleProcess() {
    if (pid_) platform::EndChild(*pid_, std::chrono::milliseconds(500));
  }

  std::string Log() const { return ReadFile(log_); }

  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(Log());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // The commands received, in order.
  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const auto& l : LogLines())
      if (l.rfind("command ", 0) == 0) out.push_back(l.substr(8));
    return out;
  }

  bool WaitFor(const std::string& text, std::chrono::milliseconds bound = std::chrono::seconds(10)) const {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
      if (Log().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  void Script(const std::string& line) { std::ofstream(script_, std::ios::app) << line << "\n"; }

  unsigned long apiWindow() const { return apiWindow_; }
  unsigned long mainWindow() const { return mainWindow_; }
  pid_t pid() const { return pid_ ? *pid_ : 0; }

 private:
  TempDir dir_;
  std::string log_, script_;
  std::optional<pid_t> pid_;
  unsigned long apiWindow_ = 0, mainWindow_ = 0;
};
