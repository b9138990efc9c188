#include "platform/x11_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>

#include "platform/x11_internal.h"

namespace platform {
namespace x11 {

namespace {

// No property we read is anywhere near this; a larger one is cut here and
// then fails whatever length check its reader makes.
constexpr long kMaxPropertyLongs = 16384;

struct XFreer {
  void operator()(unsigned char* p) const {
    if (p) XFree(p);
  }
};

bool HasProperty(Display* d, Window w, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  int status = XGetWindowProperty(d, w, property, 0, 0, False, AnyPropertyType, &type, &format,
                                  &items, &after, &data);
  std::unique_ptr<unsigned char, XFreer> owned(data);
  return status == Success && type != None;
}

// Under a reparenting window manager the client is somewhere inside the
// frame: the first descendant that carries WM_STATE.
Window ClientInside(Display* d, Window frame, Atom wmState, int depth) {
  if (depth > 4) return 0;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, frame, &root, &parent, &children, &count)) return 0;
  std::unique_ptr<unsigned char, XFreer> owned(reinterpret_cast<unsigned char*>(children));
  for (unsigned i = 0; i < count; ++i)
    if (HasProperty(d, children[i], wmState)) return children[i];
  for (unsigned i = 0; i < count; ++i)
    if (Window w = ClientInside(d, children[i], wmState, depth + 1)) return w;
  return 0;
}

}  // namespace

std::vector<unsigned char> ReadProperty(Display* d, Window w, Atom property, Atom* actualType,
                                        int* actualFormat) {
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  int status = XGetWindowProperty(d, w, property, 0, kMaxPropertyLongs, False, AnyPropertyType,
                                  &type, &format, &items, &after, &data);
  std::unique_ptr<unsigned char, XFreer> owned(data);
  if (actualType) *actualType = type;
  if (actualFormat) *actualFormat = format;
  if (status != Success || type == None || !data) return {};
  // Xlib hands format-32 items as longs and format-16 items as shorts.
  const size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
  return std::vector<unsigned char>(data, data + items * unit);
}

std::vector<Window> TopLevelWindows(Display* d) {
  std::vector<Window> out;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return out;
  std::unique_ptr<unsigned char, XFreer> owned(reinterpret_cast<unsigned char*>(children));
  const Atom wmState = XInternAtom(d, "WM_STATE", False);
  // The tree lists the bottom of the stack first.
  for (unsigned i = count; i-- > 0;) {
    out.push_back(children[i]);
    if (!HasProperty(d, children[i], wmState))
      if (Window client = ClientInside(d, children[i], wmState, 0)) out.push_back(client);
  }
  return out;
}

}  // namespace x11

