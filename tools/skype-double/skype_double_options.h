#pragma once
// The double's command line.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

struct DoubleOptions {
  std::string logFile;
  std::string scriptFile;
  int64_t status = 0;                     // answer to the discovery
  std::optional<int64_t> laterStatus;     // sent once, laterDelay after it
  std::chrono::milliseconds laterDelay{0};
  std::string mainClass = "tSkMainForm.UnicodeClass";
  int x = 100, y = 100, width = 640, height = 480;
  bool hidden = false;
  bool reject = false;  // answer commands with 0 (not accepted)
  std::string friends = "alice, bob";
  bool inCall = false;            // in a call from the start
  std::string contact = "alice";  // the far side's name shown in the call
  // Commands beginning with "MESSAGE" are answered only this long after
  // they arrive (0: at once), as a client busy elsewhere would.
  std::chrono::milliseconds slowAnswer{0};
};

// A count of milliseconds, whole and not negative.
inline std::optional<std::chrono::milliseconds> ParseMs(const char* text) {
  if (!text || !*text) return std::nullopt;
  char* end = nullptr;
  const long long ms = std::strtoll(text, &end, 10);
  if (*end || ms < 0) return std::nullopt;
  return std::chrono::milliseconds(ms);
}

inline std::optional<DoubleOptions> ParseDoubleOptions(int argc, char** argv) {
  DoubleOptions o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--log") {
      const char* v = value();
      if (!v) return std::nullopt;
      o.logFile = v;
    } else if (a == "--script") {
      const char* v = value();
      if (!v) return std::nullopt;
      o.scriptFile = v;
    } else if (a == "--status") {
      // "S" or "S,S2@MS": status S at discovery, then S2 after MS ms.
      const char* v = value();
      if (!v) return std::nullopt;
      char* end = nullptr;
      o.status = std::strtoll(v, &end, 0);
      if (*end == ',') {
        o.laterStatus = std::strtoll(end + 1, &end, 0);
        if (*end != '@') return std::nullopt;
        o.laterDelay = std::chrono::milliseconds(std::strtol(end + 1, &end, 10));
      }
      if (*end) return std::nullopt;
    } else if (a == "--geometry") {
      const char* v = value();
      if (!v || std::sscanf(v, "%dx%d+%d+%d", &o.width, &o.height, &o.x, &o.y) != 4)
        return std::nullopt;
    } else if (a == "--class") {
      const char* v = value();
      if (!v) return std::nullopt;
      o.mainClass = v;
    } else if (a == "--hidden") {
      o.hidden = true;
    } else if (a == "--reject") {
      o.reject = true;
    } else if (a == "--in-call") {
      o.inCall = true;
    } else if (a == "--contact") {
      const char* v = value();
      if (!v || !*v) return std::nullopt;
      o.contact = v;
    } else if (a == "--slow-answer") {
      auto ms = ParseMs(value());
      if (!ms) return std::nullopt;
      o.slowAnswer = *ms;
    } else {
      return std::nullopt;
    }
  }
  if (o.logFile.empty()) return std::nullopt;
  return o;
}
