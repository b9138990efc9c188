#include "platform/hot_keys.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include "platform/x11_internal.h"

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

}  // namespace

struct GlobalHotKeys::Impl {
  x11::DisplayPtr display;
  Window root = 0;
  Handler handler;
  struct Grab {
    KeyCode code;
    unsigned mods;
  };
  std::map<int, Grab> grabs;

  Display* d() const { return display.get(); }

  ~Impl() {
    if (!display) return;
    for (const auto& [id, g] : grabs)
      for (unsigned lock : kLockMixes) XUngrabKey(d(), g.code, g.mods | lock, root);
  }
};

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::Create(Handler handler) {
  auto impl = std::make_unique<Impl>();
  impl->display = x11::OpenDisplay();
  if (!impl->display) return nullptr;
  impl->root = DefaultRootWindow(impl->d());
  impl->handler = std::move(handler);
  // Key releases of a held key repeat otherwise; one press, one hot key.
  XkbSetDetectableAutoRepeat(impl->d(), True, nullptr);
  return std::unique_ptr<GlobalHotKeys>(new GlobalHotKeys(std::move(impl)));
}

GlobalHotKeys::GlobalHotKeys(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::Register(int id, unsigned modifiers, int virtualKey) {
  Unregister(id);
  KeySym sym = KeySymFor(virtualKey);
  if (sym == NoSymbol) return false;
  KeyCode code = XKeysymToKeycode(impl_->d(), sym);
  if (code == 0) return false;
  unsigned mods = XModifiers(modifiers);

  // Another client's grab of the same combination comes back as an error.
  x11::ErrorTrap trap(impl_->d());
  for (unsigned mix : kLockMixes)
    XGrabKey(impl_->d(), code, mods | mix, impl_->root, False, GrabModeAsync, GrabModeAsync);
  if (trap.Failed()) {
    // Some lock mixes may have been granted; none may stay.
    for (unsigned mix : kLockMixes) XUngrabKey(impl_->d(), code, mods | mix, impl_->root);
    return false;
  }
  impl_->grabs[id] = {code, mods};
  return true;
}

void GlobalHotKeys::Unregister(int id) {
  auto it = impl_->grabs.find(id);
  if (it == impl_->grabs.end()) return;
  for (unsigned mix : kLockMixes)
    XUngrabKey(impl_->d(), it->second.code, it->second.mods | mix, impl_->root);
  XFlush(impl_->d());
  impl_->grabs.erase(it);
}

int GlobalHotKeys::fd() const { return ConnectionNumber(impl_->d()); }

void GlobalHotKeys::DispatchPending() {
  const unsigned relevant = ControlMask | ShiftMask | Mod1Mask;
  while (XPending(impl_->d()) > 0) {
    XEvent e;
    XNextEvent(impl_->d(), &e);
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
