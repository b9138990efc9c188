#include "platform/x11_window_control.h"

#include "platform/x11_internal.h"

namespace platform {

// The window belongs to another program and may vanish between any two
// requests: each function checks its requests as one, and a window gone
// half-way counts as gone.

bool BringWindowToFront(WindowId window) {
  if (window == 0) return false;
  x11::SharedDisplay shared;
  if (!shared) return false;
  Display* d = shared.get();
  x11::ErrorTrap trap(d);
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, window, &a) || trap.Failed()) return false;
  XMapRaised(d, window);
  // With a window manager, activation goes through it.
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = 2;  // from a pager-like tool: honoured without a timestamp
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &e);
  return !trap.Failed();
}

std::optional<WindowRect> WindowScreenRect(WindowId window) {
  if (window == 0) return std::nullopt;
  x11::SharedDisplay shared;
  if (!shared) return std::nullopt;
  Display* d = shared.get();
  x11::ErrorTrap trap(d);
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, window, &a) || trap.Failed()) return std::nullopt;
  int x = 0, y = 0;
  Window child;
  if (!XTranslateCoordinates(d, window, a.root, 0, 0, &x, &y, &child) || trap.Failed())
    return std::nullopt;
  return WindowRect{x, y, x + a.width - 1, y + a.height - 1};
}

std::optional<std::pair<int, int>> ScreenSize() {
  x11::SharedDisplay shared;
  if (!shared) return std::nullopt;
  Screen* s = DefaultScreenOfDisplay(shared.get());
  return std::make_pair(WidthOfScreen(s), HeightOfScreen(s));
}

}  // namespace platform
