#pragma once
// Window messages between programs on one X display: registered messages,
// synchronous sends with a result, posts, a broadcast to every top-level
// window and copy-data records of up to kMaxCopyData bytes.
//
// A MessageWindow is a top-level X window on a connection of its own; its
// handler runs on the thread that dispatches it, so a GUI program hooks it
// into its main loop and every handler runs on the UI thread.
//
// From a plain loop (no toolkit):
//   auto w = platform::MessageWindow::Create({"#32770", "Plovander Audio Engine"}, handler);
//   while (running) {
//     pollfd p{w->fd(), POLLIN, 0};
//     if (!w->HasPending()) poll(&p, 1, timeoutMs);
//     w->DispatchPending();
//   }
// From the wx application: keep a platform::GlibMessagePump(*window) alive as
// long as the window (glib_message_pump.h); GTK's main loop then dispatches
// it, modal dialogs included.
//
// The main window publishes the id of its message window with
// PublishMainWindow() during its initialisation; MainWindowHandle() is the
// process-wide "main window handle" that companions and the hook library post
// to (for example WM_USER_SAVECURSOR_MSG with PostWindowMessage()).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

using WindowId = unsigned long;  // an X window id; 0 names no window
using MessageId = uint32_t;
// In-process sends carry the full width; between processes only the low 32
// bits of wParam, lParam and the result travel (window ids fit).
using WParam = uint64_t;
using LParam = int64_t;
using LResult = int64_t;

// The numeric ids that the programs agree on. Registered messages lie above
// 0xFFFF, so they never collide with these or with WM_USER + n.
inline constexpr MessageId WM_CLOSE = 0x0010;
inline constexpr MessageId WM_QUIT = 0x0012;
inline constexpr MessageId WM_COPYDATA = 0x004A;
inline constexpr MessageId WM_USER = 0x0400;

inline constexpr uint32_t kMaxCopyData = 1024;
// How long a send waits for the receiver's answer before it gives up; long
// enough for a busy program, short enough that a hung one costs the UI
// thread little.
inline constexpr std::chrono::milliseconds kDefaultSendTimeout{2000};

// A received copy-data record. `data` holds `size` bytes followed by one
// extra zero byte, so text is always terminated even when the sender's was
// not. Valid only during the handler call.
struct CopyData {
  uint32_t identifier = 0;
  uint32_t size = 0;
  const void* data = nullptr;
};

// The id of a message registered by name: the same name gives the same id in
// every process on the display. 0 when there is no display.
MessageId RegisterWindowMessage(const std::string& name);

// True when the window exists right now.
bool IsWindow(WindowId window);

// Posts from any thread without a message window of one's own; the
// receiver's handler gets wParam and lParam, the result is dropped. False
// when the window does not exist.
bool PostWindowMessage(WindowId to, MessageId message, WParam wParam, LParam lParam);

// The first top-level window (topmost first) whose class and title equal the
// given ones; an empty optional matches anything. 0 when none.
WindowId FindTopLevelWindow(const std::optional<std::string>& className,
                            const std::optional<std::string>& title);

void PublishMainWindow(WindowId window);
WindowId MainWindowHandle();

struct WindowSpec {
  std::string className;  // WM_CLASS (instance and class)
  std::string title;      // WM_NAME and _NET_WM_NAME
  bool visible = false;   // mapped at `x, y` with `width x height`
  int x = 0, y = 0, width = 1, height = 1;
};

class MessageWindow {
 public:
  // The handler's result answers a send; for a post it is dropped.
  using Handler = std::function<LResult(MessageId message, WParam wParam, LParam lParam,
                                        const CopyData* copyData)>;

  // Null when no X display can be opened.
  static std::unique_ptr<MessageWindow> Create(const WindowSpec& spec, Handler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  WindowId id() const;

  // For the owning thread's loop: readable when messages may have arrived;
  // HasPending() is true when some are already read and waiting, which the
  // descriptor does not show. DispatchPending() runs the handler for what
  // has arrived and returns without blocking.
  int fd() const;
  bool HasPending() const;
  void DispatchPending();

  bool Post(WindowId to, MessageId message, WParam wParam, LParam lParam);

  // Waits for the receiver's result. While waiting it answers messages sent
  // to this window (a receiver may call back into us); posted ones wait for
  // the next DispatchPending(). Empty when the window does not exist, dies
  // meanwhile, or gives no answer within `timeout` of the last sign of life.
  // A send to a message window of this same thread calls its handler
  // directly.
  std::optional<LResult> Send(WindowId to, MessageId message, WParam wParam, LParam lParam,
                              std::chrono::milliseconds timeout = kDefaultSendTimeout);

  // WM_COPYDATA with wParam = this window. The receiver gets the bytes
  // whole, or its handler is not called at all (result 0). Empty like Send;
  // also when `size` exceeds kMaxCopyData.
  std::optional<LResult> SendCopyData(WindowId to, const void* data, uint32_t size,
                                      std::chrono::milliseconds timeout = kDefaultSendTimeout,
                                      uint32_t identifier = 0);

  // Sends to every top-level message window, this one included, one after
  // the other, each with its own `timeout`. Windows of other programs that
  // do not speak this protocol could not answer and are skipped. Returns how
  // many answered.
  int Broadcast(MessageId message, WParam wParam, LParam lParam,
                std::chrono::milliseconds timeout = kDefaultSendTimeout);

  struct Impl;

 private:
  explicit MessageWindow(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
