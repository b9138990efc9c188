#include "call_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace call {
namespace {

using platform::Rgb;

constexpr Rgb kWhite{255, 255, 255};
// Dark surroundings keep the face and a flash far apart in brightness.
constexpr Rgb kCallBackground{34, 42, 58};
constexpr Rgb kBar{20, 26, 38};
constexpr Rgb kSkin{222, 176, 136};
constexpr Rgb kHair{70, 48, 34};
constexpr Rgb kEyeWhite{245, 245, 240};
constexpr Rgb kPupil{40, 60, 90};
constexpr Rgb kMouth{120, 30, 40};
constexpr Rgb kLive{220, 60, 60};
constexpr Rgb kText{230, 235, 245};
constexpr Rgb kIdleBackground{214, 226, 238};
constexpr Rgb kIdleText{40, 60, 90};
constexpr Rgb kIdleAvatar{150, 176, 204};

std::string Clock(std::int64_t ms) {
  const std::int64_t s = std::max<std::int64_t>(0, ms / 1000);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(s / 60),
                static_cast<long long>(s % 60));
  return text;
}

void Face(platform::WindowPainter& p, int cx, int cy, int h, const CallPicture& picture) {
  const int w = h * 3 / 4;
  p.FillEllipse(cx - w / 2 - h / 40, cy - h / 2 - h / 30, w + h / 20, h * 2 / 3, kHair);
  p.FillEllipse(cx - w / 2, cy - h / 2, w, h, kSkin);
  // The eyes follow a slow glance from side to side.
  const int eyeW = w / 5, eyeH = h / 9, eyeY = cy - h / 8;
  const int glance = static_cast<int>(std::lround(std::sin(picture.callMs / 900.0) * eyeW / 5));
  for (int side : {-1, 1}) {
    const int ex = cx + side * w / 5 - eyeW / 2;
    p.FillEllipse(ex, eyeY - eyeH / 2, eyeW, eyeH, kEyeWhite);
    p.FillEllipse(ex + eyeW / 2 - eyeH / 3 + glance, eyeY - eyeH / 3, eyeH * 2 / 3, eyeH * 2 / 3,
                  kPupil);
  }
  const int mouthW = w * 2 / 5;
  const int mouthH = std::max(3, static_cast<int>(h / 40 + picture.mouthOpen * h / 7));
  p.FillEllipse(cx - mouthW / 2, cy + h / 4 - mouthH / 2, mouthW, mouthH, kMouth);
}

}  // namespace

void DrawCall(platform::WindowPainter& p, const CallPicture& picture) {
  const int w = p.width(), h = p.height();
  if (picture.flash) {
    p.FillRect(0, 0, w, h, kWhite);
    return;
  }
  p.FillRect(0, 0, w, h, kCallBackground);
  const int bar = std::max(24, h / 10);
  const int textSize = bar * 3 / 5;
  const int baseline = bar / 2 + textSize / 3;
  p.FillRect(0, 0, w, bar, kBar);
  p.FillEllipse(bar / 3, bar / 2 - bar / 8, bar / 4, bar / 4, kLive);
  p.Text(bar * 3 / 4, baseline, textSize, picture.contact, kText);
  const std::string clock = Clock(picture.callMs);
  p.Text(w - p.TextWidth(textSize, clock) - bar / 3, baseline, textSize, clock, kText);
  Face(p, w / 2, bar + (h - bar) / 2, (h - bar) * 4 / 5, picture);
}

void DrawIdle(platform::WindowPainter& p, const std::string& contact) {
  const int w = p.width(), h = p.height();
  p.FillRect(0, 0, w, h, kIdleBackground);
  const int size = std::max(12, h / 16);
  const int avatar = h / 4;
  p.FillEllipse(w / 2 - avatar / 2, h / 4, avatar, avatar, kIdleAvatar);
  const std::string line1 = "No call in progress";
  const std::string line2 = "Contact: " + contact;
  p.Text((w - p.TextWidth(size, line1)) / 2, h / 4 + avatar + 2 * size, size, line1, kIdleText);
  p.Text((w - p.TextWidth(size, line2)) / 2, h / 4 + avatar + 4 * size, size, line2, kIdleText);
}

}  // namespace call
