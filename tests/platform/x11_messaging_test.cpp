// The desktop messaging layer against a real X server and a real second
// program (message_peer).
#include "platform/x11_messaging.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <vector>

#include "peer_messages.h"
#include "peer_process.h"
#include "platform/x11_windows.h"

using namespace platform;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Seen {
  MessageId message;
  WParam w;
  LParam l;
  std::string copy;
};

// A message window of the test process that records what reaches it.
struct Recorder {
  std::vector<Seen> seen;
  std::unique_ptr<MessageWindow> window;
  explicit Recorder(const std::string& cls = "MessagingTest") {
    window = MessageWindow::Create({cls, "recorder"}, [this](MessageId m, WParam w, LParam l,
                                                             const CopyData* cd) -> LResult {
      seen.push_back({m, w, l, cd ? std::string(static_cast<const char*>(cd->data), cd->size) : ""});
      if (m == peer::kCallBackInner) return l * 2;
      return 5;
    });
  }
  // Dispatches until `count` messages were seen or the bound passed.
  bool PumpUntil(size_t count, std::chrono::milliseconds bound = 3s) {
    auto deadline = Clock::now() + bound;
    while (seen.size() < count && Clock::now() < deadline) {
      pollfd p{window->fd(), POLLIN, 0};
      if (!window->HasPending()) poll(&p, 1, 20);
      window->DispatchPending();
    }
    return seen.size() >= count;
  }
};

}  // namespace

TEST(X11Messaging, RegisteredNamesGiveTheSameIdInEveryProcess) {
  PeerProcess peer("PeerA");
  const MessageId id = RegisterWindowMessage(peer::kRegisteredName);
  EXPECT_GT(id, 0xFFFFu);  // never a fixed id nor WM_USER + n
  EXPECT_EQ(id, RegisterWindowMessage(peer::kRegisteredName));
  EXPECT_EQ(id, peer.registered());
  EXPECT_NE(id, RegisterWindowMessage("SomeOtherName"));
  EXPECT_EQ(0u, RegisterWindowMessage(""));

  Recorder me;
  EXPECT_EQ(77, me.window->Send(peer.window(), id, 0, 0).value_or(-1));
}

TEST(X11Messaging, SendReturnsTheResultAndPostArrives) {
  PeerProcess peer("PeerA");
  Recorder me;
  EXPECT_EQ(42, me.window->Send(peer.window(), peer::kAdd, 40, 2).value_or(-1));
  // Negative values survive the 32-bit wire.
  EXPECT_EQ(-7, me.window->Send(peer.window(), peer::kAdd, 3, -10).value_or(0));
  EXPECT_TRUE(me.window->Post(peer.window(), peer::kNote, 12, 34));
  EXPECT_TRUE(PostWindowMessage(peer.window(), peer::kNote, 56, -1));
  EXPECT_TRUE(peer.WaitForLog("note 12 34\nnote 56 -1\n"));
}

TEST(X11Messaging, ReceiverThatCallsBackDuringTheSendIsAnswered) {
  PeerProcess peer("PeerA");
  Recorder me;
  auto result = me.window->Send(peer.window(), peer::kCallBack, me.window->id(), 21);
  EXPECT_EQ(1042, result.value_or(-1));
  ASSERT_EQ(1u, me.seen.size());
  EXPECT_EQ(peer::kCallBackInner, me.seen[0].message);
}

TEST(X11Messaging, DeadOrSilentReceiversDoNotHangTheSender) {
  Recorder me;
  {
    PeerProcess peer("PeerA");
    const WindowId gone = peer.window();
    peer.Kill();
    auto start = Clock::now();
    EXPECT_FALSE(me.window->Send(gone, peer::kAdd, 1, 1, 2000ms));
    EXPECT_FALSE(me.window->SendCopyData(gone, "x", 2, 2000ms));
    EXPECT_FALSE(me.window->Post(gone, peer::kNote, 1, 1));
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_LT(Clock::now() - start, 500ms);
  }
  {
    PeerProcess peer("PeerA");
    EXPECT_TRUE(IsWindow(peer.window()));
    auto start = Clock::now();
    EXPECT_FALSE(me.window->Send(peer.window(), peer::kHang, 0, 3000, 300ms));
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 1500ms);
  }
  {
    // Dies while we wait: noticed at once, not at the end of the bound.
    PeerProcess peer("PeerA");
    auto start = Clock::now();
    EXPECT_FALSE(me.window->Send(peer.window(), peer::kDie, 0, 0, 5000ms));
    EXPECT_LT(Clock::now() - start, 2000ms);
  }
  EXPECT_FALSE(me.window->Send(0, peer::kAdd, 1, 1));
}

