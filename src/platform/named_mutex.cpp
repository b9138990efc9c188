#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/paths.h"

namespace platform {
namespace {

std::string SafeFileName(const std::string& name) {
  std::string out;
  for (char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || c == '.';
    out += plain ? c : '_';
  }
  return out;
}

}  // namespace

std::string NamedMutex::PathFor(const std::string& name) {
  return RuntimeFolder() + "/" + SafeFileName(name) + ".lock";
}

std::optional<NamedMutex> NamedMutex::Acquire(const std::string& name) {
  int fd = ::open(PathFor(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return std::nullopt;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return NamedMutex(fd);
}

bool NamedMutex::IsHeld(const std::string& name) {
  int fd = ::open(PathFor(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;  // never created: nobody holds it
  bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

NamedMutex::NamedMutex(NamedMutex&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

NamedMutex::~NamedMutex() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform
