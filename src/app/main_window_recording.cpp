// The main window's share of recording: the controller's ports, the record and
// stop commands, timers 2 and 3, the hot keys and the floating Stop window.
#include <type_traits>

#include <wx/textctrl.h>
#include <wx/window.h>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "app/window_messages.h"
#include "audio/device_routing.h"
#include "platform/glib_fd_watch.h"
#include "platform/hot_keys.h"
#include "platform/process.h"
#include "platform/screen_grabber.h"
#include "platform/x11_window_control.h"
#include "recording/capture_thread.h"
#include "recording/floating_stop_window.h"
#include "recording/output_file.h"
#include "recording/recording_controller.h"
#include "recording/ring_audio_source.h"
#include "skype/skype_client.h"

namespace {

// Buffer length of both input streams: two notifications a second.
constexpr int kStreamBufferMs = 500;

// Hands the capture thread's reports to the main window's thread. Each report
// carries the generation of its capture, so a late report of an earlier
// recording never touches the current one.
class WindowCaptureObserver : public recording::CaptureObserver {
 public:
  using Started = std::function<void(unsigned, capture::ScreenRect, std::string)>;
  using Finished = std::function<void(unsigned, recording::CaptureOutcome)>;
  WindowCaptureObserver(wxWindow* window, unsigned generation, Started started, Finished finished)
      : window_(window), generation_(generation), started_(std::move(started)),
        finished_(std::move(finished)) {}

  // The queued calls carry copies, not this observer: it goes with its
  // capture session, which may be gone (stopped and finished, or the program
  // closing) before the window gets to the call.
  void OnStarted(const capture::ScreenRect& recorded, const std::string& path) override {
    Deliver([started = started_, gen = generation_, recorded, path] { started(gen, recorded, path); });
  }
  void OnHalfSecond() override {}
  void OnFinished(const recording::CaptureOutcome& outcome) override {
    Deliver([finished = finished_, gen = generation_, outcome] { finished(gen, outcome); });
  }

 private:
  void Deliver(std::function<void()> call) {
    // CallAfter only queues an event, which is safe from this thread. The
    // window outlives every capture thread: closing waits for them first.
    window_->CallAfter(std::move(call));
  }
  wxWindow* window_;
  unsigned generation_;
  Started started_;
  Finished finished_;
};

class ThreadSession : public recording::CaptureSession {
 public:
  explicit ThreadSession(recording::CaptureConfig config) : thread_(std::move(config)) {}
  void Stop() override { thread_.Stop(); }

 private:
  recording::CaptureThread thread_;  // its destructor waits for the file
};

}  // namespace

class MainWindowRecordingPorts : public recording::RecordingPorts {
 public:
  explicit MainWindowRecordingPorts(MainWindow& w) : w_(w) {}

  std::optional<capture::ScreenRect> BringCallWindowForward() override {
    platform::WindowId client = skype::FindSkypeMainWindow();
    if (!client || !platform::BringWindowToFront(client)) return std::nullopt;
    auto r = platform::WindowScreenRect(client);
    if (!r) return std::nullopt;
    return capture::ScreenRect{r->left, r->top, r->right, r->bottom};
  }
  void MinimiseMain() override { w_.Iconize(true); }
  void RestoreMain() override {
    w_.Iconize(false);
    w_.Show();
    w_.Raise();
    w_.Refresh(false);
  }
  void ShowSelection() override { w_.ShowRegionSelection(); }
  void PostRecordStart() override {
    wxQueueEvent(&w_, new wxCommandEvent(WM_USER_RECORDSTART_MSG));
  }
  std::string OutputFolderText() override { return w_.outputFolder().utf8_string(); }
  void StartClock() override {
    w_.elapsedSeconds_ = 0;
    w_.elapsedTimer_.Start(1000);
    w_.blinkTimer_.Start(600);
  }
  void StopClock() override {
    w_.elapsedTimer_.Stop();
    w_.blinkTimer_.Stop();
    if (w_.icon_.IsOk()) w_.SetIcon(w_.icon_);
  }
  std::string ElapsedText() override { return FormatElapsed(w_.elapsedSeconds_); }
  void SetStatus(const std::string& text) override { w_.SetStatusText(wxString::FromUTF8(text)); }

