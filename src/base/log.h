#pragma once
// The one log of every Murmurant program. A line goes to standard error, as
// it always did, and is appended to a file in the per-user cache folder so a
// failure the user never saw on a terminal can still be read afterwards.
// Safe to call from any thread, including from inside Xlib's error handler
// (it never calls back into a toolkit).
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace base {

enum class Level { kDebug, kInfo, kWarning, kError };

// Writes "<program>: <what>" to standard error and a stamped line naming the
// level and `where` (the subsystem or function that speaks) to the log file.
void Log(Level level, std::string_view where, std::string_view what);

// As Log, but the file only: for chatter that is useful afterwards and noise on
// a terminal (the codec library's own warnings).
void LogToFileOnly(Level level, std::string_view where, std::string_view what);

// printf-style wrapper over Log.
void Logf(Level level, std::string_view where, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The name lines start with: "murmurant" unless a companion program names
// itself before its first line.
void SetProgramName(std::string name);

// The file lines go to: $MURMURANT_LOG_FILE when set, else
// <data home>/Plovander/cache/murmurant.log (the per-user cache folder).
std::string DefaultLogFilePath();
// Points the log at another file from the next line on; empty goes back to the
// default. Tests use this to keep out of the user's cache.
void SetLogFile(std::string path);
std::string LogFilePath();

// Past this size the file is moved to "<file>.1" (replacing an older one) and
// a new file is started: two files of at most this size are kept.
inline constexpr std::uintmax_t kLogFileLimit = 1024 * 1024;

// Lets a burst of like failures through up to a budget per time window and
// counts the rest; the count is logged as "... and N more" once the window is
// over (on the next line, or on Flush). Thread-safe.
class LogBudget {
 public:
  using Clock = std::chrono::steady_clock;
  LogBudget(std::string where, int linesPerWindow, Clock::duration window, bool fileOnly = false);
  ~LogBudget();  // flushes
  LogBudget(const LogBudget&) = delete;
  LogBudget& operator=(const LogBudget&) = delete;

  void Log(Level level, std::string_view what);
  // Logs the pending "... and N more" now, if any.
  void Flush();

 private:
  void Emit(Level level, std::string_view what);
  void FlushLocked();

  const std::string where_;
  const int linesPerWindow_;
  const Clock::duration window_;
  const bool fileOnly_;
  std::mutex mutex_;
  Clock::time_point windowStart_{};  // guarded by mutex_
  int linesInWindow_ = 0;            // guarded by mutex_
  long suppressed_ = 0;              // guarded by mutex_
  Level suppressedLevel_ = Level::kDebug;  // guarded by mutex_
};

}  // namespace base
