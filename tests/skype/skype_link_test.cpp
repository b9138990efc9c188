// The link against the call-client double running as its own process.
#include <gtest/gtest.h>

#include <algorithm>

#include "double_process.h"
#include "recorder_side.h"

using namespace std::chrono_literals;

namespace {

size_t CountLogged(const RecorderSide& side, const std::string& line) {
  return static_cast<size_t>(std::count(side.log.begin(), side.log.end(), line));
}

}  // namespace

TEST(SkypeLink, AttachStatusesDecideWhenCommandsGoOut) {
  DoubleProcess client({"--status", "1"});
  RecorderSide side;
  EXPECT_EQ(0, side.link.SendCommand("GET USERSTATUS"));  // not even discovered yet

  ASSERT_EQ(1, side.link.Connect(side.window.get()));
  // Our own broadcast reaches our own window and is consumed there.
  EXPECT_TRUE(side.Logged("Received message : SkypeDiscover"));
  EXPECT_TRUE(side.PumpUntil([&] { return side.Logged("!!! Pending authorization"); }));
  EXPECT_EQ(0, side.link.IsConnected());
  EXPECT_EQ(0, side.link.SendCommand("GET USERSTATUS"));

  const std::pair<const char*, const char*> statuses[] = {
      {"2", "!!! Connection refused"},
      {"3", "!!! Skype API not available"},
      {"0x8001", "!!! Try connect now (API available);"}};
  for (const auto& [status, line] : statuses) {
    client.Script(std::string("!attach ") + status);
    EXPECT_TRUE(side.PumpUntil([&] { return side.Logged(line); })) << line;
    EXPECT_EQ(0, side.link.IsConnected()) << status;
  }
  const size_t logged = side.log.size();
  client.Script("!attach 7");
  EXPECT_TRUE(side.PumpUntil(
      [&] { return client.Log().find("attach 7 delivered") != std::string::npos; }));
  side.PumpFor(100ms);
  EXPECT_EQ(logged, side.log.size());  // an unknown status says nothing
  EXPECT_EQ(0, side.link.IsConnected());
  EXPECT_TRUE(client.Commands().empty());
  // No new discovery was ever broadcast.
  const auto lines = client.LogLines();
  EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.rfind("discover ", 0) == 0; }));

  client.Script("!attach 0");
  EXPECT_TRUE(side.PumpUntil([&] { return side.link.IsConnected() != 0; }));
  EXPECT_EQ(client.apiWindow(), side.link.skypeWindow());
  EXPECT_TRUE(side.Logged("!!! Connected;"));
  EXPECT_EQ(1, side.link.SendCommand("GET %s", "USERSTATUS"));
  EXPECT_EQ(std::vector<std::string>{"GET USERSTATUS"}, client.Commands());
  EXPECT_TRUE(client.WaitFor("bytes 15\n"));  // the terminator travels with the text
}

TEST(SkypeLink, LongCommandsAreCutAndRejectedOnesLogTheirFormat) {
  {
    DoubleProcess client({"--status", "0"});
    RecorderSide side;
    ASSERT_EQ(1, side.link.Connect(side.window.get()));
    ASSERT_TRUE(side.link.IsConnected());
    EXPECT_EQ(1, side.link.SendCommand("MESSAGE %s", std::string(2000, 'a').c_str()));
    ASSERT_EQ(1u, client.Commands().size());
    EXPECT_EQ("MESSAGE " + std::string(1015, 'a'), client.Commands()[0]);
    EXPECT_TRUE(client.WaitFor("bytes 1024\n"));
    const char* empty = "";
    EXPECT_EQ(0, side.link.SendCommand(empty));
    EXPECT_EQ(0, side.link.SendCommand(nullptr));
    EXPECT_EQ(1u, client.Commands().size());
  }
  {
    DoubleProcess client({"--status", "0", "--reject"});
    RecorderSide side;
    ASSERT_EQ(1, side.link.Connect(side.window.get()));
    EXPECT_EQ(0, side.link.SendCommand("GET %s", "CONNSTATUS"));
    EXPECT_EQ(1u, client.Commands().size());  // delivered once, never retried
    EXPECT_TRUE(side.Logged("Send message [GET %s] failed"));
  }
}

