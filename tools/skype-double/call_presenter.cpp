#include "call_presenter.h"

#include <algorithm>

#include "call_scene.h"
#include "call_timeline.h"

namespace call {
namespace {

using namespace std::chrono_literals;

// How far ahead of the listener the sound is written: the flash follows the
// device's clock, not this, so it only has to leave room for a late wake on a
// busy machine (a 40 ms stream ran dry there and skewed the clock).
constexpr std::chrono::milliseconds kLatency{120};
// The writer wakes at least this often to top the stream up.
constexpr auto kFillPeriod = 10ms;
// The moving picture's pace, that of the recorder's grab.
constexpr auto kPicturePeriod = 40ms;
// Outside a call nothing moves; the page is drawn again now and then in
// case something covered the window.
constexpr auto kIdlePeriod = 500ms;
constexpr auto kPlaybackRetry = 1s;
// Within this of a flash's edge the wait goes by short steps, each ending
// with a fresh look at the device's clock.
constexpr auto kEdgeApproach = 3ms;
constexpr auto kEdgeStep = 250us;

std::string VoiceText(const std::string& contact) {
  return "Hello, this is " + contact +
         " on the far side of the call. Can you hear me well? I am speaking from far away, "
         "and every now and then you will hear a beep. One, two, three, four, five.";
}

}  // namespace

CallPresenter::CallPresenter(platform::WindowId window, std::string contact, bool inCall, Log log)
    : window_(window),
      contact_(std::move(contact)),
      log_(std::move(log)),
      inCall_(inCall),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

CallPresenter::~CallPresenter() {
  thread_.request_stop();
  changed_.notify_all();
}

void CallPresenter::SetInCall(bool inCall) {
  {
    std::lock_guard lock(mutex_);
    inCall_ = inCall;
    dirty_ = true;
  }
  changed_.notify_all();
}

void CallPresenter::SetAudioOut(const std::string& description) {
  {
    std::lock_guard lock(mutex_);
    audioOut_ = description;
    dirty_ = true;
  }
  changed_.notify_all();
}

void CallPresenter::Run(std::stop_token stop) {
  try {
    painter_ = platform::WindowPainter::Create(window_);
    if (!painter_) log_("picture unavailable: the main window cannot be drawn");
    while (!stop.stop_requested()) {
      bool inCall;
      std::string audioOut;
      {
        std::lock_guard lock(mutex_);
        inCall = inCall_;
        audioOut = audioOut_;
        dirty_ = false;
      }
      const Clock::duration wait = inCall ? CallStep(audioOut) : IdleStep();
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, stop, wait, [this] { return dirty_; });
    }
  } catch (const std::exception& e) {
    log_(std::string("the call stopped: ") + e.what());
  }
  playback_.reset();
}

CallPresenter::Clock::duration CallPresenter::CallStep(const std::string& audioOut) {
  if (!sound_) {
    // Spoken once, when the first call needs it; a double that never calls
    // costs its tests nothing.
    std::string error;
    auto voice = SpeakText(VoiceText(contact_), &error);
    if (!voice) log_("voice unavailable: " + error + "; the far side only beeps");
    sound_ = std::make_unique<FarSideSound>(voice.value_or(std::vector<std::int16_t>{}));
  }
  const auto now = Clock::now();
  if (!callShown_) {
    callShown_ = true;
    flashShown_.reset();
    streamBase_ = lastPosition_ = 0;
    lastPositionAt_ = nextPicture_ = retryPlaybackAt_ = now;
    log_("call started");
  }
  EnsurePlayback(audioOut);
  Fill();
  const std::int64_t position = Position();
  const bool flash = InFlash(position);
  if (painter_ && (flash != flashShown_ || Clock::now() >= nextPicture_)) {
    DrawCall(*painter_, {position * 1000 / kRate, flash, sound_->VoiceLevel(position), contact_});
    if (!painter_->Present()) {
      log_("picture stopped: the main window has gone");
      painter_.reset();
    }
    flashShown_ = flash;
    nextPicture_ = now + kPicturePeriod;
  }
  // Until the next edge by the device's clock, the next picture or the
  // next top-up, whichever comes first.
  const auto toEdge =
      std::chrono::microseconds((NextFlashEdge(position) - position) * 1'000'000 / kRate);
  Clock::duration wait = std::min<Clock::duration>(kFillPeriod, nextPicture_ - Clock::now());
  wait = std::min<Clock::duration>(
      wait, toEdge > kEdgeApproach ? toEdge - kEdgeApproach / 2 : Clock::duration(kEdgeStep));
  return std::max<Clock::duration>(wait, Clock::duration::zero());
}

CallPresenter::Clock::duration CallPresenter::IdleStep() {
  if (callShown_) {
    callShown_ = false;
    playback_.reset();
    playingOn_.clear();
    log_("call ended");
  }
  if (painter_) {
    DrawIdle(*painter_, contact_);
    if (!painter_->Present()) painter_.reset();
  }
  return kIdlePeriod;
}

void CallPresenter::EnsurePlayback(const std::string& audioOut) {
  if (playback_ && (audioOut != playingOn_ || !playback_->Healthy())) {
    // The call goes on where the listener is; what was written ahead for
    // the old device is dropped.
    lastPosition_ = Position();
    lastPositionAt_ = Clock::now();
    if (audioOut == playingOn_) log_("playback lost on " + playingOn_);
    playback_.reset();
  }
  if (playback_ || Clock::now() < retryPlaybackAt_) return;
  const std::int64_t position = Position();
  std::string error;
  auto opened = platform::TimedPlayback::Open(audioOut, kLatency, &error);
  const std::string device = audioOut.empty() ? "the default device" : audioOut;
  if (!opened) {
    // Said once; the device may yet appear, so it is tried again meanwhile.
    const std::string line = "cannot play on " + device + ": " + error;
    if (line != lastPlaybackError_) log_(line);
    lastPlaybackError_ = line;
    retryPlaybackAt_ = Clock::now() + kPlaybackRetry;
    return;
  }
  lastPlaybackError_.clear();
  playback_ = std::move(opened);
  streamBase_ = lastPosition_ = position;
  lastPositionAt_ = Clock::now();
  playingOn_ = audioOut;
  log_("playing on " + device);
}

void CallPresenter::Fill() {
  if (!playback_) return;
  const std::size_t frames = playback_->WritableFrames();
  if (frames == 0) return;
  chunk_.resize(frames * 2);
  sound_->Render(streamBase_ + playback_->framesWritten(), chunk_);
  playback_->Write(chunk_);
}

// The call frame being heard now: the device's own position while there is
// a stream, else the steady clock carried on from the last known position.
std::int64_t CallPresenter::Position() {
  const auto now = Clock::now();
  if (playback_) {
    if (auto playing = playback_->PlayingFrame()) {
      lastPosition_ = streamBase_ + *playing;
      lastPositionAt_ = now;
      return lastPosition_;
    }
    return lastPosition_;  // the stream has not started: the call waits for it
  }
  const auto since = std::chrono::duration_cast<std::chrono::microseconds>(now - lastPositionAt_);
  return lastPosition_ + since.count() * kRate / 1'000'000;
}

}  // namespace call
