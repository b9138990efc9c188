#include "app/recording_ports.h"

#include <unistd.h>

#include <cstdlib>

#include "app/capture_windows.h"
#include "app/main_window.h"
#include "app/output_folder.h"
#include "app/recording_indicators.h"
#include "app/window_messages.h"
#include "audio/call_audio.h"
#include "base/log.h"
#include "platform/x11_messaging.h"
#include "platform/x11_window_control.h"
#include "recording/capture_thread.h"
#include "recording/floating_stop_window.h"
#include "recording/ring_audio_source.h"
#include "skype/skype_client.h"

namespace {

// Hands the capture thread's reports to the main window's thread. The queued
// calls carry copies, not this observer: it goes with its capture, which may
// be gone (stopped and finished, or the program closing) before the window
// gets to the call. The window outlives every capture thread: closing waits
// for them first.
class WindowCaptureObserver : public recording::CaptureObserver {
 public:
  using Started = std::function<void(capture::ScreenRect, std::string)>;
  using Finished = std::function<void(bool, std::string)>;
  WindowCaptureObserver(wxWindow& window, Started started, Finished finished)
      : window_(window), started_(std::move(started)), finished_(std::move(finished)) {}

  void OnStarted(const capture::ScreenRect& recorded, const std::string& path) override {
    window_.CallAfter([started = started_, recorded, path] { started(recorded, path); });
  }
  void OnHalfSecond() override {}
  void OnFinished(const recording::CaptureOutcome& outcome) override {
    window_.CallAfter([finished = finished_, outcome] {
      finished(outcome.interrupted, outcome.path);
    });
  }

 private:
  wxWindow& window_;
  Started started_;
  Finished finished_;
};

class ThreadSession : public recording::CaptureSession {
 public:
  explicit ThreadSession(recording::CaptureConfig config) : thread_(std::move(config)) {}
  void Stop() override { thread_.Stop(); }
  std::string Finish() override {
    thread_.Join();
    return thread_.outcome().path;
  }

 private:
  recording::CaptureThread thread_;  // its destructor waits for the file
};

}  // namespace

std::optional<capture::ScreenRect> WindowRecordingPorts::BringCallWindowForward() {
  platform::WindowId client = skype::FindSkypeMainWindow();
  if (!client || !platform::BringWindowToFront(client)) return std::nullopt;
  auto r = platform::WindowScreenRect(client);
  if (!r) return std::nullopt;
  return capture::ScreenRect{r->left, r->top, r->right, r->bottom};
}

void WindowRecordingPorts::MinimiseMain() { p_.window.Iconize(true); }

void WindowRecordingPorts::RestoreMain() {
  p_.window.Iconize(false);
  p_.window.Show();
  p_.window.Raise();
  p_.window.Refresh(false);
}

void WindowRecordingPorts::ShowSelection() { p_.capture.ShowSelection(); }

void WindowRecordingPorts::PostRecordStart() {
  wxQueueEvent(&p_.window, new wxCommandEvent(WM_USER_RECORDSTART_MSG));
}

std::string WindowRecordingPorts::OutputFolderText() {
  return p_.window.outputFolder().utf8_string();
}

void WindowRecordingPorts::StartClock() { p_.indicators.Start(); }
void WindowRecordingPorts::StopClock() { p_.indicators.Stop(); }
std::string WindowRecordingPorts::ElapsedText() { return p_.indicators.ElapsedText(); }

void WindowRecordingPorts::SetStatus(const std::string& text) {
  p_.window.SetStatusText(wxString::FromUTF8(text));
}

void WindowRecordingPorts::OpenStreams() { p_.callAudio.Open(); }
void WindowRecordingPorts::CloseStreams() {
  if (!p_.callAudio.open()) return;
  p_.callAudio.Close();
  // The capture has finished its file by now: the counts are the recording's.
  const audio::SoundStats stats = p_.callAudio.stats();
  base::Log(stats.soundLost() ? base::Level::kWarning : base::Level::kInfo, "call sound",
            audio::Describe(stats));
}

void WindowRecordingPorts::InstallCursorHook() {
  p_.capture.InstallCursorHook(p_.messageWindow ? p_.messageWindow() : 0,
                               platform::RegisterWindowMessage(msg::kSaveCursorName));
}

void WindowRecordingPorts::UninstallCursorHook() {
  p_.capture.UninstallCursorHook(p_.messageWindow ? p_.messageWindow() : 0);
}

void WindowRecordingPorts::ArmConverter() {
  if (p_.armConverter) p_.armConverter();
}

std::unique_ptr<recording::CaptureSession> WindowRecordingPorts::StartCapture(
    recording::SessionId id, const capture::ScreenRect& rect, const std::string& outputName) {
  recording::CaptureConfig config;
  config.rect = rect;
  config.outputName = outputName;
  // One resolver for the whole probe: once the configured folder proves
  // missing it stays on the program folder for the remaining attempts. An
  // installed copy's program folder takes no files: its recordings then go
  // to the default output folder, the user's own.
  const std::string fallback = access(p_.folders.programFolder.c_str(), W_OK) == 0
                                   ? p_.folders.programFolder
                                   : p_.folders.defaultOutputFolder;
  auto resolver = std::make_shared<OutputFolderResolver>(
      p_.folders.settingsPath, p_.folders.defaultOutputFolder, fallback);
  config.outputFolder = [resolver] { return resolver->Resolve(); };
  config.randomSeed = static_cast<unsigned>(std::rand());
  config.openGrabber = [] { return capture::OpenScreenGrabber(); };
  config.audio =
      std::make_shared<recording::RingAudioSource>(p_.callAudio.far(), p_.callAudio.near());
  p_.capture.PrepareCapture(config);
  config.observer = std::make_shared<WindowCaptureObserver>(
      p_.window,
      [this, id](capture::ScreenRect recorded, std::string path) {
        OnCaptureStarted(id, recorded, path);
      },
      [this, id](bool interrupted, std::string path) { OnCaptureFinished(id, interrupted, path); });
  return std::make_unique<ThreadSession>(std::move(config));
}

void WindowRecordingPorts::OnCaptureStarted(recording::SessionId id,
                                            const capture::ScreenRect& recorded,
                                            const std::string& path) {
  if (controller_) controller_->OnCaptureStarted(id, path);
  // A capture stopped before its start arrived shows nothing.
  if (!controller_ || !controller_->IsCurrent(id)) return;
  shownFor_ = id;
  p_.capture.ShowMarkerAround(recorded);
  if (p_.floating) p_.floating->ShowBeside(recorded);
}

void WindowRecordingPorts::OnCaptureFinished(recording::SessionId id, bool interrupted,
                                             const std::string& path) {
  if (id == shownFor_) {
    // Whichever way the recording ended (hot key, interruption), the marker
    // and the floating Stop have nothing left to stand for.
    p_.capture.HideMarker();
    if (p_.floating) p_.floating->Hide();
    shownFor_ = 0;
  }
  if (interrupted) {
    auto* event = new wxCommandEvent(WM_USER_RECORDINTERRUPTED_MSG);
    event->SetInt(static_cast<int>(id));
    event->SetString(wxString::FromUTF8(path));
    wxQueueEvent(&p_.window, event);
  }
  // After the interruption, which the queue delivers first.
  p_.window.CallAfter([this, id, path] {
    if (controller_) controller_->OnCaptureFinished(id, path);
  });
}

void WindowRecordingPorts::AppendRecording(const std::string& fullPath, const std::string& fileName,
                                           const std::string& duration) {
  p_.window.AppendRecording(fullPath, fileName, duration);
}
