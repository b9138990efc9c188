#pragma once
// An edit dialog's preview: the process's one preview surface on the
// dialog's 320 x 240 preview window, the shared preview player with the
// dialog's own picture and sound hooks, and the automatic start half a
// second after opening. The player's reports reach the dialog on its own
// thread, through the application's queue, and never after the dialog is
// gone.
#include <functional>
#include <memory>
#include <string>

#include "media/preview_player.h"
#include "media/preview_surface.h"

class PreviewWindow;

namespace edit {

// The recording a dialog previews, as the main window knows it.
struct PreviewSource {
  std::string file;      // empty: no recording selected
  int videoWidth = 0;    // 0 x 0 when it has no picture
  int videoHeight = 0;
  int startPercent = 0;  // where the automatic start begins
};

// The video size of a file, 0 x 0 without a picture or when unreadable.
void ReadVideoSize(const std::string& file, int* width, int* height);

class DialogPlayer {
 public:
  static constexpr int kDisplayWidth = 320;
  static constexpr int kDisplayHeight = 240;

  struct Reports {                           // all run on the dialog's thread
    std::function<void(int percent)> moved;  // the playing position, for the slider
    std::function<void()> started;           // now playing
    std::function<void()> ended;             // playback ended (or never began)
  };

  DialogPlayer(PreviewWindow* area, media::PictureHook pictureHook, media::SoundHook soundHook,
               Reports reports);
  ~DialogPlayer();  // stops playback, releases the surface
  DialogPlayer(const DialogPlayer&) = delete;
  DialogPlayer& operator=(const DialogPlayer&) = delete;

  // Loads the recording (state stopped), sets up the surface for its size
  // and turns still pictures on. False without a file; the player then
  // stays in the nothing-loaded state and every command does nothing.
  bool Load(const PreviewSource& source);
  bool loaded() const { return loaded_; }
  // After 500 ms, on the dialog's thread: position := startPercent, Play.
  void ArmAutoStart();

  media::PreviewPlayer& player() { return *player_; }
  int state() const { return player_->state(); }
  bool playing() const { return player_->state() == media::kPlaying; }
  bool everStarted() const { return everStarted_; }

  void Play();  // from the player's position, only when stopped
  void Stop();  // stop, keeping the position
  // The still at `percent`, after the hook; nothing while playing or unloaded.
  void ShowStill(int percent);
  // Stops playback and releases the surface; later commands do nothing.
  void Release();

 private:
  void Post(std::function<void()> call);

  PreviewWindow* area_;
  Reports reports_;
  media::CPreviewSurface surface_;
  std::unique_ptr<media::PreviewPlayer> player_;
  std::unique_ptr<media::AutoStart> autoStart_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  PreviewSource source_;
  bool loaded_ = false;
  bool everStarted_ = false;
};

}  // namespace edit
