#include "app/main_preview.h"

#include <wx/app.h>

#include <algorithm>
#include <cmath>

#include "base/log.h"
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

}  // namespace

double ClampPreviewFraction(double fraction) {
  // Steps of 0.05 add up with rounding errors; snap to the hundredth the
  // buttons mean, then keep the fraction inside its range.
  const double snapped = std::round(fraction * 100.0) / 100.0;
  return std::clamp(snapped, 0.0, MainPreview::kLastFraction);
}

MainPreview::MainPreview(PreviewWindow* area, CBitmapSliderStatic* slider)
    : area_(area), slider_(slider) {
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
  // Called on the player thread, which must not touch the window: the call
  // goes through the application's queue and runs only if this preview
  // still exists by then (the flag is read and cleared on the window's
  // thread).
  if (!wxTheApp) return;
  std::weak_ptr<bool> alive = alive_;
  wxTheApp->CallAfter([alive, call = std::move(call)] {
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
    base::Log(base::Level::kWarning, "preview", "the preview surface could not be set up");
}

void MainPreview::ReturnFromDialog() {
  RecreateSurface();
  area_->Refresh();
  ShowStillHere();
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

base::Result<std::string> MainPreview::TakeSnapshot(const std::string& name,
                                                    const std::string& folder) {
  if (player_->state() == media::kNothingLoaded || player_->file().empty())
    return base::Error(media::SnapshotError::kNothingLoaded, "nothing is loaded");
  std::vector<uint8_t> picture;
  int width = 0, height = 0;
  if (!player_->LastShown(&picture, &width, &height)) {
    media::DecodedFrame still;
    if (!media::DecodeStill(player_->file(), fraction_, &still))
      return base::Error(media::SnapshotError::kFailed, "the recording has no picture to save");
    picture = std::move(still.data);
    width = still.width;
    height = still.height;
  }
  return media::SaveSnapshot(folder, name, picture.data(), width, height);
}
