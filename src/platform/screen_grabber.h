#pragma once
// The screen as the capture thread sees it: rectangles of the root window with
// the pointer drawn in, and the one window the grab repaints (the marker).
// The window system stays behind this interface; its one implementation
// (x11_screen_grabber.cpp) lives with the other X11 layers and shares their
// connections and error checks. The names stay in the capture code's
// namespace, whose frames it fills.
#include <cstdint>
#include <memory>
#include <string>

#include "capture/frame.h"
#include "capture/pixel_pipeline.h"

namespace capture {

struct ScreenSize {
  int width = 0, height = 0;
};

class ScreenGrabber {
 public:
  virtual ~ScreenGrabber() = default;

  // Fills `out` (resized to width x height) with the screen rectangle whose
  // top-left corner is (x, y), with the pointer composited at its position
  // minus its hot spot when the cursor is shown. Parts of the rectangle off the
  // screen come out black. False when the server refused the request.
  // Not thread-safe: one grabber belongs to one thread at a time.
  virtual bool Grab(int x, int y, int width, int height, Frame& out) = 0;

  // The same picture without the copy into a frame: `out` is pointed at the
  // grabber's own BGRX pixels (the shared-memory image itself when the whole
  // rectangle is on the screen), valid until the next grab. What recording
  // uses, converting from it straight to the encoder's format.
  virtual bool Grab(int x, int y, int width, int height, BgrxView& out) = 0;

  virtual ScreenSize screenSize() const = 0;

  // True while grabs go through a shared-memory segment rather than the
  // protocol (the slower fallback when the server cannot share memory).
  virtual bool usesSharedMemory() const = 0;

  // Fills a window of this display (by its server id) with one solid colour,
  // 0xRRGGBB, and makes sure the server has it before returning.
  virtual void PaintWindow(unsigned long window, uint32_t rgb) = 0;
};

struct GrabberOptions {
  std::string display;             // empty: $DISPLAY
  bool showCursor = true;
  bool allowSharedMemory = true;   // false forces the protocol path
};

// A grabber on its own connection to the display, or null when the display
// cannot be opened.
std::unique_ptr<ScreenGrabber> OpenScreenGrabber(const GrabberOptions& options = {});

}  // namespace capture
