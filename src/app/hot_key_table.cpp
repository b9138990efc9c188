#include "app/hot_key_table.h"

#include <cstdio>

unsigned HotKeySlot::Modifiers() const {
  return (alt ? 1u : 0u) | (ctrl ? 2u : 0u) | (shift ? 4u : 0u);
}

HotKeyTable HotKeyTable::Defaults() {
  HotKeyTable t;
  t.slots_[0] = {0x77};        // F8: companion converter
  t.slots_[1] = {0x78};        // F9: stop
  t.slots_[2] = {0x79};        // F10: stop (also cancels a region selection)
  t.slots_[3] = {0x7A, true};  // Ctrl+F11: reserved
  t.slots_[4] = {0x7B, true};  // Ctrl+F12: reserved
  t.slots_[5] = {kNoHotKey};
  return t;
}

void HotKeyTable::RegisterAll(
    const std::function<void(int)>& unregister,
    const std::function<bool(int, unsigned, int)>& registerKey) {
  for (int id = 0; id < kSlots; ++id) unregister(id);
  for (int id = 0; id < kSlots; ++id) {
    HotKeySlot& s = slots_[static_cast<size_t>(id)];
    if (s.key == kNoHotKey) continue;
    if (!registerKey(id, s.Modifiers(), s.key)) s = HotKeySlot{};
  }
}

HotKeyAction DecideHotKey(int id, bool recording, bool& converterArmed) {
  switch (id) {
    case 0:
      if (recording || !converterArmed) return HotKeyAction::Ignore;
      converterArmed = false;
      return HotKeyAction::StartConverter;
    case 1:
    case 2:
      return recording ? HotKeyAction::Stop : HotKeyAction::Ignore;
    default:
      return HotKeyAction::Ignore;
  }
}

std::string FormatElapsed(long long seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds % 3600 / 60,
                seconds % 60);
  return text;
}
