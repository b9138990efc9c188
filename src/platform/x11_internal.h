#pragma once
// Shared by the X11 implementation files only (and by tests that play a
// hostile program on the wire): the one way this program opens a connection
// to the X server and checks its requests. Everything else talks to the
// window system through the headers of src/platform/, which carry no Xlib
// types.
#include <X11/Xlib.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::x11 {

// Closes a connection of ours once every error it still owes has arrived.
struct DisplayCloser {
  void operator()(Display* d) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Opens a connection of our own to `name` (empty: $DISPLAY); null when there
// is no server. Protocol errors on it never end the process: an ErrorTrap
// collects them, and one that nobody traps is logged and dropped.
DisplayPtr OpenDisplay(const std::string& name = {});

// Installs the process-wide handler described below, once; every other
// entry point of this layer does so too.
void InstallErrorHandler();

// Collects the X errors of the requests one thread makes on one display
// between the trap's construction and Failed(). One process-wide error
// handler, installed at the first use of this layer, hands each error to the
// innermost trap of the thread that reads it (the thread making the requests,
// as every display of ours is used by one thread at a time), so traps of
// different threads never see each other's errors. Errors of connections
// that are not ours go on to the handler that was in place before (the
// toolkit's). That first use must not race a toolkit installing its own
// handler on another thread; in our programs it comes from the main thread,
// after the toolkit started.
//
// Traps nest and must be destroyed in reverse order on the thread that made
// them, which scoped objects do by themselves.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display);
  // Waits for the errors the trap's requests still owe, so that none of
  // them reaches the handler untrapped after the trap is gone.
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // Whether any request made since the trap was set failed. Syncs with the
  // server first unless every such request is known to be processed (as
  // after a request with a reply).
  bool Failed();

 private:
  friend int OnXError(Display* display, XErrorEvent* error);  // the process-wide handler
  bool Outstanding() const;

  Display* display_;
  unsigned long start_;  // serial of the first request the trap covers
  bool failed_ = false;  // written by OnXError on this trap's own thread
  ErrorTrap* outer_;     // the trap this thread had set before
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
// format 8: the record of copy_data_record.h.
inline constexpr const char* kMessageAtom = "_MURMURANT_MESSAGE";
inline constexpr const char* kReplyAtom = "_MURMURANT_REPLY";
inline constexpr const char* kMarkerAtom = "_MURMURANT_MESSAGE_WINDOW";
inline constexpr const char* kCopyDataAtomPrefix = "_MURMURANT_COPYDATA";
inline constexpr int kCopyDataSlots = 8;  // deepest nesting of copy-data sends from one window

}  // namespace platform::x11
