// The main window's share of recording: the controller and its ports, the
// record and stop commands, timers 2 and 3, the hot keys and the floating
// Stop window.
#include <unistd.h>
#include <wx/textctrl.h>
#include <wx/window.h>

#include "app/capture_windows.h"
#include "app/control_ids.h"
#include "app/main_window.h"
#include "app/recording_indicators.h"
#include "app/recording_ports.h"
#include "app/window_messages.h"
#include "audio/call_audio.h"
#include "platform/glib_fd_watch.h"
#include "platform/hot_keys.h"
#include "platform/process.h"
#include "platform/x11_window_control.h"
#include "recording/floating_stop_window.h"
#include "recording/recording_controller.h"

void MainWindow::SetupRecording() {
  auto screen = platform::ScreenSize().value_or(std::make_pair(1024, 768));
  indicators_ = std::make_unique<RecordingIndicators>(*this, *elapsedBox_, icon_, recordingIcon_);
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

  recorderPorts_ = std::make_unique<WindowRecordingPorts>(WindowRecordingPorts::Parts{
      .window = *this,
      .callAudio = callAudio_,
      .capture = *capture_,
      .indicators = *indicators_,
      .floating = floating_,
      .folders = folders_,
      .messageWindow = [this] { return messageWindow_ ? messageWindow_->id() : 0ul; },
      .armConverter = [this] { hotKeyArmed_ = true; }});
  recorder_ = std::make_unique<recording::RecordingController>(*recorderPorts_, screen.first,
                                                               screen.second);
  recorderPorts_->SetController(recorder_.get());
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
  if (id == 2 && capture_ && capture_->CancelSelection()) return;
  switch (DecideHotKey(id, recorder_ && recorder_->recording(), hotKeyArmed_)) {
    case HotKeyAction::StartConverter: StartConverter(); break;
    case HotKeyAction::Stop: recorder_->Stop(); break;
    case HotKeyAction::Ignore: break;
  }
}

void MainWindow::StartConverter() {
  // The copy installed beside the recorder first, else whichever PATH finds;
  // a missing program is silently ignored.
  platform::SpawnOptions options;
  options.outputFile = "/dev/null";
  std::string program = folders_.programFolder + "/VideoConverter.exe";
  options.searchPath = ::access(program.c_str(), X_OK) != 0;
  if (options.searchPath) program = "VideoConverter.exe";
  if (auto pid = platform::Spawn({program}, options)) {
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
  // wParam names the capture that ended (0: whichever runs now).
  recorder_->OnCaptureInterrupted(static_cast<recording::SessionId>(event.GetInt()),
                                  event.GetString().utf8_string());
}

void MainWindow::OnElapsedTick(wxTimerEvent&) { indicators_->OnElapsedTick(); }
void MainWindow::OnBlinkTick(wxTimerEvent&) { indicators_->OnBlinkTick(); }

wxString MainWindow::elapsedText() const { return elapsedBox_->GetValue(); }

bool MainWindow::showingRecordingIcon() const {
  return indicators_ && indicators_->showingRecordingIcon();
}

void MainWindow::FinishRecordingForExit() {
  if (recorder_) recorder_->FinishForExit();
}
