#include "app/main_preview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "media/media_decoder.h"
#include "ui/bitmap_slider_static.h"
#include "ui/preview_window.h"

namespace {

int Percent(double fraction) { return static_cast<int>(std::lround(fraction * 100.0)); }

// The video size of a recording, 0 x 0 when it has no picture or cannot be
// opened (playback then ends quietly by itself).
void ReadVideoSize(const std::string& file, int* width, int* height) {
  *width = *height = 0;
  media::CMediaDecoder decoder;
  decoder.Initialise();
  media::StreamInfo info;
  if (decoder.Open(file.c_str()) != 1 || decoder.GetStreamInfo(&info) != 1) return;
  if (info.hasVideo) {
    *width = info.width;
    *height = info.height;
  }
}

// The third picture from `fraction` on, as a still shows it; false when the
// file gives none.
bool DecodeStill(const std::string& file, double fraction, std::vector<uint8_t>* picture,
                 int* width, int* height) {
  media::CMediaDecoder decoder;
  decoder.Initialise();
  media::StreamInfo info;
  if (decoder.Open(file.c_str()) != 1 || decoder.GetStreamInfo(&info) != 1 || !info.hasVideo)
    return false;
  decoder.Seek(fraction);
  auto frame = decoder.CreateVideoFrame();
  if (!frame) return false;
  bool got = false;
  // A few packets may give no picture while the decoder fills its pipeline.
  for (int pictures = 0, packets = 0; pictures < 3 && packets < 64 && !decoder.VideoEnded();
       ++packets) {
    if (decoder.DecodeVideoFrame(frame.get()) == 1) {
      ++pictures;
      got = true;
    }
  }
  if (!got) return false;
  *picture = frame->data;
  *width = frame->width;
  *height = frame->height;
  return true;
}

}  // namespace

double ClampPreviewFraction(double fraction) {
  // Steps of 0.05 add up with rounding errors; snap to the hundredth the
  // buttons mean, then keep the fraction inside its range.
  const double snapped = std::round(fraction * 100.0) / 100.0;
  return std::clamp(snapped, 0.0, MainPreview::kLastFraction);
}

MainPreview::MainPreview(wxWindow* owner, PreviewWindow* area, CBitmapSliderStatic* slider)
    : owner_(owner), area_(area), slider_(slider) {
  media::PlayerEvents events;
  events.moveSlider = [this](int percent) {
    Post([this, percent] { slider_->SetPos(percent); });
  };
  events.ended = [this] { Post([this] { OnPlaybackEnded(); }); };
  player_ = std::make_unique<media::PreviewPlayer>(surface_, nullptr, nullptr, std::move(events));
  area_->SetRedraw([this] { return surface_.Redraw() == 1; });
}

MainPreview::~MainPreview() {
  *alive_ = false;
  area_->SetRedraw(nullptr);
  player_->StopPlayback();
  player_.reset();
  surface_.Release();
}

void MainPreview::Post(std::function<void()> call) {
  // Called on the player thread. The window may be closing: the flag is
  // read on the window's thread, where it is also cleared.
  wxWindow* owner = owner_.get();
  if (!owner) return;
  std::weak_ptr<bool> alive = alive_;
  owner->CallAfter([alive, call = std::move(call)] {
    if (auto flag = alive.lock(); flag && *flag) call();
  });
}

void MainPreview::Unfold() {
  if (unfolded_) return;
  unfolded_ = true;
  // Still pictures are shown from now on: the user can see them.
  player_->SetStillPreview(true);
  RecreateSurface();
  ShowStillHere();
}

void MainPreview::Fold() {
  if (!unfolded_) return;
  player_->StopPlayback();
  player_->SetStillPreview(false);
  surface_.Release();
  unfolded_ = false;
}

void MainPreview::ReleaseSurface() {
  player_->StopPlayback();
  surface_.Release();
}

void MainPreview::RecreateSurface() {
  surface_.Release();
  if (!unfolded_ || player_->file().empty() || videoWidth_ <= 0 || videoHeight_ <= 0) return;
  if (surface_.Create(area_->NativeId(), videoWidth_, videoHeight_, kDisplayWidth,
                      kDisplayHeight) != 1)
    std::fprintf(stderr, "murmurant: the preview surface could not be set up\n");
}

void MainPreview::Load(const std::string& file) {
  player_->StopPlayback();
  player_->SetFile(file);
  player_->SetState(media::kStopped);
  ReadVideoSize(file, &videoWidth_, &videoHeight_);
  if (!unfolded_) return;
  RecreateSurface();
  area_->Refresh();
  ShowStillHere();
}

void MainPreview::Play() {
  if (!unfolded_ || player_->state() != media::kStopped) return;
  player_->SetPosition(Percent(fraction_));
  player_->StartPlayback();
}

void MainPreview::Stop() {
  if (player_->state() != media::kPlaying) return;
  player_->StopPlayback();
  OnPlaybackEnded();
}

void MainPreview::OnPlaybackEnded() {
  if (player_->state() == media::kPlaying) return;  // a newer playback runs
  fraction_ = ClampPreviewFraction(player_->position() / 100.0);
  slider_->SetPos(Percent(fraction_));
  ShowStillHere();
}

void MainPreview::MoveTo(double fraction) {
  player_->StopPlayback();
  fraction_ = ClampPreviewFraction(fraction);
  slider_->SetPos(Percent(fraction_));
  ShowStillHere();
}

void MainPreview::OnSliderMoving(int value) {
  player_->StopPlayback();
  fraction_ = ClampPreviewFraction(value / 100.0);
  ShowStillHere();
}

void MainPreview::ShowStillHere() {
  if (!unfolded_ || player_->state() == media::kNothingLoaded || !surface_.live()) return;
  player_->ShowStill(Percent(fraction_));
}

media::SnapshotResult MainPreview::TakeSnapshot(const std::string& name, const std::string& folder) {
  if (player_->state() == media::kNothingLoaded || player_->file().empty()) return {};
  std::vector<uint8_t> picture;
  int width = 0, height = 0;
  if (!player_->LastShown(&picture, &width, &height) &&
      !DecodeStill(player_->file(), fraction_, &picture, &width, &height))
    return {"", "the recording has no picture to save"};
  return media::SaveSnapshot(folder, name, picture.data(), width, height);
}
