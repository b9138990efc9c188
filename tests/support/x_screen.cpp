#include "support/x_screen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

namespace xtest {
namespace {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Windows come and go while a test looks at them (a window manager's own
// pop-ups, a program's windows closing): a request about a window that has
// just gone must not end the test process, as Xlib's default handler would.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

DisplayPtr Open() {
  static const bool handlerSet = (XSetErrorHandler(IgnoreError), true);
  (void)handlerSet;
  return DisplayPtr(XOpenDisplay(nullptr));
}

std::string TitleOf(Display* d, Window w) {
  Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                         &data) == Success && data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

}  // namespace

Image GrabScreen(int x, int y, int width, int height) {
  Image out;
  auto d = Open();
  if (!d) return out;
  XImage* img = XGetImage(d.get(), DefaultRootWindow(d.get()), x, y, width, height, AllPlanes, ZPixmap);
  if (!img) return out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * height);
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      unsigned long p = XGetPixel(img, col, row);
      out.pixels[static_cast<size_t>(row) * width + col] = {
          uint8_t((p >> 16) & 0xff), uint8_t((p >> 8) & 0xff), uint8_t(p & 0xff)};
    }
  XDestroyImage(img);
  return out;
}

std::vector<WindowInfo> FindWindowsByTitle(const std::string& title) {
  std::vector<WindowInfo> found;
  auto d = Open();
  if (!d) return found;
  const Window rootWindow = DefaultRootWindow(d.get());
  // The program's own top-level windows are children of the root, or one or
  // two levels down inside a window manager's frame.
  std::function<void(Window, int)> visit = [&](Window w, int depth) {
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d.get(), w, &root, &parent, &children, &n)) return;
    for (unsigned int i = 0; i < n; ++i) {
      const Window child = children[i];
      if (TitleOf(d.get(), child) != title) {
        if (depth < 3) visit(child, depth + 1);
        continue;
      }
      XWindowAttributes a;
      if (!XGetWindowAttributes(d.get(), child, &a)) continue;
      int x = a.x, y = a.y;
      Window unused;
      XTranslateCoordinates(d.get(), child, rootWindow, 0, 0, &x, &y, &unused);
      found.push_back({child, x, y, a.width, a.height, a.map_state == IsViewable});
    }
    if (children) XFree(children);
  };
  visit(rootWindow, 1);
  return found;
}

std::optional<WindowInfo> WaitForWindow(const std::string& title, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    std::vector<WindowInfo> viewable;
    for (const auto& w : FindWindowsByTitle(title))
      if (w.viewable) viewable.push_back(w);
    if (viewable.size() == 1) return viewable.front();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < end);
  return std::nullopt;
}

namespace {

std::vector<unsigned long> RootWindows(Display* d, const char* property) {
  std::vector<unsigned long> out;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, property, False), 0, 4096, False,
                         XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
      data) {
    if (format == 32) {
      const auto* ids = reinterpret_cast<const unsigned long*>(data);
      out.assign(ids, ids + count);
    }
    XFree(data);
  }
  return out;
}

// A client message to the root window, the way pagers and task bars talk to
// the window manager.
void SendToManager(unsigned long window, const char* message, long l0, long l1) {
  auto d = Open();
  if (!d) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d.get(), message, False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = l0;
  e.xclient.data.l[1] = l1;
  XSendEvent(d.get(), DefaultRootWindow(d.get()), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XSync(d.get(), False);
}

constexpr long kFromPager = 2;  // source indication: a pager or task bar, not an application

}  // namespace

std::vector<unsigned long> StackingOrder() {
  auto d = Open();
  return d ? RootWindows(d.get(), "_NET_CLIENT_LIST_STACKING") : std::vector<unsigned long>{};
}

unsigned long ActiveWindow() {
  auto d = Open();
  if (!d) return 0;
  auto ids = RootWindows(d.get(), "_NET_ACTIVE_WINDOW");
  return ids.empty() ? 0 : ids.front();
}

