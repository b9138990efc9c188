#pragma once
// The main window's preview: its player on the 280 x 210 preview area, the
// position fraction (0.0 to 0.95) that the transport buttons and the slider
// move, the video size of the loaded recording, and the snapshot of the
// picture last shown there. The main window owns one and forwards its
// commands; everything here runs on the window's thread.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/preview_player.h"
#include "media/preview_surface.h"
#include "media/snapshot.h"

class CBitmapSliderStatic;
class PreviewWindow;

class MainPreview {
 public:
  static constexpr int kDisplayWidth = 280;
  static constexpr int kDisplayHeight = 210;
  static constexpr double kLastFraction = 0.95;
  static constexpr double kFractionStep = 0.05;

  MainPreview(PreviewWindow* area, CBitmapSliderStatic* slider);
  ~MainPreview();
  MainPreview(const MainPreview&) = delete;
  MainPreview& operator=(const MainPreview&) = delete;

  // The panel was unfolded or folded: while folded the surface is released
  // and nothing is decoded.
  void Unfold();
  void Fold();

  // A row was clicked: stop what plays and load its file; state stopped.
  void Load(const std::string& file);
  int state() const { return player_->state(); }
  double fraction() const { return fraction_; }
  int videoWidth() const { return videoWidth_; }
  int videoHeight() const { return videoHeight_; }

  void Play();
  // The Stop and Pause buttons: playback stops and the position stays where
  // it was, shown as a still picture.
  void Stop();
  void ToStart() { MoveTo(0.0); }
  void ToEnd() { MoveTo(kLastFraction); }
  void Back() { MoveTo(fraction_ - kFractionStep); }
  void Forward() { MoveTo(fraction_ + kFractionStep); }
  // The slider was dragged to `value` (0 to 100).
  void OnSliderMoving(int value);

  // Saves the picture last shown (decoded at the position when nothing has
  // been shown yet) as "<name>_<n>.bmp" in `folder`, n the first free number.
  // Nothing (no path, no error) while no recording is loaded.
  base::Result<std::string> TakeSnapshot(const std::string& name, const std::string& folder);

  // Before an edit dialog takes the process's one surface, and after.
  void ReleaseSurface();
  void RecreateSurface();
  // After an edit dialog closed: the surface again, and the still where the
  // preview was.
  void ReturnFromDialog();

 private:
  void MoveTo(double fraction);
  void ShowStillHere();
  void OnPlaybackEnded();
  // Runs `call` on the window's thread later, unless the window is gone.
  void Post(std::function<void()> call);

  PreviewWindow* area_;
  CBitmapSliderStatic* slider_;
  media::CPreviewSurface surface_;
  std::unique_ptr<media::PreviewPlayer> player_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool unfolded_ = false;
  double fraction_ = 0.0;
  int videoWidth_ = 0;
  int videoHeight_ = 0;
};

// The position fraction after a move, kept within 0.0 ... 0.95; moves that
// would pass either end stop there.
double ClampPreviewFraction(double fraction);
