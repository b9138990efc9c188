// The preview player's thread: one picture and one segment of sound per
// tick of the sound clock.
//
// Sound written into the clock's ring is heard two ticks later. So that
// picture and sound are in step from the first tick, the ring starts with
// the first three segments of sound in it and the first picture is shown
// as the device starts: from then on, tick t shows picture t while segment
// t plays, and writes segment t + 2.
#include <algorithm>
#include <cstring>
#include <exception>

#include "audio/loopback_device.h"
#include "base/log.h"
#include "media/player_shared.h"
#include "media/preview_surface.h"
#include "platform/sound_clock.h"

namespace media {

namespace {

// Without sound the clock runs on silence of this format.
constexpr int kSilentRate = 16'000;
constexpr int kSilentChannels = 1;
// The sound kept decoded ahead: a segment and a bit, as each tick takes one.
constexpr size_t kTopUpMargin = 1'000;
// A decoder may take a few packets before its first picture.
constexpr int kFirstPicturePackets = 64;

class Playback {
 public:
  explicit Playback(PlaybackSetup setup) : s_(std::move(setup)), shared_(*s_.shared) {}
  void Run();

 private:
  bool SetUp();
  bool WaitForTick();
  void Tick();
  void FeedSound(unsigned index);
  void TopUpSound();
  void ShowNext();
  void DecodeNext();
  void AdvancePosition();
  bool Finished() const;

