#include "app/main_layout.h"

#include <algorithm>
#include <cmath>

namespace layout {

const std::vector<SkinnedButton>& Buttons() {
  static const std::vector<SkinnedButton> buttons = {
      {1052, "record fixed", "record_fixed", {10, 32, 54, 47}, true},
      {1053, "record custom", "record_custom", {70, 32, 54, 47}, true},
      {1049, "Stop", "record_stop", {130, 32, 54, 47}, true},
      {1033, "more", "home", {390, 32, 54, 47}, true},
      {1006, "mini", "mini", {458, 4, 20, 20}, true},
      {1007, "close", "close", {480, 4, 20, 20}, true},
      {1013, "open", "open_folder", {300, 530, 92, 20}, true},
      {1012, "browse", "change_folder", {400, 530, 92, 20}, true},
      // Shown, but right of the window's shape, so it can never be seen.
      {1005, "help", "help", {704, 7, 22, 15}, true},
      {1048, "Record", "converter", {190, 32, 54, 47}, false},
      {1000, "add", "record", {11, 62, 76, 66}, false},
      {1045, "Setting", "record_stop", {98, 62, 76, 66}, false},
      {1043, "Crop", "crop", {216, 62, 76, 66}, false},
      {1044, "Effect", "effect", {308, 62, 76, 66}, false},
      {1042, "Trim", "trim", {400, 62, 76, 66}, false},
      {1001, "delete", "remove", {24, 408, 97, 30}, false},
      {1047, "clear", "clear_all", {125, 408, 97, 30}, false},
      {1003, "stop", "stop", {226, 408, 97, 30}, false},
      {1002, "convert", "convert", {388, 405, 120, 40}, false},
      {1019, "start", "pre_start", {580, 283, 32, 32}, false},
      {1020, "back", "pre_backward", {614, 283, 32, 32}, false},
      {1021, "play", "pre_play", {648, 283, 32, 32}, false},
      {1022, "stop", "pre_stop", {682, 283, 32, 32}, false},
      {1023, "forward", "pre_forward", {580, 374, 32, 32}, false},
      {1024, "end", "pre_end", {648, 374, 32, 32}, false},
      {1046, "pause", "pre_pause", {717, 374, 32, 32}, false},
      {1039, "Snapshot", "pre_snap", {709, 407, 32, 32}, false},
      {1040, "Open snap", "pre_open", {742, 407, 32, 32}, false},
  };
  return buttons;
}

namespace {
constexpr int kShapeBottom = 621;  // exclusive
constexpr double kCornerDiameter = 11.0;
constexpr int kSquareFrom = 100;   // rows from here down are the plain rectangle
}  // namespace

std::vector<Span> WindowShapeSpans(int width) {
  const int right = width + 1;  // exclusive, as the region's right edge
  std::vector<Span> spans;
  const double r = kCornerDiameter / 2.0;
  for (int y = 0; y < kShapeBottom; ++y) {
    int inset = 0;
    if (y < kSquareFrom && y < r) {
      // Distance of the row's centre from the corner circle's centre line.
      double dy = r - (y + 0.5);
      double dx = std::sqrt(std::max(0.0, r * r - dy * dy));
      inset = static_cast<int>(std::lround(r - dx));
    }
    spans.push_back({y, inset, right - inset});
  }
  return spans;
}

bool InsideShape(int x, int y) {
  if (y < 0 || y >= kShapeBottom) return false;
  const Span s = WindowShapeSpans()[static_cast<size_t>(y)];
  return x >= s.x0 && x < s.x1;
}

}  // namespace layout
