#pragma once
// Global hot keys: key combinations grabbed on the root window, so they reach
// us whichever window has the focus. A combination another client already
// holds cannot be registered.
#include <functional>
#include <map>
#include <memory>

namespace platform {

// Modifier bits as the hot-key table stores them.
inline constexpr unsigned kModAlt = 1;
inline constexpr unsigned kModControl = 2;
inline constexpr unsigned kModShift = 4;

class GlobalHotKeys {
 public:
  using Handler = std::function<void(int id)>;

  // Null when no X display can be opened. The handler runs on the thread
  // that calls DispatchPending().
  static std::unique_ptr<GlobalHotKeys> Create(Handler handler);
  ~GlobalHotKeys();
  GlobalHotKeys(const GlobalHotKeys&) = delete;
  GlobalHotKeys& operator=(const GlobalHotKeys&) = delete;

  // `virtualKey` is a key code of the table (0x70 = F1 ... 0x87 = F24,
  // '0'-'9', 'A'-'Z'). False when the key is unknown or the combination
  // belongs to another client; nothing stays grabbed then.
  bool Register(int id, unsigned modifiers, int virtualKey);
  void Unregister(int id);

  // For the owner's main loop.
  int fd() const;
  void DispatchPending();

  struct Impl;

 private:
  explicit GlobalHotKeys(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