TEST(X11Messaging, CopyDataArrivesWholeAndTerminated) {
  PeerProcess peer("PeerA");
  Recorder me;
  EXPECT_EQ(6, me.window->SendCopyData(peer.window(), "hello", 6, 2000ms, 9).value_or(-1));
  // No terminator from the sender: the receiver still gets terminated text.
  EXPECT_EQ(3, me.window->SendCopyData(peer.window(), "abcdef", 3).value_or(-1));
  EXPECT_EQ(0, me.window->SendCopyData(peer.window(), nullptr, 0).value_or(-1));
  std::string big(kMaxCopyData - 1, 'x');
  EXPECT_EQ(1024, me.window->SendCopyData(peer.window(), big.c_str(), kMaxCopyData).value_or(-1));
  std::string tooBig(kMaxCopyData + 1, 'y');
  EXPECT_FALSE(me.window->SendCopyData(peer.window(), tooBig.data(), kMaxCopyData + 1));
  EXPECT_TRUE(peer.WaitForLog("copy 0 1024 terminated " + big + "\n"));
  std::string log = peer.Log();
  EXPECT_NE(std::string::npos, log.find("copy 9 6 terminated hello\n"));
  EXPECT_NE(std::string::npos, log.find("copy 0 3 terminated abc\n"));
  EXPECT_NE(std::string::npos, log.find("copy 0 0 terminated \n"));
  EXPECT_EQ(std::string::npos, log.find("yyy"));
}

TEST(X11Messaging, BroadcastReachesEveryMessageWindowIncludingItsOwn) {
  PeerProcess peer("PeerA");
  Recorder me;
  const int answered = me.window->Broadcast(peer::kNote, 7, 8, 1000ms);
  EXPECT_GE(answered, 2);
  EXPECT_TRUE(peer.WaitForLog("note 7 8\n"));
  ASSERT_FALSE(me.seen.empty());
  EXPECT_EQ(peer::kNote, me.seen[0].message);
}

TEST(X11Messaging, WindowsOfOneThreadTalkDirectly) {
  Recorder a("TestA"), b("TestB");
  // No loop runs for b: only a direct call can answer.
  EXPECT_EQ(5, a.window->Send(b.window->id(), peer::kNote, 1, 2, 200ms).value_or(-1));
  EXPECT_EQ(5, a.window->SendCopyData(b.window->id(), "hi", 3).value_or(-1));
  ASSERT_EQ(2u, b.seen.size());
  EXPECT_EQ(a.window->id(), b.seen[1].w);
  EXPECT_EQ(std::string("hi\0", 3), b.seen[1].copy);
}

TEST(X11Messaging, AFloodOfPostsIsDispatchedInBatches) {
  Recorder me;
  for (int i = 0; i < 3000; ++i) ASSERT_TRUE(me.window->Post(me.window->id(), peer::kNote, i, 0));
  me.window->DispatchPending();
  EXPECT_LE(me.seen.size(), 256u);  // one call never runs unbounded
  EXPECT_TRUE(me.PumpUntil(3000));
  EXPECT_EQ(2999u, me.seen.back().w);
}

TEST(X11Windows, FindsAProcessWindowsWithClassTitleAndVisibility) {
  PeerProcess shown("PeerShown", true);
  PeerProcess hidden("PeerHidden", false);
  EXPECT_EQ(shown.window(), FindTopLevelWindow(std::string("PeerShown"), std::nullopt));
  EXPECT_EQ(hidden.window(), FindTopLevelWindow(std::string("PeerHidden"), std::string("message peer")));
  EXPECT_EQ(0u, FindTopLevelWindow(std::string("PeerShown"), std::string("other title")));
  EXPECT_EQ(0u, FindTopLevelWindow(std::string("peershown"), std::nullopt));

  auto windows = TopLevelWindowsOf(shown.pid());
  ASSERT_EQ(1u, windows.size());
  EXPECT_EQ(shown.window(), windows[0].id);
  EXPECT_TRUE(windows[0].visible);
  EXPECT_TRUE(windows[0].enabled);
  EXPECT_EQ("PeerShown", windows[0].className);
  EXPECT_EQ("message peer", windows[0].title);
  // A plain window, decorated by any window manager.
  EXPECT_EQ(0u, windows[0].style & style::WS_POPUP);
  EXPECT_EQ(style::WS_CAPTION, windows[0].style & style::WS_CAPTION);

  auto hiddenWindows = TopLevelWindowsOf(hidden.pid());
  ASSERT_EQ(1u, hiddenWindows.size());
  EXPECT_FALSE(hiddenWindows[0].visible);
}