namespace {

using x11::ReadProperty;

std::vector<long> Longs(Display* d, Window w, Atom property) {
  int format = 0;
  auto bytes = ReadProperty(d, w, property, nullptr, &format);
  if (format != 32) return {};
  std::vector<long> out(bytes.size() / sizeof(long));
  std::memcpy(out.data(), bytes.data(), out.size() * sizeof(long));
  return out;
}

std::vector<Atom> Atoms(Display* d, Window w, Atom property) {
  std::vector<Atom> out;
  for (long v : Longs(d, w, property)) out.push_back(static_cast<Atom>(v));
  return out;
}

std::string Text(Display* d, Window w, Atom property) {
  auto bytes = ReadProperty(d, w, property);
  return std::string(bytes.begin(), bytes.end());
}

// Motif window-manager hints: flags, functions, decorations.
constexpr long kMwmHintsDecorations = 1L << 1;
constexpr long kMwmDecorAll = 1L << 0;
constexpr long kMwmDecorResizeH = 1L << 2;
constexpr long kMwmDecorTitle = 1L << 3;
constexpr long kMwmDecorMenu = 1L << 4;
constexpr long kMwmDecorMinimize = 1L << 5;
constexpr long kMwmDecorMaximize = 1L << 6;

struct Names {
  Atom windowType, typeNormal, motifHints, netWmName, wmProtocols, takeFocus, netWmPid;
  explicit Names(Display* d)
      : windowType(XInternAtom(d, "_NET_WM_WINDOW_TYPE", False)),
        typeNormal(XInternAtom(d, "_NET_WM_WINDOW_TYPE_NORMAL", False)),
        motifHints(XInternAtom(d, "_MOTIF_WM_HINTS", False)),
        netWmName(XInternAtom(d, "_NET_WM_NAME", False)),
        wmProtocols(XInternAtom(d, "WM_PROTOCOLS", False)),
        takeFocus(XInternAtom(d, "WM_TAKE_FOCUS", False)),
        netWmPid(XInternAtom(d, "_NET_WM_PID", False)) {}
};

// The one place where X11 properties become window style bits; the table
// is in x11_windows.h.
uint32_t StyleOf(Display* d, Window w, const XWindowAttributes& attrs, const Names& n) {
  using namespace style;
  uint32_t s = 0;
  auto types = Atoms(d, w, n.windowType);
  if (attrs.override_redirect || (!types.empty() && types.front() != n.typeNormal)) s |= WS_POPUP;
  if (attrs.override_redirect) return s;

  long decorations = kMwmDecorAll;
  auto motif = Longs(d, w, n.motifHints);
  if (motif.size() >= 3 && (motif[0] & kMwmHintsDecorations)) decorations = motif[2];
  // The "all" bit turns the listed decorations into exceptions.
  auto has = [&](long bit) {
    return (decorations & kMwmDecorAll) ? !(decorations & bit) : (decorations & bit) != 0;
  };

  XSizeHints size{};
  long supplied = 0;
  bool resizable = true;
  if (XGetWMNormalHints(d, w, &size, &supplied) && (size.flags & PMinSize) &&
      (size.flags & PMaxSize))
    resizable = size.min_width != size.max_width || size.min_height != size.max_height;

  if (has(kMwmDecorTitle)) s |= WS_CAPTION;
  if (has(kMwmDecorMenu)) s |= WS_SYSMENU;
  if (resizable && has(kMwmDecorResizeH)) s |= WS_THICKFRAME;
  if (has(kMwmDecorMinimize)) s |= WS_MINIMIZEBOX;
  if (resizable && has(kMwmDecorMaximize)) s |= WS_MAXIMIZEBOX;
  return s;
}

bool TakesInput(Display* d, Window w, const Names& n) {
  bool input = true;
  if (XWMHints* hints = XGetWMHints(d, w)) {
    if (hints->flags & InputHint) input = hints->input != False;
    XFree(hints);
  }
  if (input) return true;
  auto protocols = Atoms(d, w, n.wmProtocols);
  return std::find(protocols.begin(), protocols.end(), n.takeFocus) != protocols.end();
}

std::optional<TopLevelWindowInfo> Describe(Display* d, Window w, const Names& n) {
  x11::ErrorTrap trap(d);
  XWindowAttributes attrs{};
  if (!XGetWindowAttributes(d, w, &attrs) || trap.Failed()) return std::nullopt;
  TopLevelWindowInfo info;
  info.id = w;
  auto pid = Longs(d, w, n.netWmPid);
  info.pid = pid.empty() ? 0 : static_cast<pid_t>(pid.front());
  info.visible = attrs.map_state == IsViewable;
  info.enabled = TakesInput(d, w, n);
  info.style = StyleOf(d, w, attrs, n);
  XClassHint hint{};
  if (XGetClassHint(d, w, &hint)) {
    if (hint.res_class) info.className = hint.res_class;
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  info.title = Text(d, w, n.netWmName);
  if (info.title.empty()) info.title = Text(d, w, XA_WM_NAME);
  if (trap.Failed()) return std::nullopt;  // it went away while we looked
  return info;
}

}  // namespace

std::vector<TopLevelWindowInfo> TopLevelWindows() {
  std::vector<TopLevelWindowInfo> out;
  x11::SharedDisplay shared;
  if (!shared) return out;
  Display* d = shared.get();
  Names names(d);
  std::vector<Window> windows;
  {
    x11::ErrorTrap trap(d);
    windows = x11::TopLevelWindows(d);
    trap.Failed();
  }
  for (Window w : windows)
    if (auto info = Describe(d, w, names)) out.push_back(std::move(*info));
  return out;
}

std::vector<TopLevelWindowInfo> TopLevelWindowsOf(pid_t pid) {
  auto all = TopLevelWindows();
  std::erase_if(all, [pid](const TopLevelWindowInfo& w) { return w.pid != pid; });
  return all;
}

WindowId FindTopLevelWindow(const std::optional<std::string>& className,
                            const std::optional<std::string>& title) {
  for (const auto& w : TopLevelWindows())
    if ((!className || w.className == *className) && (!title || w.title == *title)) return w.id;
  return 0;
}

}  // namespace platform
