#include "platform/x11_messaging.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "base/log.h"
#include "platform/copy_data_record.h"
#include "platform/x11_internal.h"

namespace platform {
namespace {

using x11::ErrorTrap;

// Registered ids are offset past every fixed numeric id.
constexpr MessageId kRegisteredBase = 0x10000;

// How many queued messages one DispatchPending() handles before it returns,
// so that a window posting to itself cannot starve the rest of the loop.
constexpr int kDispatchBatch = 256;

std::atomic<WindowId> gMainWindow{0};

struct Atoms {
  Atom message, reply, marker, copyType, netWmName, utf8, netWmPid;
  std::array<Atom, x11::kCopyDataSlots> copySlot;

  explicit Atoms(Display* d) {
    std::vector<std::string> names = {x11::kMessageAtom,       x11::kReplyAtom,
                                      x11::kMarkerAtom,        x11::kCopyDataAtomPrefix,
                                      "_NET_WM_NAME",          "UTF8_STRING",
                                      "_NET_WM_PID"};
    for (int i = 0; i < x11::kCopyDataSlots; ++i)
      names.push_back(std::string(x11::kCopyDataAtomPrefix) + "_" + std::to_string(i));
    std::vector<char*> pointers;
    for (auto& n : names) pointers.push_back(n.data());
    std::vector<Atom> atoms(names.size());
    XInternAtoms(d, pointers.data(), static_cast<int>(pointers.size()), False, atoms.data());
    message = atoms[0], reply = atoms[1], marker = atoms[2], copyType = atoms[3];
    netWmName = atoms[4], utf8 = atoms[5], netWmPid = atoms[6];
    for (int i = 0; i < x11::kCopyDataSlots; ++i) copySlot[i] = atoms[7 + i];
  }
};

uint32_t Low32(uint64_t v) { return static_cast<uint32_t>(v); }
// Xlib widens the 32-bit wire values with sign extension; these undo it.
uint32_t WireUnsigned(long v) { return static_cast<uint32_t>(v); }
int32_t WireSigned(long v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

bool SendClient(Display* d, Window to, Atom type, std::array<long, 5> values) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = to;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  for (int i = 0; i < 5; ++i) ev.xclient.data.l[i] = values[i];
  // An empty mask sends the event to the client that created the window.
  return XSendEvent(d, to, False, NoEventMask, &ev) != 0;
}

}  // namespace

struct MessageWindow::Impl {
  x11::DisplayPtr display;
  Window window = 0;
  Handler handler;
  Atoms atoms;
  std::thread::id owner = std::this_thread::get_id();
  uint32_t nextSerial = 1;
  std::map<uint32_t, std::optional<LResult>> replies;  // sends still waiting
  std::map<Window, int> watched;                       // windows whose death ends a wait
  std::set<Window> died;
  std::deque<XEvent> deferred;  // posts that arrived while a send waited
  int copySlotsInUse = 0;

  Impl(x11::DisplayPtr d, Handler h) : display(std::move(d)), handler(std::move(h)), atoms(display.get()) {}

  Display* d() const { return display.get(); }

  uint32_t NewSerial() {
    uint32_t s = nextSerial++;
    if (nextSerial == 0) nextSerial = 1;  // 0 marks a post
    return s;
  }

  LResult Call(MessageId m, WParam w, LParam l, const CopyData* cd) {
    return handler ? handler(m, w, l, cd) : 0;
  }

