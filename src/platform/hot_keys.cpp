#include "platform/hot_keys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <mutex>
#include <vector>

namespace platform {
namespace {

// Lock keys must not defeat a hot key: each combination is grabbed with every
// mix of Caps Lock and Num Lock (Mod2 on common layouts).
const unsigned kLockMixes[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

KeySym KeySymFor(int virtualKey) {
  if (virtualKey >= 0x70 && virtualKey <= 0x87) return XK_F1 + (virtualKey - 0x70);
  if (virtualKey >= '0' && virtualKey <= '9') return XK_0 + (virtualKey - '0');
  if (virtualKey >= 'A' && virtualKey <= 'Z') return XK_a + (virtualKey - 'A');
  return NoSymbol;
}

unsigned XModifiers(unsigned modifiers) {
  unsigned m = 0;
  if (modifiers & kModAlt) m |= Mod1Mask;
  if (modifiers & kModControl) m |= ControlMask;
  if (modifiers & kModShift) m |= ShiftMask;
  return m;
}

// X reports a grab conflict asynchronously through the error handler, which is
// process-wide; the flag it sets is read right after an XSync under this lock.
std::mutex gErrorLock;
bool gGrabFailed = false;
int CatchGrabError(Display*, XErrorEvent* e) {
  if (e->error_code == BadAccess) gGrabFailed = true;
  return 0;
}

}  // namespace

struct GlobalHotKeys::Impl {
  Display* display = nullptr;
  Window root = 0;
  Handler handler;
  struct Grab {
    KeyCode code;
    unsigned mods;
  };
  std::map<int, Grab> grabs;

  ~Impl() {
    if (!display) return;
    for (const auto& [id, g] : grabs)
      for (unsigned lock : kLockMixes) XUngrabKey(display, g.code, g.mods | lock, root);
    XCloseDisplay(display);
  }
};

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::Create(Handler handler) {
  auto impl = std::make_unique<Impl>();
  impl->display = XOpenDisplay(nullptr);
  if (!impl->display) return nullptr;
  impl->root = DefaultRootWindow(impl->display);
  impl->handler = std::move(handler);
  // Key releases of a held key repeat otherwise; one press, one hot key.
  XkbSetDetectableAutoRepeat(impl->display, True, nullptr);
  return std::unique_ptr<GlobalHotKeys>(new GlobalHotKeys(std::move(impl)));
}

GlobalHotKeys::GlobalHotKeys(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::Register(int id, unsigned modifiers, int virtualKey) {
  Unregister(id);
  KeySym sym = KeySymFor(virtualKey);
  if (sym == NoSymbol) return false;
  KeyCode code = XKeysymToKeycode(impl_->display, sym);
  if (code == 0) return false;
  unsigned mods = XModifiers(modifiers);

  std::lock_guard<std::mutex> lock(gErrorLock);
  XSync(impl_->display, False);
  gGrabFailed = false;
  auto previous = XSetErrorHandler(CatchGrabError);
  for (unsigned mix : kLockMixes)
    XGrabKey(impl_->display, code, mods | mix, impl_->root, False, GrabModeAsync, GrabModeAsync);
  XSync(impl_->display, False);
  bool failed = gGrabFailed;
  if (failed) {
    for (unsigned mix : kLockMixes) XUngrabKey(impl_->display, code, mods | mix, impl_->root);
    XSync(impl_->display, False);
  }
  XSetErrorHandler(previous);
  if (failed) return false;
  impl_->grabs[id] = {code, mods};
  return true;
}

void GlobalHotKeys::Unregister(int id) {
  auto it = impl_->grabs.find(id);
  if (it == impl_->grabs.end()) return;
  for (unsigned mix : kLockMixes)
    XUngrabKey(impl_->display, it->second.code, it->second.mods | mix, impl_->root);
  XFlush(impl_->display);
  impl_->grabs.erase(it);
}

int GlobalHotKeys::fd() const { return ConnectionNumber(impl_->display); }

void GlobalHotKeys::DispatchPending() {
  const unsigned relevant = ControlMask | ShiftMask | Mod1Mask;
  while (XPending(impl_->display) > 0) {
    XEvent e;
    XNextEvent(impl_->display, &e);
    if (e.type != KeyPress) continue;
    for (const auto& [id, g] : impl_->grabs) {
      if (g.code == e.xkey.keycode && g.mods == (e.xkey.state & relevant)) {
        impl_->handler(id);
        break;
      }
    }
  }
}

}  // namespace platform
