#pragma once
// The six global hot-key slots, their defaults and what a press of each does.
// The table lives only in memory: nothing saves it and nothing edits it.
#include <array>
#include <functional>
#include <string>

inline constexpr int kNoHotKey = 100000;  // a slot without a key

struct HotKeySlot {
  int key = kNoHotKey;  // virtual-key code, e.g. 0x78 = F9
  bool ctrl = false, shift = false, alt = false;
  unsigned Modifiers() const;  // the platform's modifier bits (alt 1, ctrl 2, shift 4)
};

class HotKeyTable {
 public:
  static constexpr int kSlots = 6;
  static HotKeyTable Defaults();

  // Unregisters every slot, then registers each slot that has a key. A slot
  // whose combination another program holds loses its key and flags; nothing
  // is shown.
  void RegisterAll(const std::function<void(int id)>& unregister,
                   const std::function<bool(int id, unsigned modifiers, int key)>& registerKey);

  const HotKeySlot& slot(int id) const { return slots_.at(static_cast<size_t>(id)); }

 private:
  std::array<HotKeySlot, kSlots> slots_{};
};

enum class HotKeyAction { Ignore, StartConverter, Stop };

// What a press of slot `id` does. Slot 0 starts the converter once while idle
// and armed, and disarms; slots 1 and 2 stop a running recording.
HotKeyAction DecideHotKey(int id, bool recording, bool& converterArmed);

// "%02d:%02d:%02d" of hours, minutes and seconds.
std::string FormatElapsed(long long seconds);
