#pragma once
// A window of known pixels on the test's X server, drawn through a connection
// of its own, and the pointer put where a test wants it.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace testx {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};

class PatternWindow {
 public:
  // Maps an undecorated window at (x, y) of that size and waits until it is
  // on screen.
  PatternWindow(int x, int y, int width, int height);
  ~PatternWindow();
  PatternWindow(const PatternWindow&) = delete;
  PatternWindow& operator=(const PatternWindow&) = delete;

  bool ok() const;
  // Draws every pixel from `colour(x, y)` (window coordinates) and waits
  // until the server has it.
  void Draw(const std::function<Rgb(int, int)>& colour);
  void Fill(int x, int y, int w, int h, Rgb colour);
  void Sync();
  // Gives the window a cursor from the standard cursor font (X11/cursorfont.h).
  void UseFontCursor(unsigned shape);

  unsigned long id() const;
  int width() const { return width_; }
  int height() const { return height_; }

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
  int width_, height_;
};

// Moves the pointer to (x, y) on the root window.
void WarpPointer(int x, int y);

// The current cursor as the server reports it (premultiplied ARGB).
struct Cursor {
  unsigned long serial = 0;
  int x = 0, y = 0, xhot = 0, yhot = 0, width = 0, height = 0;
  std::vector<uint32_t> argb;
};
Cursor CurrentCursor();

}  // namespace testx
