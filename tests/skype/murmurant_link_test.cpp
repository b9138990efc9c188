// The real program with the call-client double beside it: attach, start-up
// commands, courtesy messages and hostile neighbours.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "double_process.h"
#include "platform/x11_messaging.h"
#include "skype/skype_client.h"
#include "support/program.h"

using namespace std::chrono_literals;

namespace {

const std::string kProgram = std::string(MURMURANT_BIN_DIR) + "/murmurant";

const std::vector<std::string> kStartup = {
    "PROTOCOL 99999", "GET SKYPEVERSION", "SEARCH FRIENDS",
    "GET USERSTATUS", "GET CONNSTATUS",   "FOCUS",
    "SET AUDIO_OUT Speaker (Plovander Loopline)"};

// Its own home and runtime folder, so that the single-instance lock and the
// settings of one test never meet another's.
class Recorder {
 public:
  Recorder() {
    std::filesystem::create_directories(dir_ / "home");
    std::filesystem::create_directories(dir_ / "run");
    program_.emplace(std::vector<std::string>{kProgram},
                     std::vector<std::string>{"HOME=" + (dir_ / "home"),
                                              "XDG_RUNTIME_DIR=" + (dir_ / "run"),
                                              "XDG_CONFIG_HOME=" + (dir_ / "home/.config"),
                                              "XDG_DATA_HOME=" + (dir_ / "home/.local/share")},
                     dir_ / "out.log");
  }
  ChildProgram& program() { return *program_; }

 private:
  TempDir dir_;
  std::optional<ChildProgram> program_;
};

std::string Courtesy(const std::string& who) { return "MESSAGE " + who + " " + skype::CourtesyText(); }

size_t CountOf(const std::vector<std::string>& v, const std::string& s) {
  return static_cast<size_t>(std::count(v.begin(), v.end(), s));
}

bool WaitForCommands(const DoubleProcess& client, size_t n, std::chrono::milliseconds bound = 20s) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  while (client.Commands().size() < n) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// Runs one script line and waits until the double has delivered it: any
// command the recorder sends in answer arrives before that.
void Notify(DoubleProcess& client, const std::string& line) {
  const size_t before = client.LogLines().size();
  client.Script(line);
  const std::string done = "notify " + line + " -> ";
  auto deadline = std::chrono::steady_clock::now() + 10s;
  for (;;) {
    auto lines = client.LogLines();
    for (size_t i = before; i < lines.size(); ++i)
      if (lines[i].rfind(done, 0) == 0) return;
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << line;
    std::this_thread::sleep_for(10ms);
  }
}

}  // namespace

TEST(RecorderWithClient, SendsTheStartupCommandsOnceInOrder) {
  DoubleProcess client({"--status", "0"});
  Recorder recorder;
  ASSERT_TRUE(WaitForCommands(client, kStartup.size()));
  std::this_thread::sleep_for(600ms);  // several more polls: nothing is repeated
  EXPECT_EQ(kStartup, client.Commands());
  EXPECT_TRUE(recorder.program().running());
}

TEST(RecorderWithClient, WaitsForTheUserToGrantAccess) {
  DoubleProcess client({"--status", "1,0@2000"});
  Recorder recorder;
  ASSERT_TRUE(WaitForCommands(client, kStartup.size()));
  EXPECT_EQ(kStartup, client.Commands());
  // Nothing went out before the client said "connected".
  auto lines = client.LogLines();
  auto connected = std::find(lines.begin(), lines.end(), "attach 0 delivered");
  ASSERT_NE(lines.end(), connected);
  EXPECT_NE(lines.end(), std::find(lines.begin(), connected, "attach 1 delivered"));
  EXPECT_TRUE(std::none_of(lines.begin(), connected,
                           [](const std::string& l) { return l.rfind("command ", 0) == 0; }));
}

TEST(RecorderWithClient, GreetsTheFocusedContactOnEveryCallInProgress) {
  DoubleProcess client({"--status", "0"});
  Recorder recorder;
  ASSERT_TRUE(WaitForCommands(client, kStartup.size()));

  Notify(client, "CALL 1 STATUS INPROGRESS");  // nobody focused yet: empty user field
  EXPECT_EQ(Courtesy(""), client.Commands().back());
  Notify(client, "CONTACTS FOCUSED alice");
  Notify(client, "CALL 1234 STATUS INPROGRESS");
  EXPECT_EQ(Courtesy("alice"), client.Commands().back());
  Notify(client, "CALL 1234 STATUS INPROGRESS");
  Notify(client, "call 1 status inprogress");
  Notify(client, "CALL 1234 STATUS RINGING");
  Notify(client, "CALL,1234;STATUS\tINPROGRESS");
  auto commands = client.Commands();
  EXPECT_EQ(1u, CountOf(commands, Courtesy("")));
  EXPECT_EQ(3u, CountOf(commands, Courtesy("alice")));
  EXPECT_EQ(kStartup.size() + 4, commands.size());
}

TEST(RecorderWithClient, HostileNeighboursChangeNothing) {
  DoubleProcess client({"--status", "0"});
  Recorder recorder;
  ASSERT_TRUE(WaitForCommands(client, kStartup.size()));
  client.Script("!from-other CALL 1 STATUS INPROGRESS");
  client.Script("!flood 5000");
  client.Script(std::string(1023, ','));
  Notify(client, "CALL 2 STATUS INPROGRESS");
  auto commands = client.Commands();
  EXPECT_EQ(kStartup.size() + 1, commands.size());  // only the real client's call
  EXPECT_EQ(Courtesy(""), commands.back());
  EXPECT_TRUE(recorder.program().running());
}

TEST(RecorderWithoutClient, StartsNormallyAndNeverRediscovers) {
  Recorder recorder;
  // The recorder's message window appears once it has initialised.
  auto deadline = std::chrono::steady_clock::now() + 15s;
  while (!platform::FindTopLevelWindow(std::string("MurmurantMainWindow"), std::nullopt) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  ASSERT_NE(0u, platform::FindTopLevelWindow(std::string("MurmurantMainWindow"), std::nullopt));
  // A client that starts later is never discovered: the poll only watches.
  DoubleProcess client({"--status", "0"});
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(recorder.program().running());
  EXPECT_EQ(std::string::npos, client.Log().find("discover"));
  EXPECT_TRUE(client.Commands().empty());
}