  DecodedCopyData ReadCopyData(Window from, long slot, uint32_t serial);
  LResult Deliver(const XClientMessageEvent& ev);
  void HandleEvent(const XEvent& ev);
  bool IsReply(const XEvent& ev) const {
    return ev.type == ClientMessage && ev.xclient.message_type == atoms.reply;
  }
  bool IsMessage(const XEvent& ev) const {
    return ev.type == ClientMessage && ev.xclient.message_type == atoms.message &&
           ev.xclient.format == 32;
  }
  void Watch(Window w);
  void Unwatch(Window w);
  std::optional<LResult> Transact(Window to, MessageId m, uint32_t w, int32_t l, uint32_t serial,
                                  std::chrono::milliseconds timeout);
  std::optional<LResult> AwaitReply(Window to, uint32_t serial, std::chrono::milliseconds timeout);
};

namespace {

// Message windows by id, so that a send between two windows of the same
// thread is a plain call instead of a wait that nobody could answer.
std::mutex gWindowsMutex;
std::map<Window, MessageWindow::Impl*> gWindows;

MessageWindow::Impl* SameThreadWindow(Window w) {
  std::lock_guard lock(gWindowsMutex);
  auto it = gWindows.find(w);
  if (it == gWindows.end() || it->second->owner != std::this_thread::get_id()) return nullptr;
  return it->second;
}

}  // namespace

DecodedCopyData MessageWindow::Impl::ReadCopyData(Window from, long slot, uint32_t serial) {
  DecodedCopyData refused;
  if (slot < 0 || slot >= x11::kCopyDataSlots) {
    refused.error = "copy-data record in slot " + std::to_string(slot) + ", which does not exist";
    return refused;
  }
  Atom type = None;
  int format = 0;
  ErrorTrap trap(d());
  std::vector<unsigned char> bytes =
      x11::ReadProperty(d(), from, atoms.copySlot[slot], &type, &format);
  if (trap.Failed() || type != atoms.copyType || format != 8) {
    refused.error = "no copy-data record where the message says";
    return refused;
  }
  return DecodeCopyData(bytes.data(), bytes.size(), serial, kMaxCopyData);
}

LResult MessageWindow::Impl::Deliver(const XClientMessageEvent& ev) {
  const MessageId message = WireUnsigned(ev.data.l[0]);
  const WParam wParam = WireUnsigned(ev.data.l[1]);
  const uint32_t serial = WireUnsigned(ev.data.l[3]);
  const Window from = WireUnsigned(ev.data.l[4]);
  if (message != WM_COPYDATA) return Call(message, wParam, WireSigned(ev.data.l[2]), nullptr);

  // A record is read while its sender waits; a posted one has no sender
  // keeping it alive and is dropped.
  if (serial == 0 || from == 0) return 0;
  const DecodedCopyData record = ReadCopyData(from, ev.data.l[2], serial);
  if (!record.ok()) {
    // Another program wrote it: a flood of bad records costs a few lines.
    // Never destroyed, so that no line is due while the process ends.
    static auto* refusals = new base::LogBudget("messaging", 5, std::chrono::seconds(10));
    refusals->Log(base::Level::kWarning, record.error);
    return 0;
  }
  CopyData cd{record.identifier, record.size, record.bytes.data()};
  return Call(WM_COPYDATA, wParam, 0, &cd);
}

void MessageWindow::Impl::HandleEvent(const XEvent& ev) {
  if (IsMessage(ev)) {
    const uint32_t serial = WireUnsigned(ev.xclient.data.l[3]);
    const Window from = WireUnsigned(ev.xclient.data.l[4]);
    LResult result = Deliver(ev.xclient);
    if (serial != 0 && from != 0) {
      // The sender may have died or given up; its absence is no error here.
      ErrorTrap trap(d());
      SendClient(d(), from, atoms.reply,
                 {static_cast<long>(serial), static_cast<long>(Low32(result)),
                  static_cast<long>(window), 0, 0});
      trap.Failed();
    }
  } else if (IsReply(ev)) {
    auto it = replies.find(WireUnsigned(ev.xclient.data.l[0]));
    if (it != replies.end()) it->second = WireSigned(ev.xclient.data.l[1]);
  } else if (ev.type == DestroyNotify) {
    if (watched.count(ev.xdestroywindow.window)) died.insert(ev.xdestroywindow.window);
  }
}

void MessageWindow::Impl::Watch(Window w) {
  if (watched[w]++ == 0) XSelectInput(d(), w, StructureNotifyMask);
}

void MessageWindow::Impl::Unwatch(Window w) {
  if (--watched[w] > 0) return;
  watched.erase(w);
  died.erase(w);
  ErrorTrap trap(d());  // the window may be gone already
  XSelectInput(d(), w, NoEventMask);
  trap.Failed();
}

std::optional<LResult> MessageWindow::Impl::Transact(Window to, MessageId m, uint32_t w,
                                                     int32_t l, uint32_t serial,
                                                     std::chrono::milliseconds timeout) {
  replies[serial];
  bool sent = false;
  {
    ErrorTrap trap(d());  // the receiver may be gone already
    Watch(to);
    SendClient(d(), to, atoms.message,
               {static_cast<long>(m), static_cast<long>(w), static_cast<long>(l),
                static_cast<long>(serial), static_cast<long>(window)});
    sent = !trap.Failed();
  }
  std::optional<LResult> result;
  if (sent) result = AwaitReply(to, serial, timeout);
  Unwatch(to);
  replies.erase(serial);
  return result;
}

std::optional<LResult> MessageWindow::Impl::AwaitReply(Window to, uint32_t serial,
                                                       std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + timeout;
  for (;;) {
    while (XPending(d()) > 0) {
      XEvent ev;
      XNextEvent(d(), &ev);
      if (IsMessage(ev) && WireUnsigned(ev.xclient.data.l[3]) == 0) {
        deferred.push_back(ev);  // posts keep their order and wait for the loop
        continue;
      }
      HandleEvent(ev);
      // A receiver that calls back into us is alive and busy with our
      // message: the wait starts afresh.
      if (IsMessage(ev)) deadline = Clock::now() + timeout;
      if (replies[serial]) return replies[serial];
    }
    if (replies[serial]) return replies[serial];
    if (died.count(to)) return std::nullopt;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{ConnectionNumber(d()), POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()) + 1);
  }
}

