#pragma once
// The worker that records one file: it picks the file, grabs the capture
// rectangle at the frame rate, takes the call sound once per written picture,
// and writes both into the AVI file until asked to stop or a write fails.
//
// It talks to the rest of the program only through the interfaces below, so
// it runs, and is tested, without any window toolkit.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "capture/frame_grab.h"
#include "capture/geometry.h"
#include "platform/screen_grabber.h"
#include "recording/audio_memory.h"

namespace recording {

// The call sound, as the audio step hands it out.
class AudioChunkSource {
 public:
  virtual ~AudioChunkSource() = default;
  // Capture thread, before its first picture: the recording's time line
  // starts at `firstPicture` (the steady clock, which is the monotonic clock
  // the sound is stamped with); the file's sound starts with the sound
  // captured at that instant.
  virtual void BeginCollecting(std::chrono::steady_clock::time_point firstPicture) = 0;
  // Capture thread, once per written picture: one mixed 48 kHz 16-bit stereo
  // chunk made in `memory` (the file's packet), and its size; 0 when too
  // little sound has arrived.
  virtual std::size_t NextChunk(const AudioMemory& memory) = 0;
  // Capture thread, after the last picture: the sound up to `end`, as far as
  // it has arrived; with `padMissing`, silence for what has not.
  virtual std::size_t ChunkUpTo(std::chrono::steady_clock::time_point end, bool padMissing,
                                const AudioMemory& memory) = 0;
};

struct CaptureOutcome {
  bool interrupted = false;  // a failure ended it (WM_USER_RECORDINTERRUPTED_MSG)
  std::string path;          // the file written, empty when none could be made
  std::string error;         // the cause, for the log
  int64_t picturesWritten = 0;
  int64_t lastIndex = 0;
  int64_t audioFrames = 0;
};

// Called on the capture thread; implementations hand each call over to their
// own thread (the window's, as an event) and return at once.
class CaptureObserver {
 public:
  virtual ~CaptureObserver() = default;
  // The file is chosen and the area is known: show the marker around
  // `recorded` and the floating Stop window beside it.
  virtual void OnStarted(const capture::ScreenRect& recorded, const std::string& path) = 0;
  // The recording time crossed another multiple of 500 ms: time to repaint
  // the elapsed-time display.
  virtual void OnHalfSecond() = 0;
  // The file is complete and closed (or could not be made); hide the marker.
  virtual void OnFinished(const CaptureOutcome& outcome) = 0;
};

struct CaptureConfig {
  capture::ScreenRect rect;  // inclusive; width and height are rounded down to multiples of 4
  std::string outputName;    // "%Y-%m-%d %H-%M-%S.avi"
  std::function<std::string()> outputFolder;  // asked once per name attempt
  unsigned randomSeed = 0;                    // numbers of the "~temp" names
  int frameIntervalMs = 40;
  // After a stop, how long the sound of the last pictures may take to arrive
  // from the devices before the rest is written as silence: a device hands
  // over its sound a quarter second at a time.
  std::chrono::milliseconds soundTail{600};
  int keyFrameInterval = 25;
  // Opened on the capture thread, so the connection belongs to it.
  std::function<std::unique_ptr<capture::ScreenGrabber>()> openGrabber;
  unsigned long markerWindow = 0;            // 0: marker off
  capture::PublishedMove* markerMove = nullptr;  // may be null; outlives the thread
  std::shared_ptr<AudioChunkSource> audio;   // may be null: no sound
  std::shared_ptr<CaptureObserver> observer; // may be null
};

class CaptureThread {
 public:
  // Starts recording at once (user-interface thread).
  explicit CaptureThread(CaptureConfig config);
  // Asks the thread to stop and waits for the file to be finished.
  ~CaptureThread();
  CaptureThread(const CaptureThread&) = delete;
  CaptureThread& operator=(const CaptureThread&) = delete;

  // Any thread: drops the recording flag. The worker finishes the file within
  // one grab and returns; Stop does not wait for it.
  void Stop();
  bool recording() const;
  // True once the file is complete and OnFinished has been called.
  bool finished() const;
  // Waits for the worker to end.
  void Join();
  // The outcome; valid once finished() is true.
  CaptureOutcome outcome() const;

 private:
  void Run();
  // Waits until `deadline` or a stop, whichever comes first; false on stop.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline);
  void Finish(CaptureOutcome outcome);

  CaptureConfig config_;
  mutable std::mutex mutex_;  // guards the three below
  std::condition_variable wake_;
  bool recording_ = true;
  bool finished_ = false;
  CaptureOutcome outcome_;
  std::thread worker_;  // last: starts after everything above exists
};

}  // namespace recording
