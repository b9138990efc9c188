#include "base/log.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

namespace base {
namespace {

std::string EnvOr(const char* name, std::string fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : fallback;
}

std::string HomeFolder() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

const char* LevelName(Level level) {
  switch (level) {
    case Level::kDebug: return "debug";
    case Level::kInfo: return "info";
    case Level::kWarning: return "warning";
    case Level::kError: return "error";
  }
  return "?";
}

// Writes all of `line` with as few calls as the kernel allows, so lines of
// several threads or processes do not interleave mid-line.
bool WriteAll(int fd, std::string_view line) {
  while (!line.empty()) {
    const ssize_t n = ::write(fd, line.data(), line.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    line.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Set once at start-up, before any thread logs.
std::string& ProgramName() {
  static std::string* name = new std::string("murmurant");
  return *name;
}

std::string FileLine(Level level, std::string_view where, std::string_view what) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char stamp[64];
  const size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(stamp + n, sizeof stamp - n, ".%03ld", now.tv_nsec / 1000000);
  std::string line;
  line.reserve(what.size() + where.size() + 80);
  line.append(stamp).append(" ").append(ProgramName());
  line.append("[").append(std::to_string(getpid())).append("] ");
  line.append(LevelName(level)).append(" ").append(where).append(": ").append(what);
  if (line.back() != '\n') line.push_back('\n');
  return line;
}

// The open log file. One per process; every member is guarded by mutex_.
class LogFile {
 public:
  static LogFile& Instance() {
    static LogFile* file = new LogFile;  // never destroyed: logging may outlive statics
    return *file;
  }

  void Write(std::string_view stderrLine, std::string_view fileLine) {
    std::lock_guard lock(mutex_);
    if (!stderrLine.empty()) WriteAll(STDERR_FILENO, stderrLine);
    if (!EnsureOpen()) return;
    RotateIfFull();
    if (fd_ >= 0 && !WriteAll(fd_, fileLine)) Fail("could not be written");
  }

  void SetPath(std::string path) {
    std::lock_guard lock(mutex_);
    CloseLocked();
    path_ = path.empty() ? DefaultLogFilePath() : std::move(path);
    reported_ = false;
  }

  std::string Path() {
    std::lock_guard lock(mutex_);
    return path_;
  }

 private:
  LogFile() : path_(DefaultLogFilePath()) {}

  bool EnsureOpen() {
    if (fd_ >= 0) return true;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) Fail("could not be opened");
    return fd_ >= 0;
  }

  // Another program of ours may have rotated the file under us: then our
  // descriptor names "<file>.1" and we follow the name to the new file.
  void RotateIfFull() {
    struct stat byName{}, ours{};
    if (::fstat(fd_, &ours) != 0) return;
    const bool moved = ::stat(path_.c_str(), &byName) != 0 || byName.st_ino != ours.st_ino ||
                       byName.st_dev != ours.st_dev;
    if (!moved && static_cast<std::uintmax_t>(ours.st_size) < kLogFileLimit) return;
    if (!moved) ::rename(path_.c_str(), (path_ + ".1").c_str());
    CloseLocked();
    EnsureOpen();
  }

  // Said once per file on standard error, which still has every line.
  void Fail(const char* what) {
    if (!reported_) {
      const std::string line = ProgramName() + ": the log file " +
                               path_ + " " + what + ": " + std::strerror(errno) + "\n";
      WriteAll(STDERR_FILENO, line);
    }
    reported_ = true;
    CloseLocked();
  }

  void CloseLocked() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  std::mutex mutex_;
  std::string path_;       // guarded by mutex_
  int fd_ = -1;            // guarded by mutex_
  bool reported_ = false;  // guarded by mutex_: a failing file is reported once
};

void Emit(Level level, std::string_view where, std::string_view what, bool toStderr) {
  std::string stderrLine;
  if (toStderr) {
    stderrLine.append(ProgramName()).append(": ").append(what);
    if (stderrLine.back() != '\n') stderrLine.push_back('\n');
  }
  LogFile::Instance().Write(stderrLine, FileLine(level, where, what));
}

}  // namespace

void Log(Level level, std::string_view where, std::string_view what) {
  Emit(level, where, what, true);
}

void LogToFileOnly(Level level, std::string_view where, std::string_view what) {
  Emit(level, where, what, false);
}

void Logf(Level level, std::string_view where, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::vector<char> text(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  Log(level, where, text.data());
}

void SetProgramName(std::string name) { ProgramName() = std::move(name); }

std::string DefaultLogFilePath() {
  if (const char* file = std::getenv("MURMURANT_LOG_FILE"); file && *file) return file;
  return EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share") + "/Plovander/cache/murmurant.log";
}

void SetLogFile(std::string path) { LogFile::Instance().SetPath(std::move(path)); }

std::string LogFilePath() { return LogFile::Instance().Path(); }

LogBudget::LogBudget(std::string where, int linesPerWindow, Clock::duration window, bool fileOnly)
    : where_(std::move(where)),
      linesPerWindow_(linesPerWindow),
      window_(window),
      fileOnly_(fileOnly) {}

LogBudget::~LogBudget() { Flush(); }

void LogBudget::Log(Level level, std::string_view what) {
  std::lock_guard lock(mutex_);
  const Clock::time_point now = Clock::now();
  if (now - windowStart_ >= window_) {
    FlushLocked();
    windowStart_ = now;
    linesInWindow_ = 0;
  }
  if (linesInWindow_ < linesPerWindow_) {
    ++linesInWindow_;
    Emit(level, what);
    return;
  }
  ++suppressed_;
  if (level > suppressedLevel_) suppressedLevel_ = level;
}

void LogBudget::Flush() {
  std::lock_guard lock(mutex_);
  FlushLocked();
}

void LogBudget::FlushLocked() {
  if (suppressed_ == 0) return;
  Emit(suppressedLevel_, "... and " + std::to_string(suppressed_) + " more like it");
  suppressed_ = 0;
  suppressedLevel_ = Level::kDebug;
}

void LogBudget::Emit(Level level, std::string_view what) {
  if (fileOnly_)
    LogToFileOnly(level, where_, what);
  else
    base::Log(level, where_, what);
}

}  // namespace base
