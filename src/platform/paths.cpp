#include "platform/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : fallback;
}

std::string StripTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

std::string ProgramFolder() {
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return ".";
  std::string exe(buf.data(), static_cast<size_t>(n));
  auto slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string HomeFolder() {
  const char* h = std::getenv("HOME");
  if (h && *h) return StripTrailingSlash(h);
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

std::string ConfigHome() {
  return StripTrailingSlash(EnvOr("XDG_CONFIG_HOME", HomeFolder() + "/.config"));
}

std::string DataHome() {
  return StripTrailingSlash(EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share"));
}

std::string RuntimeFolder() {
  std::string dir = EnvOr("XDG_RUNTIME_DIR", "");
  if (!dir.empty() && IsFolder(dir) && access(dir.c_str(), W_OK | X_OK) == 0)
    return StripTrailingSlash(dir);
  return "/tmp";
}

bool MakeFolder(const std::string& path) {
  if (path.empty()) return false;
  return mkdir(path.c_str(), 0755) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsWritableFolder(const std::string& path) {
  // access() says yes to root on a read-only mount; a real probe file does not lie.
  std::string probe = path + "/.murmurant-write-probe-" + std::to_string(getpid());
  int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace platform
