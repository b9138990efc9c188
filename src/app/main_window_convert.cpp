// The conversion commands. They sit on hidden controls; the conversion itself
// is the companion converter's business, so the worker here has nothing to do
// and ends at once, and the bar follows whatever progress is reported.
#include <wx/gauge.h>

#include <algorithm>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "app/window_messages.h"

wxDEFINE_EVENT(WM_CONVERT_PROGRESS, wxCommandEvent);

namespace {
wxGauge* ProgressBar(wxWindow* w) { return wxDynamicCast(w->FindWindow(ids::kProgress), wxGauge); }
}  // namespace

void MainWindow::OnConvert(wxCommandEvent&) {
  if (wxGauge* bar = ProgressBar(this)) {
    bar->SetValue(0);
    bar->Show();
  }
  if (convertWorker_.joinable()) convertWorker_.join();
  convertWorker_ = std::thread([] {});
}

void MainWindow::OnConvertStop(wxCommandEvent&) {
  if (wxGauge* bar = ProgressBar(this)) {
    bar->Hide();
    bar->SetValue(0);
  }
}

void MainWindow::OnConvertProgress(wxCommandEvent& event) {
  const int percent = std::clamp(static_cast<int>(event.GetExtraLong()), 0, 100);
  if (wxGauge* bar = ProgressBar(this)) bar->SetValue(percent);
  convertPercentText_ = wxString::Format("%d", percent) + "% ";  // kept, not drawn
}
