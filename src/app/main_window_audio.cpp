// The main window's share of call sound: the audio engine and the default
// devices around the program's life, the two rings, and the handlers of the
// input streams' notifications.
#include <chrono>
#include <thread>

#include "app/main_window.h"
#include "audio/call_audio.h"

// Start-up step 8: a fresh engine, so the loopback device exists before
// anything looks for it. Blocks for the engine's start (about 8 s at most).
void MainWindow::StartAudioEngine() { audioEngine_.Start(folders_.programFolder); }

// Start-up steps 15 and 19: both rings allocated and empty; no streams yet,
// and no sound is collected until a recording's first frame.
void MainWindow::SetupAudioRings() {
  remoteRing_ = std::make_unique<audio::AudioRing>();
  localRing_ = std::make_unique<audio::AudioRing>();
  remoteRingReleased_ = false;
  audioCollect_ = false;
}

// Start-up step 16.
void MainWindow::SaveDefaultDevices() { defaultDevices_.Save(); }

// Start-up step 17: the one tick makes the loopback the default playback
// device, once the engine's device has settled.
void MainWindow::StartRouteTimer() { routeTimer_.StartOnce(kRouteDelayMs); }

void MainWindow::OnRouteTimer(wxTimerEvent&) { defaultDevices_.RouteToVirtualDevice(); }

void MainWindow::OnRemoteAudioBlock(wxThreadEvent&) {
  audio::DrainIntoRing(remoteStream_.get(), remoteBlock_,
                       remoteRingReleased_ ? nullptr : remoteRing_.get(), audioCollect_);
}

void MainWindow::OnLocalAudioBlock(wxThreadEvent&) {
  audio::DrainIntoRing(localStream_.get(), localBlock_, localRing_.get(), audioCollect_);
}

// Close step 1. The ring takes no more sound from here on; its storage goes
// with the window, after any capture thread still draining it has ended.
void MainWindow::ReleaseRemoteRing() { remoteRingReleased_ = true; }

// Close steps 3-6.
void MainWindow::ShutdownAudio() {
  if (remoteStream_) {
    remoteStream_->StopInput();
    remoteStream_.reset();  // closes the device; no notification follows
  }
  defaultDevices_.Restore();
  // Lets the call client follow the restored default before the loopback goes.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // The engine we started is waited for briefly, so that it has removed its
  // device (and is reaped) by the time the program is gone.
  if (audio::AudioEngine::Stop(messageWindow_ ? messageWindow_->id() : 0))
    audioEngine_.WaitEnded(std::chrono::milliseconds(1500));
}
