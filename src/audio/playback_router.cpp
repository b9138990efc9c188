#include "audio/playback_router.h"

#include <algorithm>

namespace audio {

namespace {

const platform::SoundDevice* Find(const std::vector<platform::SoundDevice>& devices,
                                  const std::string& name) {
  const auto it = std::find_if(devices.begin(), devices.end(),
                               [&](const auto& d) { return !name.empty() && d.name == name; });
  return it == devices.end() ? nullptr : &*it;
}

bool Usable(const std::vector<platform::SoundDevice>& devices, const std::string& name) {
  return !IsLoopbackDevice(name) && Find(devices, name);
}

std::string Shown(const std::vector<platform::SoundDevice>& devices, const std::string& name) {
  const auto* d = Find(devices, name);
  return "\"" + (d && !d->description.empty() ? d->description : name) + "\"";
}

}  // namespace

void PlaybackRouter::Learn(const ServerView& view) {
  // While the loopback is there, only the user (or a program acting for
  // the user) makes another device the default. Once it has gone, the
  // server picks one of its own accord: that is no choice of the user's.
  if ((view.ours.complete() || !made_) && Usable(view.sinks, view.defaultSink))
    user_.sink = view.defaultSink;
  if (Usable(view.sources, view.defaultSource)) user_.source = view.defaultSource;
}

std::string PlaybackRouter::Target(const ServerView& view) const {
  if (Usable(view.sinks, user_.sink)) return user_.sink;
  // The user's device is gone (or was never known): the first other one
  // the server lists stands in, until it comes back.
  for (const auto& s : view.sinks)
    if (!IsLoopbackDevice(s.name)) return s.name;
  return {};
}

void PlaybackRouter::SayWhereHeard(const ServerView& view, const std::string& target,
                                   RouteSteps& steps) {
  if (heardOn_ == target) return;
  if (target.empty())
    steps.said.push_back("no playback device but the loopback: the call cannot be heard");
  else if (target == user_.sink)
    steps.said.push_back("the call is heard on " + Shown(view.sinks, target));
  else
    steps.said.push_back("the call is heard on " + Shown(view.sinks, target) + " while the chosen " +
                         (user_.sink.empty() ? std::string("device is unknown")
                                             : "\"" + user_.sink + "\" is missing"));
  heardOn_ = target;
}

RouteSteps PlaybackRouter::Follow(const ServerView& view) {
  RouteSteps steps;
  Learn(view);
  if (!view.ours.complete()) {
    if (made_) steps.said.push_back("the loopback device was removed; it is made again");
    made_ = true;
    steps.remakeLoopback = true;
    // A new device may become the server's default of its own accord.
    steps.defaultSink = kLoopbackSinkName;
    if (Usable(view.sources, user_.source)) steps.defaultSource = user_.source;
    return steps;
  }
  made_ = true;
  if (view.defaultSink != kLoopbackSinkName) steps.defaultSink = kLoopbackSinkName;
  if (!Usable(view.sources, view.defaultSource) && Usable(view.sources, user_.source) &&
      view.defaultSource != user_.source)
    steps.defaultSource = user_.source;

  const std::string target = Target(view);
  if (!target.empty()) user_.heard = target;
  if (target.empty()) {
    steps.dropForward = view.ours.forward.has_value();
  } else if (!view.ours.forward || view.ours.forwardTarget != target) {
    steps.dropForward = view.ours.forward.has_value();
    steps.forwardTo = target;
  }
  SayWhereHeard(view, target, steps);
  return steps;
}

}  // namespace audio