MessageWindow::MessageWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<MessageWindow> MessageWindow::Create(const WindowSpec& spec, Handler handler) {
  x11::DisplayPtr display = x11::OpenDisplay();
  if (!display) return nullptr;
  auto impl = std::make_unique<Impl>(std::move(display), std::move(handler));
  Display* d = impl->d();
  const Atoms& a = impl->atoms;

  XSetWindowAttributes attrs{};
  attrs.background_pixel = WhitePixel(d, DefaultScreen(d));
  const unsigned width = static_cast<unsigned>(std::max(1, spec.width));
  const unsigned height = static_cast<unsigned>(std::max(1, spec.height));
  Window w = XCreateWindow(d, DefaultRootWindow(d), spec.x, spec.y, width, height, 0,
                           CopyFromParent, InputOutput, CopyFromParent, CWBackPixel, &attrs);
  impl->window = w;

  std::string cls = spec.className;
  XClassHint hint{cls.data(), cls.data()};
  XSetClassHint(d, w, &hint);
  XStoreName(d, w, spec.title.c_str());
  XChangeProperty(d, w, a.netWmName, a.utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(spec.title.data()),
                  static_cast<int>(spec.title.size()));
  long pid = getpid();
  XChangeProperty(d, w, a.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  long one = 1;
  XChangeProperty(d, w, a.marker, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&one), 1);
  XSizeHints size{};
  size.flags = USPosition | USSize;
  size.x = spec.x, size.y = spec.y, size.width = static_cast<int>(width);
  size.height = static_cast<int>(height);
  XSetWMNormalHints(d, w, &size);
  if (spec.visible) XMapWindow(d, w);
  XSync(d, False);

  std::lock_guard lock(gWindowsMutex);
  gWindows[w] = impl.get();
  return std::unique_ptr<MessageWindow>(new MessageWindow(std::move(impl)));
}

MessageWindow::~MessageWindow() {
  {
    std::lock_guard lock(gWindowsMutex);
    gWindows.erase(impl_->window);
  }
  XDestroyWindow(impl_->d(), impl_->window);
  XSync(impl_->d(), False);
}

WindowId MessageWindow::id() const { return impl_->window; }

int MessageWindow::fd() const { return ConnectionNumber(impl_->d()); }

bool MessageWindow::HasPending() const {
  return !impl_->deferred.empty() || XQLength(impl_->d()) > 0;
}

void MessageWindow::DispatchPending() {
  for (int i = 0; i < kDispatchBatch; ++i) {
    XEvent ev;
    if (!impl_->deferred.empty()) {
      ev = impl_->deferred.front();
      impl_->deferred.pop_front();
    } else if (XPending(impl_->d()) > 0) {
      XNextEvent(impl_->d(), &ev);
    } else {
      break;
    }
    impl_->HandleEvent(ev);
  }
}

