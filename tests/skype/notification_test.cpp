// Notifications from the call client: tokens, the link's call state and the
// events sent to the recorder's window.
#include <gtest/gtest.h>

#include <time.h>

#include "recorder_side.h"

using skype::SplitNotification;
using Tokens = std::vector<std::string>;

TEST(SkypeNotifications, SplitAtRunsOfAnySeparator) {
  EXPECT_EQ((Tokens{"CALL", "1234", "STATUS", "INPROGRESS"}),
            SplitNotification("CALL,1234;STATUS\tINPROGRESS"));
  EXPECT_EQ((Tokens{"USERS", "alice", "bob"}), SplitNotification("  USERS alice,, ;bob\t"));
  EXPECT_TRUE(SplitNotification(nullptr).empty());
  EXPECT_TRUE(SplitNotification(std::string(1'000'000, ',').c_str()).empty());
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

class ParseNotificationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(side.window);
    ASSERT_EQ(1, side.link.Connect(side.window.get()));
    side.events.clear();
  }
  std::string Status() {
    std::string s;
    side.link.GetCallStatus(s);
    return s;
  }
  std::string Focused() {
    std::string s;
    side.link.GetFocusedContact(s);
    return s;
  }
  RecorderSide side;
};

TEST_F(ParseNotificationTest, FocusAndCallStatusAreKeptAndAnnounced) {
  EXPECT_EQ(1, side.link.ParseNotification("CONTACTS FOCUSED alice"));
  EXPECT_EQ(1, side.link.ParseNotification("CALL 1234 STATUS INPROGRESS"));
  ASSERT_EQ(2u, side.events.size());
  EXPECT_EQ(skype::kWmSkypeFocus, side.events[0].message);
  EXPECT_EQ("alice", side.events[0].value);
  EXPECT_EQ(skype::kWmSkypeCallStatus, side.events[1].message);
  EXPECT_EQ("INPROGRESS", side.events[1].value);
  EXPECT_EQ("alice", Focused());
  EXPECT_EQ("INPROGRESS", Status());
  EXPECT_EQ(1234, side.link.callId());

  // The understood form does not depend on which separators are used.
  EXPECT_EQ(1, side.link.ParseNotification("CALL,77;STATUS\tRINGING"));
  EXPECT_EQ("RINGING", Status());
  EXPECT_EQ(77, side.link.callId());
  EXPECT_EQ(3u, side.events.size());

  // A million separators of every kind between the words, and half a million
  // words after them, in far less than a second of this thread's time (the
  // clock on the wall depends on the rest of the machine).
  std::string flood = "CALL";
  for (int i = 0; i < 1'000'000; ++i) flood += " ,;\t"[i % 4];
  flood += "8 STATUS ONHOLD";
  for (int i = 0; i < 500'000; ++i) flood += ",w";
  const double start = ThreadSeconds();
  EXPECT_EQ(1, side.link.ParseNotification(flood.c_str()));
  EXPECT_LT(ThreadSeconds() - start, 1.0);
  EXPECT_EQ("ONHOLD", Status());
  EXPECT_EQ(8, side.link.callId());
}

TEST_F(ParseNotificationTest, FailedOrMissedCallsForgetTheIdAfterTheEvent) {
  side.link.ParseNotification("CALL 1234 STATUS FAILED");
  ASSERT_EQ(1u, side.events.size());
  EXPECT_EQ(1234, side.events[0].callIdDuring);  // still known while the window reacts
  EXPECT_EQ(0, side.link.callId());
  EXPECT_EQ("FAILED", Status());
  side.link.ParseNotification("CALL 55 STATUS MISSED");
  EXPECT_EQ(0, side.link.callId());
  EXPECT_EQ("MISSED", Status());
}

TEST_F(ParseNotificationTest, IncompleteOrForeignNotificationsChangeOnlyWhatTheyName) {
  side.link.ParseNotification("CONTACTS FOCUSED alice");
  side.link.ParseNotification("CALL 1 STATUS ROUTING");
  side.events.clear();

  EXPECT_EQ(1, side.link.ParseNotification("CALL 1234 STATUS"));
  EXPECT_EQ(1234, side.link.callId());
  EXPECT_EQ(1, side.link.ParseNotification("CALL 4321 SUBJECT hello"));
  EXPECT_EQ(4321, side.link.callId());
  EXPECT_EQ(1, side.link.ParseNotification("CALL abc"));
  EXPECT_EQ(0, side.link.callId());  // not a number
  EXPECT_EQ(1, side.link.ParseNotification("CONTACTS FOCUSED"));
  EXPECT_EQ(1, side.link.ParseNotification("call 1 status inprogress"));
  EXPECT_EQ(1, side.link.ParseNotification("CHAT 12 STATUS INPROGRESS"));
  EXPECT_TRUE(side.events.empty());
  EXPECT_EQ("ROUTING", Status());
  EXPECT_EQ("alice", Focused());

  EXPECT_EQ(0, side.link.ParseNotification(nullptr));
  EXPECT_EQ(0, side.link.ParseNotification(""));
  EXPECT_EQ(0, side.link.ParseNotification(" ,;\t"));
  EXPECT_EQ(0, side.link.ParseNotification(std::string(1'000'000, ';').c_str()));
  EXPECT_TRUE(side.events.empty());
}

TEST_F(ParseNotificationTest, UsersReplyIsAnnouncedWithItsFirstValue) {
  EXPECT_EQ(1, side.link.ParseNotification("USERS bob, carol"));
  ASSERT_EQ(1u, side.events.size());
  EXPECT_EQ(skype::kWmSkypeUsers, side.events[0].message);
  EXPECT_EQ("bob", side.events[0].value);
  // Plenty of separators before the word do not matter.
  std::string padded = std::string(100000, ' ') + "USERS";
  EXPECT_EQ(1, side.link.ParseNotification(padded.c_str()));
  EXPECT_EQ(2u, side.events.size());
}
