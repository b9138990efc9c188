#pragma once
// The converter started without arguments: the recordings of the output
// folder, one of which Convert turns into "<name> (edited).mp4" beside it
// on a worker thread, with a progress bar and a Cancel.
#include <wx/frame.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "export/export_engine.h"

class wxButton;
class wxGauge;
class wxListBox;
class wxStaticText;

class ConverterWindow : public wxFrame {
 public:
  static constexpr const char* kTitle = "Murmurant Converter";

  // Lists the *.avi files of `folder`, newest name last.
  explicit ConverterWindow(std::string folder);
  ~ConverterWindow() override;  // cancels a conversion under way and waits for it

  // The recordings shown, as full paths, in list order.
  const std::vector<std::string>& recordings() const { return recordings_; }

 private:
  void Fill();
  void OnConvert(wxCommandEvent&);
  void OnCancel(wxCommandEvent&);
  void OnClose(wxCloseEvent&);
  // On the window's thread, from the worker's reports.
  void ShowProgress(int percent);
  void ShowResult(const std::string& output, const base::Outcome& result);
  void SetRunning(bool running);

  std::string folder_;
  std::vector<std::string> recordings_;
  wxListBox* list_ = nullptr;
  wxButton* convert_ = nullptr;
  wxButton* cancel_ = nullptr;
  wxGauge* gauge_ = nullptr;
  wxStaticText* status_ = nullptr;
  std::atomic<bool> cancelRequested_{false};
  // Declared last: joined first, before the controls it reports to go away.
  std::jthread worker_;
};