bool Iconic(unsigned long window) {
  auto d = Open();
  if (!d) return false;
  const Atom wmState = XInternAtom(d.get(), "WM_STATE", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  bool iconic = false;
  if (XGetWindowProperty(d.get(), window, wmState, 0, 2, False, wmState, &type, &format, &count,
                         &after, &data) == Success && data) {
    iconic = format == 32 && count >= 1 && reinterpret_cast<const long*>(data)[0] == IconicState;
    XFree(data);
  }
  return iconic;
}

void RequestClose(unsigned long window) {
  SendToManager(window, "_NET_CLOSE_WINDOW", CurrentTime, kFromPager);
}

void RequestMinimise(unsigned long window) {
  SendToManager(window, "WM_CHANGE_STATE", IconicState, 0);
}

void RequestActivate(unsigned long window) {
  SendToManager(window, "_NET_ACTIVE_WINDOW", kFromPager, CurrentTime);
}

void MovePointer(int x, int y) {
  auto d = Open();
  if (!d) return;
  XTestFakeMotionEvent(d.get(), -1, x, y, CurrentTime);
  XSync(d.get(), False);
}

void PressButton(int button, bool down) {
  auto d = Open();
  if (!d) return;
  XTestFakeButtonEvent(d.get(), button, down, CurrentTime);
  XSync(d.get(), False);
}

void Key(const std::string& keysym) {
  auto d = Open();
  if (!d) return;
  KeyCode code = XKeysymToKeycode(d.get(), XStringToKeysym(keysym.c_str()));
  XTestFakeKeyEvent(d.get(), code, True, CurrentTime);
  XTestFakeKeyEvent(d.get(), code, False, CurrentTime);
  XSync(d.get(), False);
}

bool KeyboardGrabbed() {
  DisplayPtr d = Open();
  if (!d) return false;
  const int status = XGrabKeyboard(d.get(), DefaultRootWindow(d.get()), False, GrabModeAsync,
                                   GrabModeAsync, CurrentTime);
  if (status == GrabSuccess) XUngrabKeyboard(d.get(), CurrentTime);
  XSync(d.get(), False);
  return status == AlreadyGrabbed;
}

void KeyDown(const std::string& keysym, bool down) {
  auto d = Open();
  if (!d) return;
  KeyCode code = XKeysymToKeycode(d.get(), XStringToKeysym(keysym.c_str()));
  XTestFakeKeyEvent(d.get(), code, down, CurrentTime);
  XSync(d.get(), False);
}

std::optional<Image> ReadBmp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
  uint32_t offset = Le32(&b[10]);
  int32_t w = static_cast<int32_t>(Le32(&b[18]));
  int32_t h = static_cast<int32_t>(Le32(&b[22]));
  int bpp = b[28] | b[29] << 8;
  if (bpp != 24 || w <= 0 || h == 0) return std::nullopt;
  bool bottomUp = h > 0;
  int height = bottomUp ? h : -h;
  size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t(3);
  if (offset + stride * height > b.size()) return std::nullopt;
  Image img;
  img.width = w;
  img.height = height;
  img.pixels.resize(static_cast<size_t>(w) * height);
  for (int row = 0; row < height; ++row) {
    const unsigned char* src = &b[offset + stride * (bottomUp ? height - 1 - row : row)];
    for (int col = 0; col < w; ++col)
      img.pixels[static_cast<size_t>(row) * w + col] = {src[col * 3 + 2], src[col * 3 + 1], src[col * 3]};
  }
  return img;
}

int CountDifferences(const Image& screen, int sx, int sy, const Image& reference, int rx, int ry,
                     int width, int height, int tolerance) {
  int diffs = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      Pixel a = screen.at(sx + x, sy + y), b = reference.at(rx + x, ry + y);
      if (std::abs(a.r - b.r) > tolerance || std::abs(a.g - b.g) > tolerance ||
          std::abs(a.b - b.b) > tolerance)
        ++diffs;
    }
  return diffs;
}

}  // namespace xtest