  void OpenStreams() override {
    // The far side from the loopback; the near side only when the far side's
    // stream could be made at all.
    w_.remoteRing_->Clear();
    w_.remoteStream_ = std::make_unique<audio::WaveStream>(kStreamBufferMs);
    w_.remoteStream_->SetInputNotify(&w_.waveEvents_, msg::kRemoteAudioBlock);
    w_.remoteStream_->OpenInput(audio::InputDeviceIdContaining(audio::kLoopbackName).c_str());
    w_.remoteStream_->StartInput();

    w_.localRing_->Clear();
    w_.localStream_ = std::make_unique<audio::WaveStream>(kStreamBufferMs);
    w_.localStream_->SetInputNotify(&w_.waveEvents_, msg::kLocalAudioBlock);
    w_.localStream_->OpenInput("-1");
    w_.localStream_->StartInput();
  }
  void CloseStreams() override {
    for (auto* stream : {&w_.remoteStream_, &w_.localStream_}) {
      if (*stream) (*stream)->StopInput();
      stream->reset();
    }
  }
  void InstallCursorHook() override { w_.InstallCursorHook(); }
  void UninstallCursorHook() override { w_.UninstallCursorHook(); }
  void ArmConverter() override { w_.hotKeyArmed_ = true; }

  std::unique_ptr<recording::CaptureSession> StartCapture(const capture::ScreenRect& rect,
                                                          const std::string& outputName) override {
    const unsigned generation = ++w_.captureGeneration_;
    recording::CaptureConfig config;
    config.rect = rect;
    config.outputName = outputName;
    // One resolver for the whole probe: once the configured folder proves
    // missing it stays on the program folder for the remaining attempts.
    auto resolver = std::make_shared<recording::OutputFolderResolver>(
        w_.folders_.settingsPath, w_.folders_.defaultOutputFolder, w_.folders_.programFolder);
    config.outputFolder = [resolver] { return resolver->Resolve(); };
    config.randomSeed = static_cast<unsigned>(std::rand());
    config.openGrabber = [] { return capture::OpenScreenGrabber(); };
    config.audio = std::make_shared<recording::RingAudioSource>(*w_.remoteRing_, *w_.localRing_,
                                                                &w_.audioCollect_);
    w_.PrepareCapture(config);
    MainWindow* window = &w_;
    config.observer = std::make_shared<WindowCaptureObserver>(
        &w_, generation,
        [window](unsigned gen, capture::ScreenRect recorded, std::string path) {
          if (gen != window->captureGeneration_) return;
          window->recorder_->OnCaptureStarted(path);
          window->ShowMarkerAround(recorded);
          if (window->floating_) window->floating_->ShowBeside(recorded);
        },
        [window](unsigned gen, recording::CaptureOutcome outcome) {
          if (gen == window->captureGeneration_) {
            // Whichever way the recording ended (hot key, interruption), the
            // floating Stop has nothing left to stop.
            window->HideMarker();
            if (window->floating_) window->floating_->Hide();
          }
          if (gen == window->captureGeneration_ && outcome.interrupted) {
            auto* event = new wxCommandEvent(WM_USER_RECORDINTERRUPTED_MSG);
            event->SetString(wxString::FromUTF8(outcome.path));
            wxQueueEvent(window, event);
          }
          window->recorder_->OnCaptureFinished();
        });
    return std::make_unique<ThreadSession>(std::move(config));
  }

  void AppendRecording(const std::string& fullPath, const std::string& fileName,
                       const std::string& duration) override {
    w_.AppendRecording(fullPath, fileName, duration);
  }

 private:
  MainWindow& w_;
};

