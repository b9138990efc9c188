#include "edit/dialogs/dialog_player.h"

#include <wx/app.h>

#include "base/log.h"
#include "media/media_decoder.h"
#include "ui/preview_window.h"

namespace edit {

void ReadVideoSize(const std::string& file, int* width, int* height) {
  *width = *height = 0;
  if (file.empty()) return;
  media::CMediaDecoder decoder;
  decoder.Initialise();
  media::StreamInfo info;
  if (decoder.Open(file.c_str()) != 1 || decoder.GetStreamInfo(&info) != 1) return;
  if (info.hasVideo) {
    *width = info.width;
    *height = info.height;
  }
}

DialogPlayer::DialogPlayer(PreviewWindow* area, media::PictureHook pictureHook,
                           media::SoundHook soundHook, Reports reports)
    : area_(area), reports_(std::move(reports)) {
  media::PlayerEvents events;
  events.moveSlider = [this](int percent) {
    Post([this, percent] {
      if (reports_.moved) reports_.moved(percent);
    });
  };
  events.started = [this] {
    Post([this] {
      everStarted_ = true;
      if (reports_.started) reports_.started();
    });
  };
  events.ended = [this] {
    Post([this] {
      if (reports_.ended) reports_.ended();
    });
  };
  player_ = std::make_unique<media::PreviewPlayer>(surface_, std::move(pictureHook),
                                                   std::move(soundHook), std::move(events));
  area_->SetRedraw([this] { return surface_.Redraw() == 1; });
}

DialogPlayer::~DialogPlayer() {
  *alive_ = false;
  autoStart_.reset();
  area_->SetRedraw(nullptr);
  Release();
}

void DialogPlayer::Post(std::function<void()> call) {
  // From the player's thread: the call waits in the application's queue and
  // runs only while this player (and so its dialog) still exists.
  if (!wxTheApp) return;
  std::weak_ptr<bool> alive = alive_;
  wxTheApp->CallAfter([alive, call = std::move(call)] {
    if (auto flag = alive.lock(); flag && *flag) call();
  });
}

bool DialogPlayer::Load(const PreviewSource& source) {
  source_ = source;
  if (source.file.empty()) return false;
  player_->SetFile(source.file);
  player_->SetState(media::kStopped);
  player_->SetStillPreview(true);
  loaded_ = true;
  // A recording without a picture (or one that cannot be read) still plays
  // its sound; only the surface is missing.
  if (source.videoWidth > 0 && source.videoHeight > 0 &&
      surface_.Create(area_->NativeId(), source.videoWidth, source.videoHeight, kDisplayWidth,
                      kDisplayHeight) != 1)
    base::Log(base::Level::kWarning, "edit", "the dialog's preview surface could not be set up");
  return true;
}

void DialogPlayer::ArmAutoStart() {
  if (!loaded_) return;
  autoStart_ = std::make_unique<media::AutoStart>([this] {
    Post([this] {
      if (!loaded_ || state() != media::kStopped) return;
      player_->SetPosition(source_.startPercent);
      player_->StartPlayback();
    });
  });
}

void DialogPlayer::Play() {
  if (loaded_ && state() == media::kStopped) player_->StartPlayback();
}

void DialogPlayer::Stop() {
  if (loaded_) player_->StopPlayback();
}

void DialogPlayer::ShowStill(int percent) {
  if (!loaded_ || playing() || !surface_.live()) return;
  player_->ShowStill(percent);
}

void DialogPlayer::Release() {
  autoStart_.reset();
  player_->StopPlayback();
  surface_.Release();
  loaded_ = false;
}

}  // namespace edit
