#pragma once
// Acting on another program's top-level window: bring it to the front and read
// where it is on the screen.
#include <optional>

#include "platform/x11_messaging.h"

namespace platform {

struct WindowRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // inclusive corners, screen coordinates
};

// Maps, raises and asks the window manager to activate the window. False
// when the window does not exist.
bool BringWindowToFront(WindowId window);

// The window's outer rectangle on the screen, or empty when it is gone.
std::optional<WindowRect> WindowScreenRect(WindowId window);

// The screen size in pixels, or empty without a display.
std::optional<std::pair<int, int>> ScreenSize();

}  // namespace platform
