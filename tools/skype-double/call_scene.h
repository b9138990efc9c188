#pragma once
// What the double's main window shows: in a call, the far side's face with
// a moving mouth, the contact's name and the call's running time, or the
// whole window white while a flash lasts; outside a call, a calm page.
#include <cstdint>
#include <string>

#include "platform/window_painter.h"

namespace call {

struct CallPicture {
  std::int64_t callMs = 0;  // time into the call, on the sound's clock
  bool flash = false;
  double mouthOpen = 0;  // 0 closed .. 1 wide open
  std::string contact;
};

void DrawCall(platform::WindowPainter& painter, const CallPicture& picture);
void DrawIdle(platform::WindowPainter& painter, const std::string& contact);

}  // namespace call