bool MessageWindow::Post(WindowId to, MessageId message, WParam wParam, LParam lParam) {
  if (to == 0) return false;
  ErrorTrap trap(impl_->d());
  SendClient(impl_->d(), to, impl_->atoms.message,
             {static_cast<long>(message), static_cast<long>(Low32(wParam)),
              static_cast<long>(Low32(lParam)), 0, static_cast<long>(impl_->window)});
  return !trap.Failed();
}

std::optional<LResult> MessageWindow::Send(WindowId to, MessageId message, WParam wParam,
                                           LParam lParam, std::chrono::milliseconds timeout) {
  if (to == 0) return std::nullopt;
  if (Impl* local = SameThreadWindow(to)) return local->Call(message, wParam, lParam, nullptr);
  if (message == WM_COPYDATA) return std::nullopt;  // a record travels only with SendCopyData
  return impl_->Transact(to, message, Low32(wParam), static_cast<int32_t>(Low32(lParam)),
                         impl_->NewSerial(), timeout);
}

std::optional<LResult> MessageWindow::SendCopyData(WindowId to, const void* data, uint32_t size,
                                                   std::chrono::milliseconds timeout,
                                                   uint32_t identifier) {
  if (to == 0 || size > kMaxCopyData || (size > 0 && !data)) return std::nullopt;
  if (Impl* local = SameThreadWindow(to)) {
    std::vector<unsigned char> copy(size + 1, 0);
    if (size) std::memcpy(copy.data(), data, size);
    CopyData cd{identifier, size, copy.data()};
    return local->Call(WM_COPYDATA, impl_->window, 0, &cd);
  }
  Impl& self = *impl_;
  if (self.copySlotsInUse >= x11::kCopyDataSlots) return std::nullopt;
  const int slot = self.copySlotsInUse++;
  const uint32_t serial = self.NewSerial();

  const std::vector<unsigned char> record = EncodeCopyData(serial, identifier, data, size);
  XChangeProperty(self.d(), self.window, self.atoms.copySlot[slot], self.atoms.copyType, 8,
                  PropModeReplace, record.data(), static_cast<int>(record.size()));

  auto result = self.Transact(to, WM_COPYDATA, Low32(self.window), slot, serial, timeout);
  XDeleteProperty(self.d(), self.window, self.atoms.copySlot[slot]);
  XFlush(self.d());
  --self.copySlotsInUse;
  return result;
}

int MessageWindow::Broadcast(MessageId message, WParam wParam, LParam lParam,
                             std::chrono::milliseconds timeout) {
  Impl& self = *impl_;
  std::vector<Window> windows;
  {
    ErrorTrap trap(self.d());  // windows come and go during the walk
    windows = x11::TopLevelWindows(self.d());
    trap.Failed();
  }
  int answered = 0;
  for (Window w : windows) {
    if (w != self.window) {
      ErrorTrap trap(self.d());
      bool speaks = !x11::ReadProperty(self.d(), w, self.atoms.marker).empty();
      if (trap.Failed() || !speaks) continue;
    }
    if (Send(w, message, wParam, lParam, timeout)) ++answered;
  }
  return answered;
}

MessageId RegisterWindowMessage(const std::string& name) {
  x11::SharedDisplay shared;
  if (!shared || name.empty()) return 0;
  Atom atom = XInternAtom(shared.get(), name.c_str(), False);
  return atom == None ? 0 : kRegisteredBase + static_cast<MessageId>(atom);
}

bool IsWindow(WindowId window) {
  if (window == 0) return false;
  x11::SharedDisplay shared;
  if (!shared) return false;
  ErrorTrap trap(shared.get());
  XWindowAttributes attrs;
  Status ok = XGetWindowAttributes(shared.get(), window, &attrs);
  return !trap.Failed() && ok != 0;
}

bool PostWindowMessage(WindowId to, MessageId message, WParam wParam, LParam lParam) {
  if (to == 0) return false;
  x11::SharedDisplay shared;
  if (!shared) return false;
  Atom type = XInternAtom(shared.get(), x11::kMessageAtom, False);
  ErrorTrap trap(shared.get());
  SendClient(shared.get(), to, type,
             {static_cast<long>(message), static_cast<long>(Low32(wParam)),
              static_cast<long>(Low32(lParam)), 0, 0});
  return !trap.Failed();
}

void PublishMainWindow(WindowId window) { gMainWindow.store(window); }

WindowId MainWindowHandle() { return gMainWindow.load(); }

}  // namespace platform
