#pragma once
// Turns the record commands into a running capture and the stop command back
// into a finished recording in the list. Runs on the user-interface thread;
// everything it drives on screen, in sound and on disk goes through the
// RecordingPorts the main window implements, so the rules are testable alone.
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "capture/geometry.h"

namespace recording {

// A running capture: asked to stop, it finishes its file on its own thread.
// Destroying it waits for the file to be complete.
class CaptureSession {
 public:
  virtual ~CaptureSession() = default;
  virtual void Stop() = 0;
  // Waits for the file to be complete; the file written, empty when none was
  // made.
  virtual std::string Finish() = 0;
};

// Which capture a report is about. Reports travel through the window's event
// queue and may arrive after their capture has been stopped and another one
// started; the controller goes by this number, never by arrival.
using SessionId = unsigned;

class RecordingPorts {
 public:
  virtual ~RecordingPorts() = default;
  // The call client's main window, brought to the front; its rectangle with
  // inclusive right and bottom, or empty when there is none.
  virtual std::optional<capture::ScreenRect> BringCallWindowForward() = 0;
  virtual void MinimiseMain() = 0;
  virtual void RestoreMain() = 0;  // restore, repaint and activate
  virtual void ShowSelection() = 0;
  virtual void PostRecordStart() = 0;  // WM_USER_RECORDSTART_MSG to the main window
  virtual std::string OutputFolderText() = 0;
  virtual void StartClock() = 0;  // elapsed counter from 0, both timers running
  virtual void StopClock() = 0;   // both timers killed, the normal icon back
  virtual std::string ElapsedText() = 0;
  virtual void SetStatus(const std::string& text) = 0;
  // Far side on the loopback, near side on the default source; the rings are
  // emptied first, so no capture may be reading them.
  virtual void OpenStreams() = 0;
  virtual void CloseStreams() = 0;
  virtual void InstallCursorHook() = 0;
  virtual void UninstallCursorHook() = 0;
  virtual void ArmConverter() = 0;
  // The capture reports back through OnCaptureStarted / OnCaptureInterrupted /
  // OnCaptureFinished with `id`.
  virtual std::unique_ptr<CaptureSession> StartCapture(SessionId id, const capture::ScreenRect& rect,
                                                       const std::string& outputName) = 0;
  virtual void AppendRecording(const std::string& fullPath, const std::string& fileName,
                               const std::string& duration) = 0;
};

enum class RecorderState { Idle, Selecting, Armed, Capturing };

// The rectangle "record fixed" records: the call window clamped to the
// screen, or 320 x 240 at (100, 100) when there is no window or it is larger
// than the screen.
capture::ScreenRect FixedCaptureRect(const std::optional<capture::ScreenRect>& window,
                                     int screenWidth, int screenHeight);

// "%Y-%m-%d %H-%M-%S.avi" of the local time.
std::string RecordingFileName(std::time_t when);

class RecordingController {
 public:
  RecordingController(RecordingPorts& ports, int screenWidth, int screenHeight)
      : ports_(ports), screenWidth_(screenWidth), screenHeight_(screenHeight) {}
  ~RecordingController();

  // Commands. A record command while a recording is under way is ignored.
  void RecordFixed(std::time_t now);
  void RecordCustom(std::time_t now);
  // The selection window's commit: the rectangle to record.
  void SelectionCommitted(const capture::ScreenRect& rect);
  // The selection was cancelled: back to Idle, nothing recorded.
  void SelectionCancelled();
  // WM_USER_RECORDSTART_MSG.
  void OnRecordStart();
  // The stop path (button, hot keys, floating window). True when it stopped
  // a recording.
  bool Stop();
  // The capture reports the file it really writes (a "~temp" name when the
  // stamped one was taken, the program folder when the output folder is
  // gone); the list entry names that file.
  void OnCaptureStarted(SessionId id, const std::string& path);
  // WM_USER_RECORDINTERRUPTED_MSG: the capture ended by itself (a failure).
  // `writtenPath` is the file left behind, empty when none. Id 0 means the
  // current capture, whichever it is.
  void OnCaptureInterrupted(SessionId id, const std::string& writtenPath);
  // The capture has closed its file (`path`, empty when none was made).
  void OnCaptureFinished(SessionId id, const std::string& path);
  // Stops and waits for the file to be complete (closing the program).
  void FinishForExit();

  RecorderState state() const { return state_; }
  bool recording() const { return state_ == RecorderState::Capturing; }
  // True for the capture that is recording now (not one stopped earlier).
  bool IsCurrent(SessionId id) const { return recording() && current_.id == id; }
  const capture::ScreenRect& captureRect() const { return captureRect_; }
  const std::string& outputPath() const { return outputPath_; }
  const std::string& outputName() const { return outputName_; }

 private:
  // One capture from its start until its file is closed.
  struct Capture {
    SessionId id = 0;
    std::unique_ptr<CaptureSession> session;
    std::string writtenPath;   // as reported by the capture
    bool rowPending = false;   // stopped before it said which file it writes
    std::string rowDuration;   // the length to list it with
  };

  void CommonStart(std::time_t now);
  void EndCapture();
  void BackToIdle();
  void ListOrDefer(Capture& capture);
  void AddRow(const std::string& path, const std::string& duration);
  void WaitForFinishingCapture();

  RecordingPorts& ports_;
  int screenWidth_, screenHeight_;
  RecorderState state_ = RecorderState::Idle;
  capture::ScreenRect captureRect_{};
  std::string outputName_, outputPath_;
  SessionId lastId_ = 0;
  Capture current_;    // Capturing
  Capture finishing_;  // stopped, still closing its file
};

}  // namespace recording