void MainWindow::SetupRecording() {
  auto screen = platform::ScreenSize().value_or(std::make_pair(1024, 768));
  recorderPorts_ = std::make_unique<MainWindowRecordingPorts>(*this);
  recorder_ = std::make_unique<recording::RecordingController>(*recorderPorts_, screen.first,
                                                               screen.second);
  recording::FloatingStopWindow::Actions actions;
  actions.stop = [this] { recorder_->Stop(); };
  actions.showMain = [this] { recorderPorts_->RestoreMain(); };
  actions.toggleMain = [this] {
    if (IsShown() && !IsIconized()) Hide();
    else recorderPorts_->RestoreMain();
  };
  // Quitting from the floating window goes through the normal close, so the
  // recording is finished and the audio devices are put back.
  actions.exit = [this] { Close(); };
  floating_ = new recording::FloatingStopWindow(this, folders_.skinFolder + "little/", actions);
}

void MainWindow::RegisterHotKeys() {
  hotKeys_ = platform::GlobalHotKeys::Create([this](int id) { OnHotKey(id); });
  if (!hotKeys_) return;
  hotKeyTable_ = HotKeyTable::Defaults();
  hotKeyTable_.RegisterAll([this](int id) { hotKeys_->Unregister(id); },
                           [this](int id, unsigned mods, int key) {
                             return hotKeys_->Register(id, mods, key);
                           });
  hotKeyWatch_ = std::make_unique<platform::GlibFdWatch>(hotKeys_->fd(),
                                                         [this] { hotKeys_->DispatchPending(); });
  hotKeyArmed_ = true;
}

void MainWindow::OnHotKey(int id) {
  // The stop key is grabbed globally, so an open region selection hears it
  // only through here: there it cancels the selection.
  if (id == 2 && CancelRegionSelection()) return;
  switch (DecideHotKey(id, recorder_ && recorder_->recording(), hotKeyArmed_)) {
    case HotKeyAction::StartConverter: StartConverter(); break;
    case HotKeyAction::Stop: recorder_->Stop(); break;
    case HotKeyAction::Ignore: break;
  }
}

void MainWindow::StartConverter() {
  // Found through PATH; a missing program is silently ignored.
  platform::SpawnOptions options;
  options.searchPath = true;
  options.outputFile = "/dev/null";
  if (auto pid = platform::Spawn({"VideoConverter.exe"}, options)) {
    // Reap it whenever it ends so no zombie is left behind.
    std::thread([pid = *pid] { platform::WaitChild(pid, std::chrono::hours(24 * 365)); }).detach();
  }
}

void MainWindow::OnRecordFixed(wxCommandEvent&) { recorder_->RecordFixed(std::time(nullptr)); }
void MainWindow::OnRecordCustom(wxCommandEvent&) { recorder_->RecordCustom(std::time(nullptr)); }
void MainWindow::OnStopCommand(wxCommandEvent&) { recorder_->Stop(); }
void MainWindow::OnConverterCommand(wxCommandEvent&) { StartConverter(); }
void MainWindow::OnRecordStartMsg(wxCommandEvent&) { recorder_->OnRecordStart(); }

void MainWindow::OnRecordInterruptedMsg(wxCommandEvent& event) {
  recorder_->OnCaptureInterrupted(event.GetString().utf8_string());
}

void MainWindow::OnElapsedTick(wxTimerEvent&) {
  ++elapsedSeconds_;
  elapsedBox_->ChangeValue(FormatElapsed(elapsedSeconds_));
}

void MainWindow::OnBlinkTick(wxTimerEvent&) {
  const wxIcon& next = iconPhase_ == 0 ? icon_ : recordingIcon_;
  iconPhase_ = iconPhase_ == 0 ? 1 : 0;
  if (next.IsOk()) SetIcon(next);
}

wxString MainWindow::elapsedText() const { return elapsedBox_->GetValue(); }

bool MainWindow::showingRecordingIcon() const {
  return recordingIcon_.IsOk() && GetIcon().IsSameAs(recordingIcon_);
}

void MainWindow::FinishRecordingForExit() {
  if (recorder_) recorder_->FinishForExit();
}
