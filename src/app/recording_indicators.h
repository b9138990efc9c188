#pragma once
// What the main window shows of a running recording besides its status text:
// the elapsed time in its box (timer 2, every second) and the window icon
// blinking between the normal and the recording icon (timer 3, every 600 ms).
// The timers send their ticks to the window, whose event table hands them
// here.
#include <wx/icon.h>
#include <wx/timer.h>

#include <string>

class wxTextCtrl;
class wxTopLevelWindow;

class RecordingIndicators {
 public:
  static constexpr int kElapsedTimer = 2;
  static constexpr int kBlinkTimer = 3;

  RecordingIndicators(wxTopLevelWindow& window, wxTextCtrl& elapsedBox, wxIcon normal,
                      wxIcon recording);

  // The counter from 0 and both timers running.
  void Start();
  // Both timers killed and the normal icon back; the time shown stays.
  void Stop();
  // Closing: only the elapsed timer goes.
  void StopElapsed() { elapsedTimer_.Stop(); }

  void OnElapsedTick();
  void OnBlinkTick();

  std::string ElapsedText() const;
  bool showingRecordingIcon() const;

 private:
  wxTopLevelWindow& window_;
  wxTextCtrl& elapsedBox_;
  wxIcon normal_, recording_;
  wxTimer elapsedTimer_;
  wxTimer blinkTimer_;
  long long elapsedSeconds_ = 0;
  int iconPhase_ = 0;  // 0: the normal icon comes next
};
