#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace platform {
namespace {

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    std::string entry(*e);
    std::string key = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& x : extra)
      if (x.substr(0, x.find('=')) == key) replaced = true;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> CPointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

std::optional<pid_t> Spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
  if (argv.empty()) return std::nullopt;
  std::vector<std::string> args = argv;
  std::vector<std::string> env = MergedEnvironment(options.extraEnv);
  auto argp = CPointers(args);
  auto envp = CPointers(env);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!options.outputFile.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, options.outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  // The child gets default signal handling whatever the parent blocked.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);

  pid_t pid = 0;
  int rc = options.searchPath
               ? posix_spawnp(&pid, args[0].c_str(), &actions, &attr, argp.data(), envp.data())
               : posix_spawn(&pid, args[0].c_str(), &actions, &attr, argp.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return std::nullopt;
  return pid;
}

std::optional<int> WaitChild(pid_t pid, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0) return -1;  // not our child, or already reaped
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void EndChild(pid_t pid, std::chrono::milliseconds grace) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (!WaitChild(pid, grace)) {
    kill(pid, SIGKILL);
    WaitChild(pid, std::chrono::milliseconds(2000));
  }
}

std::optional<ProcessWatch> ProcessWatch::Open(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  UniqueFd fd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  if (!fd) return std::nullopt;
  return ProcessWatch(std::move(fd));
}

bool ProcessWatch::Ended(std::chrono::milliseconds timeout) const {
  pollfd p{fd_.get(), POLLIN, 0};
  return poll(&p, 1, static_cast<int>(timeout.count())) == 1;
}

}  // namespace platform
