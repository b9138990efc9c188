#include "media/preview_player.h"

#include <cmath>

#include "base/log.h"
#include "media/player_shared.h"
#include "media/preview_surface.h"

namespace media {

namespace {

constexpr int kFallbackClockRate = 24;
constexpr double kRateTolerance = 0.01;
constexpr int kStillPictures = 3;
// A decoder may take a few packets before each picture.
constexpr int kStillPackets = 64;

}  // namespace

int ClockRate(const StreamInfo& info) {
  if (!info.hasVideo) return 1;
  const double rate = info.frameRate;
  if (std::fabs(rate - 23.97) <= kRateTolerance) return 24;
  if (std::fabs(rate - 29.97) <= kRateTolerance) return 30;
  if (rate <= 0 || rate >= 100) return kFallbackClockRate;
  return static_cast<int>(rate);
}

double TotalTicks(const StreamInfo& info) {
  if (info.hasVideo) {
    const double pictures = std::floor(info.duration * info.frameRate);
    // A file that reports no picture rate still plays, at the clock's rate.
    if (pictures > 0) return pictures;
  }
  return std::floor(info.duration * ClockRate(info));
}

bool DecodeStill(const std::string& file, double fraction, DecodedFrame* picture) {
  CMediaDecoder decoder;
  decoder.Initialise();
  StreamInfo info;
  // A recording of unknown length (its writer was killed) shows its start.
  if (file.empty() || decoder.Open(file.c_str()) != 1 || decoder.GetStreamInfo(&info) != 1)
    return false;
  if (decoder.Seek(fraction) != 1) return false;
  auto frame = decoder.CreateVideoFrame();
  if (!frame) return false;
  int pictures = 0;
  for (int packets = 0; pictures < kStillPictures && packets < kStillPackets; ++packets) {
    if (decoder.DecodeVideoFrame(frame.get()) == 1) ++pictures;
    else if (decoder.VideoEnded()) break;
  }
  if (pictures == 0) return false;
  *picture = std::move(*frame);
  return true;
}

PreviewPlayer::PreviewPlayer(CPreviewSurface& surface, PictureHook pictureHook,
                             SoundHook soundHook, PlayerEvents events)
    : surface_(surface),
      pictureHook_(std::move(pictureHook)),
      soundHook_(std::move(soundHook)),
      events_(std::move(events)),
      shared_(std::make_shared<PlayerShared>()) {}

PreviewPlayer::~PreviewPlayer() { StopPlayback(); }

void PreviewPlayer::SetFile(std::string fileName) {
  StopPlayback();
  file_ = std::move(fileName);
  std::lock_guard lock(shared_->shown.mutex);
  shared_->shown.picture.clear();
  shared_->shown.width = shared_->shown.height = 0;
}

int PreviewPlayer::state() const { return shared_->state; }
void PreviewPlayer::SetState(int state) { shared_->state = state; }
int PreviewPlayer::position() const { return shared_->position; }
void PreviewPlayer::SetPosition(int percent) { shared_->position = percent; }

void PreviewPlayer::StartPlayback() {
  if (shared_->state != kStopped) return;
  if (thread_.joinable()) {
    // A playback that ended by itself is collected: it has set the state
    // and only lets go of the sound device still. One still setting up is
    // let be.
    {
      PlayerShared::Wake& wake = shared_->wake;
      std::unique_lock lock(wake.mutex);
      if (!wake.changed.wait_for(lock, kStopStep, [&] { return wake.finished; })) return;
    }
    thread_.join();
  }
  {
    std::lock_guard lock(shared_->wake.mutex);
    shared_->wake.tick = shared_->wake.stop = shared_->wake.finished = false;
  }
  PlaybackSetup setup{file_, shared_->position, &surface_, pictureHook_, soundHook_, events_,
                      shared_};
  thread_ = std::thread(RunPlayback, std::move(setup));
}

void PreviewPlayer::StopPlayback() {
  if (!thread_.joinable()) return;
  PlayerShared::Wake& wake = shared_->wake;
  std::unique_lock lock(wake.mutex);
  wake.stop = true;
  wake.changed.notify_all();
  bool finished = false;
  for (int step = 0; step < kStopSteps && !finished; ++step)
    finished = wake.changed.wait_for(lock, kStopStep, [&] { return wake.finished; });
  lock.unlock();
  if (finished) {
    thread_.join();
  } else {
    Abandon();
  }
  shared_->state = kStopped;
}

void PreviewPlayer::Abandon() {
  base::Log(base::Level::kWarning, "preview",
      "the preview did not stop in time and was left to end alone");
  {
    std::lock_guard lease(shared_->lease.mutex);
    shared_->lease.abandoned = true;
  }
  thread_.detach();
  // The thread keeps the old shared state; the player goes on with a fresh
  // one, so nothing the thread still does reaches it.
  auto fresh = std::make_shared<PlayerShared>();
  fresh->position = shared_->position.load();
  {
    std::lock_guard lock(shared_->shown.mutex);
    fresh->shown.picture = shared_->shown.picture;
    fresh->shown.width = shared_->shown.width;
    fresh->shown.height = shared_->shown.height;
  }
  shared_ = std::move(fresh);
}

void PreviewPlayer::ShowStill(int percent) {
  StopPlayback();
  DecodedFrame still;
  if (!stillPreview_ || !DecodeStill(file_, percent * 0.01, &still)) return;
  const int w = still.width, h = still.height;
  if (pictureHook_) {
    std::vector<uint8_t> hooked(still.data.size());
    pictureHook_(still.data.data(), hooked.data(), w, h);
    surface_.ShowFrame(hooked.data(), w, h);
  } else {
    surface_.ShowFrame(still.data.data(), w, h);
  }
  std::lock_guard lock(shared_->shown.mutex);
  shared_->shown.picture = std::move(still.data);
  shared_->shown.width = w;
  shared_->shown.height = h;
}

void PreviewPlayer::SeekFromSlider(int percent) {
  StopPlayback();
  SetPosition(percent);
  ShowStill(percent);
}

bool PreviewPlayer::LastShown(std::vector<uint8_t>* picture, int* width, int* height) const {
  std::lock_guard lock(shared_->shown.mutex);
  if (shared_->shown.picture.empty()) return false;
  *picture = shared_->shown.picture;
  *width = shared_->shown.width;
  *height = shared_->shown.height;
  return true;
}

AutoStart::AutoStart(std::function<void()> post) {
  worker_ = std::thread([this, post = std::move(post)] {
    bool cancelled;
    {
      std::unique_lock lock(mutex_);
      cancelled = cancelled_.wait_for(lock, kDelay, [&] { return cancel_; });
    }
    if (!cancelled && post) post();
  });
}

AutoStart::~AutoStart() {
  {
    std::lock_guard lock(mutex_);
    cancel_ = true;
  }
  cancelled_.notify_all();
  worker_.join();
}

}  // namespace media
