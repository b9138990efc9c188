#include "platform/process_snapshot.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>

namespace platform {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

bool IsNumber(const char* s) {
  if (!*s) return false;
  for (; *s; ++s)
    if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  return true;
}

}  // namespace

std::string ExecutableName(pid_t pid) {
  const std::string dir = "/proc/" + std::to_string(pid);
  char target[4096];
  ssize_t n = readlink((dir + "/exe").c_str(), target, sizeof target - 1);
  if (n > 0) {
    std::string path(target, static_cast<size_t>(n));
    // A replaced or removed executable still names its process.
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.ends_with(deleted))
      path.resize(path.size() - deleted.size());
    return path.substr(path.find_last_of('/') + 1);
  }
  std::ifstream comm(dir + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

std::vector<ProcessEntry> ProcessSnapshot() {
  std::vector<ProcessEntry> entries;
  std::unique_ptr<DIR, DirCloser> proc(opendir("/proc"));
  if (!proc) return entries;
  while (dirent* e = readdir(proc.get())) {
    if (!IsNumber(e->d_name)) continue;
    pid_t pid = static_cast<pid_t>(std::stol(e->d_name));
    std::string name = ExecutableName(pid);
    if (!name.empty()) entries.push_back({pid, std::move(name)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return entries;
}

}  // namespace platform