TEST(SkypeLink, ClientThatWentAwayLeavesTheLinkDownQuietly) {
  RecorderSide side;
  {
    DoubleProcess client({"--status", "0"});
    ASSERT_EQ(1, side.link.Connect(side.window.get()));
    ASSERT_TRUE(side.link.IsConnected());
  }
  EXPECT_EQ(0, side.link.IsConnected());
  const size_t lines = side.log.size();
  EXPECT_EQ(0, side.link.SendCommand("FOCUS"));
  EXPECT_EQ(lines, side.log.size());
}

TEST(SkypeLink, NotificationsFromTheClientReachTheParser) {
  DoubleProcess client({"--status", "0"});
  RecorderSide side;
  ASSERT_EQ(1, side.link.Connect(side.window.get()));
  client.Script("CONTACTS FOCUSED alice");
  client.Script("CALL,1234;STATUS\tINPROGRESS");
  ASSERT_TRUE(side.PumpUntil([&] { return side.events.size() == 2; }));
  EXPECT_EQ("alice", side.events[0].value);
  EXPECT_EQ("INPROGRESS", side.events[1].value);
  EXPECT_EQ(1234, side.link.callId());
  EXPECT_TRUE(side.Logged("Message from Skype(0): CONTACTS FOCUSED alice\n"));
}

TEST(SkypeLink, HostileInputIsRefusedOrSurvived) {
  DoubleProcess client({"--status", "0"});
  RecorderSide side;
  ASSERT_EQ(1, side.link.Connect(side.window.get()));

  // A window that never attached cannot speak for the client.
  client.Script("!from-other CALL 1 STATUS INPROGRESS");
  ASSERT_TRUE(side.PumpUntil([&] { return side.unhandledCopies == 1; }));
  EXPECT_TRUE(side.events.empty());
  EXPECT_EQ(0, side.link.callId());

  // A flood of attach messages: each is taken, none changes the link.
  client.Script("!flood 3000");
  EXPECT_TRUE(side.PumpUntil(
      [&] { return CountLogged(side, "!!! Pending authorization") == 3000; }, 10s));
  EXPECT_EQ(client.apiWindow(), side.link.skypeWindow());

  // As many separators as one record holds.
  client.Script(std::string(1023, ';'));
  client.Script("CALL 9 STATUS RINGING");
  ASSERT_TRUE(side.PumpUntil([&] { return side.events.size() == 1; }));
  EXPECT_EQ("RINGING", side.events[0].value);
  EXPECT_EQ(1, side.link.IsConnected());
}

TEST(SkypeLink, AttachAndCopyRulesWithoutTheClient) {
  RecorderSide side;
  ASSERT_EQ(1, side.link.Connect(side.window.get()));
  const auto attach = platform::RegisterWindowMessage(skype::kAttachName);
  const auto discover = platform::RegisterWindowMessage(skype::kDiscoverName);

  // Before any client attached, a record with no sender matches the
  // client's (null) window and is parsed.
  const char text[] = "CALL 5 STATUS RINGING";
  platform::CopyData record{0, sizeof text, text};
  EXPECT_EQ(1, side.link.HandleWindowMessage(platform::WM_COPYDATA, 0, 0, &record));
  EXPECT_EQ(5, side.link.callId());

  EXPECT_EQ(1, side.link.HandleWindowMessage(attach, 1234, 0));
  EXPECT_EQ(1234u, side.link.skypeWindow());
  EXPECT_EQ(1, side.link.HandleWindowMessage(attach, 5678, 0));
  EXPECT_EQ(5678u, side.link.skypeWindow());  // a second "connected" replaces the first
  EXPECT_EQ(1, side.link.HandleWindowMessage(attach, 999, 1));
  EXPECT_EQ(5678u, side.link.skypeWindow());

  EXPECT_EQ(0, side.link.HandleWindowMessage(platform::WM_COPYDATA, 1234, 0, &record));
  EXPECT_EQ(1, side.link.HandleWindowMessage(discover, 42, 0));
  EXPECT_EQ(0, side.link.HandleWindowMessage(platform::WM_USER + 1, 0, 0));
}
