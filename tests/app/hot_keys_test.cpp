// The hot-key table's rules, and real global grabs on the X server: a key
// another client holds fails, a pressed key reaches its slot.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <thread>
#include <vector>

#include "app/hot_key_table.h"
#include "platform/hot_keys.h"
#include "support/x_screen.h"

TEST(HotKeyTable, DefaultsAndSilentFallbackForTakenKeys) {
  HotKeyTable t = HotKeyTable::Defaults();
  EXPECT_EQ(t.slot(0).key, 0x77);
  EXPECT_EQ(t.slot(1).key, 0x78);
  EXPECT_EQ(t.slot(2).key, 0x79);
  EXPECT_EQ(t.slot(3).Modifiers(), 2u);
  EXPECT_EQ(t.slot(5).key, kNoHotKey);

  std::vector<int> unregistered, registered;
  t.RegisterAll([&](int id) { unregistered.push_back(id); },
                [&](int id, unsigned, int key) {
                  registered.push_back(id);
                  return key != 0x78;  // F9 belongs to another program
                });
  EXPECT_EQ(unregistered, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(registered, (std::vector<int>{0, 1, 2, 3, 4}));  // slot 5 has no key
  EXPECT_EQ(t.slot(1).key, kNoHotKey);
  EXPECT_FALSE(t.slot(1).ctrl || t.slot(1).shift || t.slot(1).alt);
  EXPECT_EQ(t.slot(2).key, 0x79);
}

TEST(HotKeyTable, ConverterOnceWhileArmedAndStopOnlyWhileRecording) {
  bool armed = true;
  EXPECT_EQ(DecideHotKey(0, true, armed), HotKeyAction::Ignore);  // recording: no converter
  EXPECT_TRUE(armed);
  EXPECT_EQ(DecideHotKey(0, false, armed), HotKeyAction::StartConverter);
  EXPECT_FALSE(armed);
  EXPECT_EQ(DecideHotKey(0, false, armed), HotKeyAction::Ignore);
  EXPECT_EQ(DecideHotKey(1, false, armed), HotKeyAction::Ignore);
  EXPECT_EQ(DecideHotKey(1, true, armed), HotKeyAction::Stop);
  EXPECT_EQ(DecideHotKey(2, true, armed), HotKeyAction::Stop);
  EXPECT_EQ(DecideHotKey(3, true, armed), HotKeyAction::Ignore);
}

TEST(HotKeyTable, ElapsedText) {
  EXPECT_EQ(FormatElapsed(0), "00:00:00");
  EXPECT_EQ(FormatElapsed(59), "00:00:59");
  EXPECT_EQ(FormatElapsed(3725), "01:02:05");
  EXPECT_EQ(FormatElapsed(360000), "100:00:00");
}

namespace {
// Dispatches the hot keys until `want` presses arrived or a second passed.
std::vector<int> Collect(platform::GlobalHotKeys& keys, std::vector<int>& got, size_t want) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (got.size() < want && std::chrono::steady_clock::now() < end) {
    keys.DispatchPending();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return got;
}
}  // namespace

TEST(GlobalHotKeys, PressReachesItsSlotAndAKeyHeldElsewhereCannotBeRegistered) {
  // Another client takes F9 first.
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  KeyCode f9 = XKeysymToKeycode(other, XK_F9);
  XGrabKey(other, f9, 0, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
  XSync(other, False);

  std::vector<int> got;
  auto keys = platform::GlobalHotKeys::Create([&](int id) { got.push_back(id); });
  ASSERT_NE(keys, nullptr);
  EXPECT_FALSE(keys->Register(1, 0, 0x78));  // F9: taken
  EXPECT_TRUE(keys->Register(2, 0, 0x79));   // F10
  EXPECT_TRUE(keys->Register(3, platform::kModControl, 0x7A));  // Ctrl+F11
  EXPECT_FALSE(keys->Register(4, 0, 0x1234));  // no such key

  xtest::Key("F10");
  EXPECT_EQ(Collect(*keys, got, 1), (std::vector<int>{2}));
  xtest::Key("F11");  // without Ctrl: not our combination
  xtest::Key("F10");
  EXPECT_EQ(Collect(*keys, got, 2), (std::vector<int>{2, 2}));

  keys->Unregister(2);
  xtest::Key("F10");
  Collect(*keys, got, 3);
  EXPECT_EQ(got.size(), 2u);

  // Once the other client lets go, F9 can be ours.
  XUngrabKey(other, f9, 0, DefaultRootWindow(other));
  XCloseDisplay(other);
  EXPECT_TRUE(keys->Register(1, 0, 0x78));
  xtest::Key("F9");
  EXPECT_EQ(Collect(*keys, got, 3).back(), 1);
}
