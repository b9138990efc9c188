#pragma once
// A message_peer child process for one test, ended when the test ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/process.h"
#include "platform/x11_messaging.h"
#include "support/temp_dir.h"

class PeerProcess {
 public:
  explicit PeerProcess(const std::string& className, bool visible = false) {
    log_ = dir_ / "peer.log";
    std::vector<std::string> argv = {MESSAGE_PEER_PATH, className, log_};
    if (visible) argv.push_back("visible");
    pid_ = platform::Spawn(argv);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      std::istringstream in(ReadFile(log_));
      std::string word;
      if (in >> word && word == "ready" && in >> window_ >> registered_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "message peer did not start";
  }
  ~PeerProcess() { Kill(); }

  void Kill() {
    if (pid_) platform::EndChild(*pid_, std::chrono::milliseconds(500));
    pid_.reset();
  }

  platform::WindowId window() const { return window_; }
  platform::MessageId registered() const { return registered_; }
  pid_t pid() const { return pid_ ? *pid_ : 0; }
  std::string Log() const { return ReadFile(log_); }

  // Waits until the peer's log holds `text`.
  bool WaitForLog(const std::string& text, std::chrono::milliseconds bound = std::chrono::seconds(5)) const {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
      if (Log().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

 private:
  TempDir dir_;
  std::string log_;
  std::optional<pid_t> pid_;
  platform::WindowId window_ = 0;
  platform::MessageId registered_ = 0;
};
