#pragma once
// Turns "an input buffer was filled" from a device thread into an event on
// the main window's thread: a wxEVT_THREAD whose id is the message number
// (WM_USER+120 far side, WM_USER+150 near side), so the event table routes
// each side to its own handler.
#include <wx/event.h>

#include "audio/wave_stream.h"

class WaveEventSink : public audio::WaveNotifySink {
 public:
  explicit WaveEventSink(wxEvtHandler* target) : target_(target) {}
  // Any thread. The window outlives the streams that call this.
  void PostWaveMessage(int message) override {
    wxQueueEvent(target_, new wxThreadEvent(wxEVT_THREAD, message));
  }

 private:
  wxEvtHandler* target_;
};
