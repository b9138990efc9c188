#pragma once
// The converter's progress on its standard output: on a terminal one line
// redrawn in place; into a file or pipe a line at every tenth, so a log
// stays short and still shows the run advancing.
#include <cstdio>
#include <string>

namespace convert {

class ProgressLine {
 public:
  ProgressLine(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
  // Any percent 0 ... 100, in any order; only a change is written.
  void Update(int percent);
  // Ends the redrawn line so the next output starts on a line of its own.
  void Finish();

  // The bar as drawn on a terminal, without the carriage return.
  static std::string Bar(int percent);

 private:
  std::FILE* out_;
  bool terminal_;
  int shown_ = -1;
};

}  // namespace convert
