// The main window's share of call sound: the audio engine and the default
// devices around the program's life, and the call audio that a recording
// opens and closes.
#include <chrono>
#include <thread>

#include "app/main_window.h"

// Start-up step 8: a fresh engine, so the loopback device exists before
// anything looks for it. Blocks for the engine's start (about 8 s at most).
void MainWindow::StartAudioEngine() { audioEngine_.Start(folders_.programFolder); }

// Start-up step 16.
void MainWindow::SaveDefaultDevices() { defaultDevices_.Save(); }

// Start-up step 17: the one tick makes the loopback the default playback
// device, once the engine's device has settled.
void MainWindow::StartRouteTimer() { routeTimer_.StartOnce(kRouteDelayMs); }

void MainWindow::OnRouteTimer(wxTimerEvent&) { defaultDevices_.RouteToVirtualDevice(); }

// Close steps 1 and 3: the streams stop and no more sound enters the rings.
// Any recording has finished its file before this.
void MainWindow::ReleaseCallAudio() { callAudio_.Close(); }

// Close steps 4-6.
void MainWindow::ShutdownAudio() {
  defaultDevices_.Restore();
  // Lets the call client follow the restored default before the loopback goes.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // The engine we started is waited for briefly, so that it has removed its
  // device (and is reaped) by the time the program is gone.
  if (audio::AudioEngine::Stop(messageWindow_ ? messageWindow_->id() : 0))
    audioEngine_.WaitEnded(std::chrono::milliseconds(1500));
}
