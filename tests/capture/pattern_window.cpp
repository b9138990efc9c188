#include "pattern_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace testx {
namespace {

// Xvfb drops some connections opened in quick succession right after others
// closed; a short pause and another try gets through.
Display* OpenDisplay() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (Display* d = XOpenDisplay(nullptr)) return d;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nullptr;
}

// One connection for the pointer and cursor queries of the whole test run.
Display* Shared() {
  static Display* display = OpenDisplay();
  return display;
}

}  // namespace

struct PatternWindow::Impl {
  Display* display = nullptr;
  Window window = 0;
  GC gc = nullptr;
  ~Impl() {
    if (!display) return;
    if (gc) XFreeGC(display, gc);
    if (window) XDestroyWindow(display, window);
    XCloseDisplay(display);
  }
};

PatternWindow::PatternWindow(int x, int y, int width, int height)
    : impl_(std::make_unique<Impl>()), width_(width), height_(height) {
  Display* d = OpenDisplay();
  if (!d) return;
  impl_->display = d;
  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  attrs.background_pixel = BlackPixel(d, DefaultScreen(d));
  impl_->window = XCreateWindow(d, DefaultRootWindow(d), x, y, width, height, 0, CopyFromParent,
                                InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
                                &attrs);
  impl_->gc = XCreateGC(d, impl_->window, 0, nullptr);
  XMapRaised(d, impl_->window);
  XSync(d, False);
  for (int i = 0; i < 200; ++i) {
    XWindowAttributes wa;
    XGetWindowAttributes(d, impl_->window, &wa);
    if (wa.map_state == IsViewable) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

PatternWindow::~PatternWindow() = default;

unsigned long PatternWindow::id() const { return impl_->window; }

bool PatternWindow::ok() const { return impl_->display && impl_->window; }

void PatternWindow::Draw(const std::function<Rgb(int, int)>& colour) {
  Display* d = impl_->display;
  Visual* visual = DefaultVisual(d, DefaultScreen(d));
  XImage* image = XCreateImage(d, visual, DefaultDepth(d, DefaultScreen(d)), ZPixmap, 0, nullptr,
                               width_, height_, 32, 0);
  image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * height_));
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const Rgb c = colour(x, y);
      XPutPixel(image, x, y, (static_cast<unsigned long>(c.r) << 16) | (c.g << 8) | c.b);
    }
  XPutImage(d, impl_->window, impl_->gc, image, 0, 0, 0, 0, width_, height_);
  XDestroyImage(image);
  XSync(d, False);
}

void PatternWindow::Fill(int x, int y, int w, int h, Rgb c) {
  XSetForeground(impl_->display, impl_->gc,
                 (static_cast<unsigned long>(c.r) << 16) | (c.g << 8) | c.b);
  XFillRectangle(impl_->display, impl_->window, impl_->gc, x, y, w, h);
}

void PatternWindow::UseFontCursor(unsigned shape) {
  XDefineCursor(impl_->display, impl_->window, XCreateFontCursor(impl_->display, shape));
  XSync(impl_->display, False);
}

void PatternWindow::Sync() { XSync(impl_->display, False); }

void WarpPointer(int x, int y) {
  Display* d = Shared();
  if (!d) return;
  XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
  XSync(d, False);
}

Cursor CurrentCursor() {
  Cursor c;
  Display* d = Shared();
  if (!d) return c;
  int ev = 0, err = 0, major = 5, minor = 0;
  if (XFixesQueryExtension(d, &ev, &err)) {
    XFixesQueryVersion(d, &major, &minor);
    if (XFixesCursorImage* image = XFixesGetCursorImage(d)) {
      c = {image->cursor_serial, image->x, image->y, image->xhot, image->yhot, image->width, image->height, {}};
      for (int i = 0; i < image->width * image->height; ++i)
        c.argb.push_back(static_cast<uint32_t>(image->pixels[i]));
      XFree(image);
    }
  }
  return c;
}

}  // namespace testx
