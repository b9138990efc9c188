#include "base/codec_log.h"

#include <cstdarg>
#include <mutex>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "base/log.h"

namespace base {
namespace {

// An encoder warning on every picture of a recording would be tens of lines a
// second; this keeps a minute of it to a screenful and counts the rest.
constexpr int kLinesPerWindow = 20;
constexpr auto kWindow = std::chrono::minutes(1);

LogBudget& Budget() {
  static LogBudget* budget = new LogBudget("codec", kLinesPerWindow, kWindow, true);
  return *budget;
}

Level LevelOf(int avLevel) {
  if (avLevel <= AV_LOG_ERROR) return Level::kError;
  return Level::kWarning;
}

// The library hands a line over in pieces (a context prefix, then the text,
// the newline last); each thread gathers its own line until it is whole.
void OnMessage(void* context, int avLevel, const char* format, va_list args) {
  if (avLevel > AV_LOG_WARNING) return;
  thread_local int printPrefix = 1;
  thread_local std::string pending;
  char piece[1024];
  av_log_format_line2(context, avLevel, format, args, piece, sizeof piece, &printPrefix);
  pending += piece;
  if (pending.empty() || pending.back() != '\n') return;
  pending.pop_back();
  if (!pending.empty()) Budget().Log(LevelOf(avLevel), pending);
  pending.clear();
}

}  // namespace

void RouteCodecMessagesToLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(OnMessage); });
}

}  // namespace base
