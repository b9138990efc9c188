#pragma once
// Sends the process's log to a file of the test's own for as long as it
// lives, and counts lines in it.
#include <string>

#include "base/log.h"
#include "support/temp_dir.h"

class LogToTempFile {
 public:
  LogToTempFile() { base::SetLogFile(path()); }
  ~LogToTempFile() { base::SetLogFile(""); }
  LogToTempFile(const LogToTempFile&) = delete;
  LogToTempFile& operator=(const LogToTempFile&) = delete;

  std::string path() const { return dir_ / "murmurant.log"; }
  std::string Text() const { return ReadFile(path()); }
  // Lines holding `part`.
  int Count(const std::string& part) const {
    const std::string text = Text();
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

 private:
  TempDir dir_;
};
