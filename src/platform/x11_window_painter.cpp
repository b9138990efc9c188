#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <map>

#include "platform/window_painter.h"
#include "platform/x11_internal.h"

namespace platform {
namespace {

// Scalable outline fonts first (they come in any size), then whatever the
// server cannot be without.
constexpr const char* kFontPatterns[] = {
    "-*-helvetica-bold-r-normal--%d-*-*-*-p-*-iso8859-1",
    "-*-*-bold-r-normal--%d-*-*-*-p-*-iso8859-1",
    "-*-*-medium-r-normal--%d-*-*-*-*-*-iso8859-1",
};
constexpr const char* kLastResortFont = "fixed";

class X11Painter final : public WindowPainter {
 public:
  X11Painter(x11::DisplayPtr display, Window window, int width, int height, int depth)
      : display_(std::move(display)), window_(window), width_(width), height_(height) {
    Display* d = display_.get();
    pixmap_ = XCreatePixmap(d, window_, static_cast<unsigned>(width_),
                            static_cast<unsigned>(height_), static_cast<unsigned>(depth));
    gc_ = XCreateGC(d, pixmap_, 0, nullptr);
    visual_ = DefaultVisual(d, DefaultScreen(d));
  }

  ~X11Painter() override {
    Display* d = display_.get();
    for (auto& [size, font] : fonts_)
      if (font) XFreeFont(d, font);
    XFreeGC(d, gc_);
    XFreePixmap(d, pixmap_);
  }

  int width() const override { return width_; }
  int height() const override { return height_; }

  void FillRect(int x, int y, int w, int h, Rgb colour) override {
    if (w <= 0 || h <= 0) return;
    XSetForeground(display_.get(), gc_, Pixel(colour));
    XFillRectangle(display_.get(), pixmap_, gc_, x, y, static_cast<unsigned>(w),
                   static_cast<unsigned>(h));
  }

  void FillEllipse(int x, int y, int w, int h, Rgb colour) override {
    if (w <= 0 || h <= 0) return;
    XSetForeground(display_.get(), gc_, Pixel(colour));
    XFillArc(display_.get(), pixmap_, gc_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
             0, 360 * 64);
  }

  void Text(int x, int y, int size, const std::string& text, Rgb colour) override {
    XFontStruct* font = Font(size);
    if (!font || text.empty()) return;
    XSetFont(display_.get(), gc_, font->fid);
    XSetForeground(display_.get(), gc_, Pixel(colour));
    XDrawString(display_.get(), pixmap_, gc_, x, y, text.data(), static_cast<int>(text.size()));
  }

  int TextWidth(int size, const std::string& text) override {
    XFontStruct* font = Font(size);
    return font ? XTextWidth(font, text.data(), static_cast<int>(text.size())) : 0;
  }

  bool Present() override {
    x11::ErrorTrap trap(display_.get());
    XCopyArea(display_.get(), pixmap_, window_, gc_, 0, 0, static_cast<unsigned>(width_),
              static_cast<unsigned>(height_), 0, 0);
    return !trap.Failed();  // syncs: the server has the picture on return
  }

 private:
  unsigned long Pixel(Rgb c) const {
    // The default visual of a 24- or 32-bit screen is true colour; the
    // masks say where each channel goes.
    auto place = [](unsigned long mask, std::uint8_t value) {
      if (!mask) return 0ul;
      int shift = 0;
      while (!((mask >> shift) & 1)) ++shift;
      unsigned long bits = mask >> shift;
      return ((value * bits / 255) << shift) & mask;
    };
    return place(visual_->red_mask, c.r) | place(visual_->green_mask, c.g) |
           place(visual_->blue_mask, c.b);
  }

  XFontStruct* Font(int size) {
    auto it = fonts_.find(size);
    if (it != fonts_.end()) return it->second;
    XFontStruct* font = nullptr;
    for (const char* pattern : kFontPatterns) {
      char name[160];
      std::snprintf(name, sizeof name, pattern, size);
      if ((font = XLoadQueryFont(display_.get(), name))) break;
    }
    if (!font) font = XLoadQueryFont(display_.get(), kLastResortFont);
    fonts_[size] = font;
    return font;
  }

  x11::DisplayPtr display_;
  Window window_;
  int width_, height_;
  Pixmap pixmap_ = 0;
  GC gc_ = nullptr;
  Visual* visual_ = nullptr;
  std::map<int, XFontStruct*> fonts_;  // owned; null where no font loaded
};

}  // namespace

std::unique_ptr<WindowPainter> WindowPainter::Create(WindowId window) {
  x11::DisplayPtr display = x11::OpenDisplay();
  if (!display || window == 0) return nullptr;
  Display* d = display.get();
  XWindowAttributes attrs{};
  {
    x11::ErrorTrap trap(d);
    const bool got = XGetWindowAttributes(d, window, &attrs) != 0;
    // The painter owns every pixel of the window: parts that come back into
    // view keep their last picture instead of being cleared to the window's
    // background, which a screen grab would take for a change of picture.
    XSetWindowBackgroundPixmap(d, window, None);
    if (trap.Failed() || !got) return nullptr;
  }
  if (attrs.width <= 0 || attrs.height <= 0) return nullptr;
  return std::make_unique<X11Painter>(std::move(display), window, attrs.width, attrs.height,
                                      attrs.depth);
}

}  // namespace platform
