#pragma once
// The small always-on-top Stop button that stands beside the recorded area
// while the main window is minimised. Its menu shows or hides the main window
// and quits; the owner decides what each of those means through callbacks.
// A press and release on it stops; a press, a drag and a release moves it.
// A close request from the desktop hides it and never destroys it.
#include <wx/frame.h>

#include <functional>
#include <string>

#include "capture/geometry.h"

class CHoverButton;

namespace recording {

class FloatingStopWindow : public wxFrame {
 public:
  static constexpr int kStopButtonId = 1054;
  static constexpr int kShowItem = 32771;
  static constexpr int kExitItem = 32772;

  struct Actions {
    std::function<void()> stop;        // the recording's stop path
    std::function<void()> toggleMain;  // "Show": hide the main window if shown, else show it
    std::function<void()> showMain;    // show and raise the main window
    std::function<void()> exit;        // "Exit"
  };

  // Created hidden and centred on the screen; `skinLittleFolder` ends with '/'.
  FloatingStopWindow(wxWindow* owner, const std::string& skinLittleFolder, Actions actions);

  // Shows the window beside the recorded rectangle (inclusive corners). When
  // no place beside it fits on the screen it stays where it was.
  void ShowBeside(const capture::ScreenRect& rect);

  CHoverButton* stopButton() const { return stop_; }

 private:
  void OnStop(wxCommandEvent& event);
  void OnContextMenu(wxMouseEvent& event);
  void OnDoubleClick(wxMouseEvent& event);
  void OnCloseRequest(wxCloseEvent& event);

  CHoverButton* stop_;
  Actions actions_;
};

}  // namespace recording
