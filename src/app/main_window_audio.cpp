// The main window's share of call sound: the audio engine around the
// program's life, and the call audio that a recording opens and closes.
#include <chrono>

#include "app/main_window.h"

// Start-up step 8: a fresh engine, so the loopback device exists before a
// recording looks for it. Nothing here waits for it; what it reports comes
// back to this window as events.
void MainWindow::StartAudioEngine() {
  audioEngine_.Launch(folders_.programFolder, [this](const std::string& why) {
    CallAfter([this, why] { OnAudioEngineLost(why); });
  });
}

// The engine was killed or crashed: the keeper has given the user's sound
// back already and logged why; the far side of calls is not recorded from
// here on, which the user has to know.
void MainWindow::OnAudioEngineLost(const std::string&) {
  if (!closing_) SetStatusText("Audio engine stopped");
}

// Close steps 1 and 3: the streams stop and no more sound enters the rings.
// Any recording has finished its file before this.
void MainWindow::ReleaseCallAudio() { callAudio_.Close(); }

// Close steps 4-6: the engine gives the defaults back and removes its
// device; it is waited for, so that is done by the time the program is gone.
void MainWindow::ShutdownAudio() {
  audioEngine_.Stop(messageWindow_ ? messageWindow_->id() : 0);
}
