#pragma once
// The preview player every previewing window shares: plays one recording
// with sound into a CPreviewSurface, one picture per tick of a sound clock
// (the sound server's playback position, never a timer), and shows still
// pictures at a position.
//
// The owner (a window) calls everything here on its own thread. The player
// thread reports through PlayerEvents, on the player thread: the owner hands
// them on to its window thread as events and never touches the window from
// there.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/media_decoder.h"

namespace media {

class CPreviewSurface;

// Player states, as plain integers.
inline constexpr int kNothingLoaded = 999;
inline constexpr int kStopped = 1000;
inline constexpr int kPlaying = 2001;

// Ticks per second for a recording: one per picture with video (29.97 -> 30,
// 23.97 -> 24, none or 100 and more -> 24), one per second without.
int ClockRate(const StreamInfo& info);

// Ticks a whole playback of the recording takes: one per picture with video
// (at the clock's rate where the file reports no picture rate), one per
// second without. Not positive when the recording has no known length.
double TotalTicks(const StreamInfo& info);

// The picture a still at `fraction` of the recording shows: the third from
// the first key frame at or after it (fewer near the end). False when the
// file gives none.
bool DecodeStill(const std::string& file, double fraction, DecodedFrame* picture);

// From `in` into `out`, both planar YUV 4:2:0 of width x height.
using PictureHook = std::function<void(const uint8_t* in, uint8_t* out, int width, int height)>;
// In place on `count` interleaved 16-bit samples of `channels` channels.
using SoundHook = std::function<void(int16_t* samples, int count, int channels)>;

struct PlayerEvents {
  std::function<void(int percent)> moveSlider;  // percent strictly between 0 and 100
  std::function<void()> started;                 // set-up done, state now kPlaying
  std::function<void()> ended;                   // the loop has ended; repaint the preview
};

// What the owner and one player thread share (defined with the player).
struct PlayerShared;

class PreviewPlayer {
 public:
  // How long the bounded stop waits for the thread, in steps.
  static constexpr auto kStopStep = std::chrono::milliseconds(500);
  static constexpr int kStopSteps = 20;

  // The surface must outlive the player.
  PreviewPlayer(CPreviewSurface& surface, PictureHook pictureHook, SoundHook soundHook,
                PlayerEvents events);
  ~PreviewPlayer();  // stops playback first
  PreviewPlayer(const PreviewPlayer&) = delete;
  PreviewPlayer& operator=(const PreviewPlayer&) = delete;

  // The recording to play; empty means none selected. Stops playback first.
  void SetFile(std::string fileName);
  const std::string& file() const { return file_; }
  // Whether ShowStill draws (the owner decides when still pictures are shown).
  void SetStillPreview(bool on) { stillPreview_ = on; }

  int state() const;
  void SetState(int state);  // kNothingLoaded -> kStopped once a recording is loaded
  int position() const;      // percent; may pass 100 after playing to the end
  void SetPosition(int percent);

  // Only from kStopped, and not while an earlier thread still runs: starts
  // the player thread at position().
  void StartPlayback();
  // While a player thread runs (playing, or still setting up): wakes it and
  // waits for it, at most kStopSteps x kStopStep; a thread that still has
  // not ended is cut loose: it draws and reports nothing more and frees
  // what it holds when its blocked call returns. State kStopped afterwards.
  // The position is left where playback was: what Stop and Pause do with it
  // is the owner's rule. Nothing happens while no thread runs.
  void StopPlayback();
  // The same wait as StopPlayback: Pause and Stop differ only in what the
  // owner then does with the position (a dialog's own rule).
  void PausePlayback() { StopPlayback(); }
  // Stops playback if it runs, then decodes three pictures at `percent` and
  // shows the third after the picture hook (only with still preview on).
  void ShowStill(int percent);
  // The slider moved to `percent` by the user: stop, take it as the
  // position, show the still there.
  void SeekFromSlider(int percent);

  // A copy of the picture last shown (playing or still), before the hook;
  // false when nothing has been shown since the file was set.
  bool LastShown(std::vector<uint8_t>* picture, int* width, int* height) const;

 private:
  void Abandon();

  CPreviewSurface& surface_;
  PictureHook pictureHook_;
  SoundHook soundHook_;
  PlayerEvents events_;
  std::string file_;
  bool stillPreview_ = false;
  std::shared_ptr<PlayerShared> shared_;  // with the running thread
  std::thread thread_;
};

// The automatic start of a dialog's player: `post` runs once, on a short
// worker thread, 500 ms after construction, unless the AutoStart is
// destroyed first. `post` must only hand a message to the owner's thread.
class AutoStart {
 public:
  static constexpr auto kDelay = std::chrono::milliseconds(500);
  explicit AutoStart(std::function<void()> post);
  ~AutoStart();  // cancels a start still to come, and waits for the worker
  AutoStart(const AutoStart&) = delete;
  AutoStart& operator=(const AutoStart&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable cancelled_;
  bool cancel_ = false;  // guarded by mutex_
  std::thread worker_;
};

}  // namespace media
