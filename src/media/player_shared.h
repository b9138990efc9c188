#pragma once
// Internal to the preview player: what the owner of a PreviewPlayer and its
// one player thread share, and the thread's entry point.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "media/preview_player.h"

namespace media {

struct PlayerShared {
  std::atomic<int> state{kNothingLoaded};
  std::atomic<int> position{0};

  // What wakes the thread: a tick of the sound clock, or the stop.
  struct Wake {
    std::mutex mutex;
    std::condition_variable changed;
    bool tick = false;      // set by the clock, taken by the thread
    bool stop = false;      // set by the owner
    bool finished = false;  // set by the thread as its last act
  } wake;

  // The thread draws and reports only while it holds this lease and has
  // not been cut loose; cutting loose takes the lease, so once it is done
  // the thread can no longer reach the surface or the owner's events.
  struct Lease {
    std::mutex mutex;
    bool abandoned = false;  // guarded by mutex
  } lease;

  // The picture last shown, before the picture hook.
  struct Shown {
    mutable std::mutex mutex;
    std::vector<uint8_t> picture;  // guarded by mutex, as are the sizes
    int width = 0, height = 0;
  } shown;

  // Runs `f` under the lease; false (and `f` not run) once cut loose.
  template <class F>
  bool WithLease(F&& f) {
    std::lock_guard lock(lease.mutex);
    if (lease.abandoned) return false;
    f();
    return true;
  }
};

// Everything one playback needs, handed to its thread by value.
struct PlaybackSetup {
  std::string file;
  int startPercent = 0;
  CPreviewSurface* surface = nullptr;
  PictureHook pictureHook;
  SoundHook soundHook;
  PlayerEvents events;
  std::shared_ptr<PlayerShared> shared;
};

// The player thread's body: plays until the stop, the end of the recording
// or a failure of its set-up; sets the state to stopped and finished last.
void RunPlayback(PlaybackSetup setup);

}  // namespace media