  PlaybackSetup s_;
  PlayerShared& shared_;
  CMediaDecoder decoder_;
  StreamInfo info_;
  std::unique_ptr<DecodedFrame> video_, audio_;
  platform::CSoundClock clock_;
  int channels_ = 1;
  double total_ = 0;        // ticks of the whole recording
  int64_t tick_ = 0;        // the tick the position stands at
  int percent_ = -1;        // the last percent reported
  int64_t played_ = 0;      // segments the device has played since it started
  int64_t fed_ = 0;         // segments written into the ring
  int64_t lastSound_ = -1;  // the last segment written with sound in it
  std::vector<uint8_t> next_;      // the picture to show at the next tick, as decoded
  std::vector<uint8_t> hooked_;    // that picture after the hook
  std::vector<uint8_t> segment_;   // one segment on its way into the ring
  std::vector<uint8_t> pending_;   // decoded sound not yet in the ring
  bool videoExhausted_ = false;
  bool audioExhausted_ = false;
};

bool Playback::SetUp() {
  decoder_.Initialise();
  if (s_.file.empty() || decoder_.Open(s_.file.c_str()) != 1) return false;
  if (decoder_.GetStreamInfo(&info_) != 1 || decoder_.Seek(s_.startPercent * 0.01) != 1)
    return false;
  // A recording whose writer was killed has no length in its header; it
  // still plays to where it was written, with no position to show.
  total_ = TotalTicks(info_);
  tick_ = total_ > 0 ? static_cast<int64_t>(s_.startPercent * 0.01 * total_) : 0;
  if (info_.hasVideo) {
    video_ = decoder_.CreateVideoFrame();
    if (!video_) return false;
  }
  audio_ = decoder_.CreateAudioFrame();
  if (info_.hasAudio && (info_.channels > 2 || info_.channels < 0)) return false;

  const int rate = info_.hasAudio ? info_.sampleRate : kSilentRate;
  channels_ = info_.hasAudio ? std::max(1, info_.channels) : kSilentChannels;
  auto* wake = &shared_.wake;
  auto tick = [wake] {
    {
      std::lock_guard lock(wake->mutex);
      wake->tick = true;
    }
    wake->changed.notify_one();
  };
  // Heard where the user listens, never in the loopback: there it would be
  // recorded as the far side of a call.
  if (clock_.Open(tick, rate, ClockRate(info_), channels_, audio::ListeningDevice()) != 1)
    return false;
  segment_.assign(clock_.segmentBytes(), 0);

  if (video_) {
    // The first tick shows the first picture, never an empty buffer: black
    // until one decodes.
    const size_t luma = static_cast<size_t>(video_->width) * video_->height;
    next_.assign(video_->data.size(), 128);
    std::fill(next_.begin(), next_.begin() + static_cast<std::ptrdiff_t>(luma), 16);
    for (int i = 0; i < kFirstPicturePackets && !decoder_.VideoEnded(); ++i) {
      if (decoder_.DecodeVideoFrame(video_.get()) == 1) {
        next_.swap(video_->data);
        break;
      }
    }
  }
  // The ring starts with the first three segments; the fourth is written
  // at the first tick.
  for (unsigned i = 0; i + 1 < platform::CSoundClock::kSegments; ++i) FeedSound(i);
  return true;
}

void Playback::Run() {
  bool ready = SetUp();
  {
    std::lock_guard lock(shared_.wake.mutex);
    if (shared_.wake.stop) ready = false;  // stopped while setting up
  }
  if (ready && clock_.Start() == 1) {
    shared_.state = kPlaying;
    shared_.WithLease([&] {
      if (s_.events.started) s_.events.started();
    });
    if (video_) {
      ShowNext();
      DecodeNext();
    }
    while (WaitForTick() && clock_.Healthy()) {
      ++played_;
      if (Finished()) {
        AdvancePosition();  // the end of the last picture and sound
        break;
      }
      Tick();
    }
  }
  decoder_.Close();
  shared_.WithLease([&] {
    if (s_.events.ended) s_.events.ended();
  });
  shared_.state = kStopped;
  clock_.Close();
}

bool Playback::WaitForTick() {
  std::unique_lock lock(shared_.wake.mutex);
  shared_.wake.changed.wait(lock, [&] { return shared_.wake.tick || shared_.wake.stop; });
  if (shared_.wake.stop) return false;
  shared_.wake.tick = false;
  return true;
}

void Playback::Tick() {
  // The segment two ahead of the one playing now.
  const unsigned playing = clock_.PlayCursor() / clock_.segmentBytes();
  FeedSound((playing + 2) % platform::CSoundClock::kSegments);
  if (video_) {
    ShowNext();
    DecodeNext();
  }
  TopUpSound();
  AdvancePosition();
}

void Playback::FeedSound(unsigned index) {
  TopUpSound();
  const size_t take = std::min(pending_.size(), segment_.size());
  std::copy_n(pending_.begin(), take, segment_.begin());
  // Past the end of the sound, the segment is silence, never stale bytes.
  std::fill(segment_.begin() + static_cast<std::ptrdiff_t>(take), segment_.end(), 0);
  if (take > 0) lastSound_ = fed_;
  ++fed_;
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(take));
  if (info_.hasAudio && s_.soundHook)
    s_.soundHook(reinterpret_cast<int16_t*>(segment_.data()),
                 static_cast<int>(segment_.size() / 2), channels_);
  clock_.WriteSegment(segment_.data(), index);
}

void Playback::TopUpSound() {
  if (!info_.hasAudio || audioExhausted_) return;
  while (pending_.size() < segment_.size() + kTopUpMargin) {
    if (decoder_.DecodeAudio(audio_.get()) != 1) {
      audioExhausted_ = decoder_.AudioEnded();
      return;
    }
    const auto* bytes = audio_->data.data();
    pending_.insert(pending_.end(), bytes, bytes + static_cast<size_t>(audio_->count) * 2);
  }
}

void Playback::ShowNext() {
  const int w = video_->width, h = video_->height;
  const uint8_t* picture = next_.data();
  if (s_.pictureHook) {
    // The hook works on a copy: the decoded picture stays as it was, so a
    // picture shown again is not changed twice.
    hooked_.resize(next_.size());
    s_.pictureHook(next_.data(), hooked_.data(), w, h);
    picture = hooked_.data();
  }
  shared_.WithLease([&] { s_.surface->ShowFrame(picture, w, h); });
  std::lock_guard lock(shared_.shown.mutex);
  shared_.shown.picture.swap(next_);
  shared_.shown.width = w;
  shared_.shown.height = h;
}

void Playback::DecodeNext() {
  // next_ now holds an older picture (the one shown before), or nothing.
  if (decoder_.DecodeVideoFrame(video_.get()) == 1) {
    next_.swap(video_->data);
    if (video_->data.size() != next_.size()) video_->data.resize(next_.size());
    return;
  }
  videoExhausted_ = decoder_.VideoEnded();
  std::lock_guard lock(shared_.shown.mutex);
  next_ = shared_.shown.picture;  // the last picture stays
}

void Playback::AdvancePosition() {
  ++tick_;
  if (total_ <= 0) return;
  const int percent = static_cast<int>(static_cast<double>(tick_) / total_ * 100.0);
  if (percent != percent_ && percent > 0 && percent < 100) {
    shared_.WithLease([&] {
      if (s_.events.moveSlider) s_.events.moveSlider(percent);
    });
  }
  percent_ = percent;
  shared_.position = percent;
}

bool Playback::Finished() const {
  // Both inputs have ended, and the device has played the last sound.
  const bool audioDone = !info_.hasAudio || (audioExhausted_ && pending_.empty());
  const bool videoDone = !info_.hasVideo || videoExhausted_;
  return audioDone && videoDone && played_ > lastSound_;
}

}  // namespace

void RunPlayback(PlaybackSetup setup) {
  std::shared_ptr<PlayerShared> shared = setup.shared;
  try {
    Playback(std::move(setup)).Run();
  } catch (const std::exception& e) {
    base::Log(base::Level::kError, "preview", std::string("the preview stopped: ") + e.what());
  } catch (...) {
    base::Log(base::Level::kError, "preview", "the preview stopped");
  }
  shared->state = kStopped;
  {
    std::lock_guard lock(shared->wake.mutex);
    shared->wake.finished = true;
  }
  shared->wake.changed.notify_all();
}

}  // namespace media
