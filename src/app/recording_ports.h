#pragma once
// The recording controller's hands in the running program: the main window
// it minimises and restores, the call audio it opens and closes, the capture
// windows, the indicators, the floating Stop window and the capture thread it
// starts. It owns none of them; each is reached through its own interface.
#include <functional>
#include <memory>
#include <string>

#include "app/app_folders.h"
#include "recording/recording_controller.h"

class CaptureWindows;
class MainWindow;
class RecordingIndicators;
namespace audio { class CallAudio; }
namespace recording { class FloatingStopWindow; }

class WindowRecordingPorts final : public recording::RecordingPorts {
 public:
  struct Parts {
    MainWindow& window;
    audio::CallAudio& callAudio;
    CaptureWindows& capture;
    RecordingIndicators& indicators;
    recording::FloatingStopWindow* floating = nullptr;
    AppFolders folders;
    // The main window's message window on the desktop (0 before it exists):
    // where the cursor hook reports to.
    std::function<unsigned long()> messageWindow;
    // Lets the converter's hot key act once more.
    std::function<void()> armConverter;
  };

  explicit WindowRecordingPorts(Parts parts) : p_(std::move(parts)) {}
  // Where the capture's reports go; set once the controller exists.
  void SetController(recording::RecordingController* controller) { controller_ = controller; }

  std::optional<capture::ScreenRect> BringCallWindowForward() override;
  void MinimiseMain() override;
  void RestoreMain() override;
  void ShowSelection() override;
  void PostRecordStart() override;
  std::string OutputFolderText() override;
  void StartClock() override;
  void StopClock() override;
  std::string ElapsedText() override;
  void SetStatus(const std::string& text) override;
  void OpenStreams() override;
  void CloseStreams() override;
  void InstallCursorHook() override;
  void UninstallCursorHook() override;
  void ArmConverter() override;
  std::unique_ptr<recording::CaptureSession> StartCapture(recording::SessionId id,
                                                          const capture::ScreenRect& rect,
                                                          const std::string& outputName) override;
  void AppendRecording(const std::string& fullPath, const std::string& fileName,
                       const std::string& duration) override;

 private:
  void OnCaptureStarted(recording::SessionId id, const capture::ScreenRect& recorded,
                        const std::string& path);
  void OnCaptureFinished(recording::SessionId id, bool interrupted, const std::string& path);

  Parts p_;
  recording::RecordingController* controller_ = nullptr;
  recording::SessionId shownFor_ = 0;  // the capture the marker and Stop window stand for
};
