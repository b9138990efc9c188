#pragma once
// Draws simple shapes and text into an existing top-level window of this or
// another program. A picture is built off screen and replaces the window's
// contents in one step at Present(), so a screen grab never catches it half
// drawn. One painter is used by one thread; it has a display connection of
// its own, so it may run beside the thread that owns the window's messages.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/x11_messaging.h"

namespace platform {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

class WindowPainter {
 public:
  // Null when there is no display or the window does not exist. The
  // painter's picture has the window's size at this moment.
  static std::unique_ptr<WindowPainter> Create(WindowId window);
  virtual ~WindowPainter() = default;

  virtual int width() const = 0;
  virtual int height() const = 0;

  virtual void FillRect(int x, int y, int w, int h, Rgb colour) = 0;
  // The ellipse inside the rectangle.
  virtual void FillEllipse(int x, int y, int w, int h, Rgb colour) = 0;
  // `size` is the text's height in pixels, as near as the fonts allow;
  // (x, y) is the left end of its baseline.
  virtual void Text(int x, int y, int size, const std::string& text, Rgb colour) = 0;
  // Width in pixels of `text` at `size`, for centring.
  virtual int TextWidth(int size, const std::string& text) = 0;

  // Shows the picture drawn so far and returns once the display server has
  // taken it. False once the window has gone.
  virtual bool Present() = 0;

 protected:
  WindowPainter() = default;
  WindowPainter(const WindowPainter&) = delete;
  WindowPainter& operator=(const WindowPainter&) = delete;
};

}  // namespace platform
