// The audio engine's rule for the sound server, tried on a model of the
// server that does what the steps say: the loopback is made and made the
// default, its sound goes where the user listens and follows the user's
// choice and the devices that come and go, and it is never sent into itself.
#include <gtest/gtest.h>

#include <algorithm>

#include "audio/playback_router.h"

using namespace audio;

namespace {

// A server that carries the steps out as the real one does.
struct FakeServer {
  ServerView view;

  FakeServer() {
    AddSink("speakers", "Speakers");
    AddSource("microphone", "Microphone");
    view.defaultSink = "speakers";
    view.defaultSource = "microphone";
  }
  void AddSink(const std::string& name, const std::string& description) {
    view.sinks.push_back({0, name, description, 0, false});
    view.sources.push_back({0, name + ".monitor", "Monitor of " + description, 0, true});
  }
  void AddSource(const std::string& name, const std::string& description) {
    view.sources.push_back({0, name, description, 0, false});
  }
  void RemoveSink(const std::string& name) {
    std::erase_if(view.sinks, [&](const auto& d) { return d.name == name; });
    std::erase_if(view.sources, [&](const auto& d) { return d.name == name + ".monitor"; });
    // The server ends a forward whose device went; a default that went is
    // replaced by the first device left.
    if (view.ours.forwardTarget == name) view.ours = {view.ours.sink, view.ours.source, {}, {}};
    if (view.defaultSink == name) view.defaultSink = view.sinks.empty() ? "" : view.sinks[0].name;
  }
  void RemoveLoopback() {
    RemoveSink(kLoopbackSinkName);
    std::erase_if(view.sources, [](const auto& d) { return d.name == kLoopbackSourceName; });
    view.ours = {};
  }
  void Apply(const RouteSteps& s) {
    if (s.remakeLoopback) {
      RemoveLoopback();
      AddSink(kLoopbackSinkName, kLoopbackSinkDescription);
      AddSource(kLoopbackSourceName, kLoopbackSourceDescription);
      view.ours = {1, 2, {}, {}};
      // What a server may do with a new device of its own accord.
      view.defaultSource = kLoopbackSourceName;
    }
    if (s.defaultSink) view.defaultSink = *s.defaultSink;
    if (s.defaultSource) view.defaultSource = *s.defaultSource;
    if (s.dropForward) view.ours.forward.reset(), view.ours.forwardTarget.clear();
    if (s.forwardTo) view.ours.forward = 3, view.ours.forwardTarget = *s.forwardTo;
  }
  // Follows until nothing is left to do, as the engine does; the lines said.
  std::vector<std::string> Settle(PlaybackRouter& router) {
    std::vector<std::string> said;
    for (int round = 0; round < 4; ++round) {
      const RouteSteps s = router.Follow(view);
      said.insert(said.end(), s.said.begin(), s.said.end());
      if (s.empty()) return said;
      Apply(s);
    }
    ADD_FAILURE() << "the rule never came to rest";
    return said;
  }
};

}  // namespace

TEST(PlaybackRouter, RoutesThroughTheLoopbackAndFollowsTheUsersSpeakersAsTheyComeAndGo) {
  FakeServer server;
  PlaybackRouter router;
  auto said = server.Settle(router);
  EXPECT_EQ(server.view.defaultSink, kLoopbackSinkName);
  EXPECT_EQ(server.view.defaultSource, "microphone") << "the near side would record the far side";
  EXPECT_EQ(server.view.ours.forwardTarget, "speakers");
  EXPECT_EQ(said, std::vector<std::string>{"the call is heard on \"Speakers\""});
  EXPECT_EQ(router.user(), (UserDefaults{"speakers", "microphone", "speakers"}));

  // The user picks headphones in the desktop's settings: heard there, and
  // the loopback is the default again. One line.
  server.AddSink("headphones", "Headphones");
  server.view.defaultSink = "headphones";
  said = server.Settle(router);
  EXPECT_EQ(server.view.ours.forwardTarget, "headphones");
  EXPECT_EQ(server.view.defaultSink, kLoopbackSinkName);
  EXPECT_EQ(router.user().sink, "headphones");
  EXPECT_EQ(said.size(), 1u);

  // Unplugged: the speakers stand in; plugged in again: back, and the
  // user's choice was never forgotten.
  server.RemoveSink("headphones");
  said = server.Settle(router);
  EXPECT_EQ(server.view.ours.forwardTarget, "speakers");
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("\"headphones\" is missing"), std::string::npos) << said[0];
  EXPECT_EQ(router.user().sink, "headphones");
  EXPECT_EQ(router.user().heard, "speakers");  // given back if the headphones stay away
  server.AddSink("headphones", "Headphones");
  said = server.Settle(router);
  EXPECT_EQ(server.view.ours.forwardTarget, "headphones");
  EXPECT_EQ(said.size(), 1u);

  // Nothing changed: nothing to do, nothing said.
  const RouteSteps idle = router.Follow(server.view);
  EXPECT_TRUE(idle.empty());
  EXPECT_TRUE(idle.said.empty());
}

TEST(PlaybackRouter, TheLoopbackIsNeverItsOwnTargetAndIsMadeAgainWhenRemoved) {
  FakeServer server;
  PlaybackRouter router;
  server.Settle(router);

  // Removed by the user mid-call: made again, and the device the server
  // fell back to meanwhile is not taken for the user's choice.
  server.AddSink("hdmi", "HDMI");
  server.RemoveLoopback();
  server.view.defaultSink = "hdmi";
  auto said = server.Settle(router);
  EXPECT_TRUE(server.view.ours.complete());
  EXPECT_EQ(server.view.defaultSink, kLoopbackSinkName);
  EXPECT_EQ(server.view.ours.forwardTarget, "speakers");
  EXPECT_EQ(router.user().sink, "speakers");
  EXPECT_NE(std::find(said.begin(), said.end(), "the loopback device was removed; it is made again"),
            said.end());

  // No playback device but the loopback: nothing forwards, once said.
  server.RemoveSink("hdmi");
  server.RemoveSink("speakers");
  said = server.Settle(router);
  EXPECT_FALSE(server.view.ours.forward);
  EXPECT_EQ(said, std::vector<std::string>{
                      "no playback device but the loopback: the call cannot be heard"});
  // Even a user who picks the loopback itself never has it forwarded to.
  server.view.defaultSink = kLoopbackSinkName;
  EXPECT_FALSE(router.Follow(server.view).forwardTo);

  // An engine that starts where an earlier one left the loopback default
  // keeps the user's choice it was told of.
  FakeServer after;
  RouteSteps leftBehind;
  leftBehind.remakeLoopback = true;
  leftBehind.defaultSink = kLoopbackSinkName;
  after.Apply(leftBehind);
  PlaybackRouter told(UserDefaults{"speakers", "microphone", ""});
  after.Settle(told);
  EXPECT_EQ(after.view.ours.forwardTarget, "speakers");
  EXPECT_EQ(after.view.defaultSource, "microphone");
}
