#include "progress_line.h"

#include <algorithm>

namespace convert {

namespace {
// Fits an 80-column terminal with the percentage beside it.
constexpr int kBarWidth = 50;
}  // namespace

std::string ProgressLine::Bar(int percent) {
  percent = std::clamp(percent, 0, 100);
  const int filled = percent * kBarWidth / 100;
  char number[8];
  std::snprintf(number, sizeof number, "%3d%%", percent);
  return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] " + number;
}

void ProgressLine::Update(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (terminal_) {
    if (percent == shown_) return;
    std::fprintf(out_, "\r%s", Bar(percent).c_str());
  } else {
    if (shown_ >= 0 && percent / 10 <= shown_ / 10) return;
    std::fprintf(out_, "%d%%\n", percent / 10 * 10);
  }
  shown_ = percent;
  std::fflush(out_);
}

void ProgressLine::Finish() {
  if (terminal_ && shown_ >= 0) std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace convert
