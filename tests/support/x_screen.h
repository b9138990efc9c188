#pragma once
// Looks at the real X screen from a test: pixels of the root window, windows by
// title, and real pointer input through XTest.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace xtest {

struct Pixel {
  uint8_t r, g, b;
  bool operator==(const Pixel&) const = default;
};

struct Image {
  int width = 0, height = 0;
  std::vector<Pixel> pixels;  // top-down rows
  Pixel at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Pixels of the screen rectangle, as the X server has them now.
Image GrabScreen(int x, int y, int width, int height);

struct WindowInfo {
  unsigned long id = 0;
  int x = 0, y = 0, width = 0, height = 0;
  bool viewable = false;
};

// Every top-level window whose title is exactly `title`, with its position on
// the screen. Under a window manager the program's windows sit inside the
// manager's frames, and are found there.
std::vector<WindowInfo> FindWindowsByTitle(const std::string& title);

// Waits up to `ms` for exactly one viewable window with that title.
std::optional<WindowInfo> WaitForWindow(const std::string& title, int ms);

// What the window manager reports and the requests a pager or task bar sends
// it. All false or empty when no window manager runs.
// The managed windows, bottom to top (_NET_CLIENT_LIST_STACKING).
std::vector<unsigned long> StackingOrder();
// The window with the keyboard focus as the manager sees it (_NET_ACTIVE_WINDOW).
unsigned long ActiveWindow();
// Minimised: the manager has put it in the iconic state (WM_STATE).
bool Iconic(unsigned long window);
// Asks the manager to close the window, as a task bar's close item does.
void RequestClose(unsigned long window);
// Asks the manager to minimise the window, as its title bar's button does.
void RequestMinimise(unsigned long window);
// Asks the manager to bring the window up and focus it, as a task bar does.
void RequestActivate(unsigned long window);

// Real input through the XTest extension.
void MovePointer(int x, int y);
void PressButton(int button, bool down);
void Key(const std::string& keysym);
// True when another client holds the keyboard grab (an open menu does):
// keys sent from then on reach it.
bool KeyboardGrabbed();
// Holds a key down or lets it go (modifiers around a click).
void KeyDown(const std::string& keysym, bool down);

// A 24-bit uncompressed BMP file (bottom-up or top-down), as written by the skin tool.
std::optional<Image> ReadBmp(const std::string& path);

// Number of pixels that differ by more than `tolerance` in any channel.
int CountDifferences(const Image& screen, int sx, int sy, const Image& reference, int rx, int ry,
                     int width, int height, int tolerance = 0);

}  // namespace xtest
