#pragma once
// Shared by the X11 implementation files only (and by tests that play a
// hostile program on the wire). Everything else talks to the window system
// through x11_messaging.h and x11_windows.h, which carry no Xlib types.
#include <X11/Xlib.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::x11 {

struct DisplayCloser {
  void operator()(Display* d) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Opens a connection of our own to $DISPLAY. Protocol errors on it never end
// the process: they are caught and read back through ErrorTrap.
DisplayPtr OpenDisplay();

// Collects the X errors of one display between its construction and
// Failed(), which syncs with the server first so that every error of the
// requests made so far has arrived.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;
  bool Failed();

 private:
  Display* display_;
  unsigned long start_;
};

// One connection for short queries from any thread (registration of names,
// window lookups, posts without a window of one's own), used under its lock.
class SharedDisplay {
 public:
  SharedDisplay();
  Display* get() const { return display_; }  // null when there is no X server
  explicit operator bool() const { return display_ != nullptr; }

 private:
  std::unique_lock<std::mutex> lock_;
  Display* display_;
};

// Every top-level window: the children of the root window, and under a
// reparenting window manager the client windows inside its frames. Topmost
// first, as a desktop lists its windows.
std::vector<Window> TopLevelWindows(Display* display);

// The window's property as bytes (any format), empty when it is missing.
std::vector<unsigned char> ReadProperty(Display* display, Window window, Atom property,
                                        Atom* actualType = nullptr, int* actualFormat = nullptr);

// ---- The wire format of a message between two message windows ----
// A message is a ClientMessage of type kMessageAtom, format 32:
//   l[0] message id, l[1] wParam, l[2] lParam, l[3] serial (0: posted, no
//   reply), l[4] the sending message window (where the reply and any
//   copy-data record are found).
// The reply is a ClientMessage of type kReplyAtom: l[0] serial, l[1] result,
// l[2] the replying window. Only 32 bits of each value travel.
// A WM_COPYDATA record lives in the sender's property named
// kCopyDataAtomPrefix + slot (the slot is l[2]), type kCopyDataAtomPrefix,
// format 8: serial (4 bytes), identifier (4), byte count (4), then the bytes.
inline constexpr const char* kMessageAtom = "_MURMURANT_MESSAGE";
inline constexpr const char* kReplyAtom = "_MURMURANT_REPLY";
inline constexpr const char* kMarkerAtom = "_MURMURANT_MESSAGE_WINDOW";
inline constexpr const char* kCopyDataAtomPrefix = "_MURMURANT_COPYDATA";
inline constexpr int kCopyDataHeaderBytes = 12;
inline constexpr int kCopyDataSlots = 8;  // deepest nesting of copy-data sends from one window

}  // namespace platform::x11
