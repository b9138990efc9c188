// The conversion commands: Convert exports the selected recordings, one
// after another, each with its record's edits and the chosen format, to a
// new file beside it; Stop cancels. The work runs on the export queue's
// worker; its reports reach the window through the event queue.
#include <wx/combobox.h>

#include <algorithm>
#include <filesystem>

#include "app/control_ids.h"
#include "app/export_queue.h"
#include "app/main_window.h"
#include "app/media_list.h"
#include "app/output_folder.h"
#include "app/window_messages.h"
#include "export/output_formats.h"
#include "ui/bitmap_progress_ctrl.h"

wxDEFINE_EVENT(WM_CONVERT_PROGRESS, wxCommandEvent);

namespace {

exporter::ExportEdits EditsOf(const MediaItem& item) {
  exporter::ExportEdits edits;
  edits.trimStartFraction = item.trimStartFraction;
  edits.trimEndFraction = item.trimEndFraction;
  edits.crop = {item.cropLeft, item.cropTop, item.cropRight, item.cropBottom};
  edits.zoom = static_cast<exporter::Zoom>(std::clamp(item.zoom, 0, 2));
  edits.effects = {item.effect, item.brightness, item.contrast, item.saturation, item.volume};
  return edits;
}

std::string FileNameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

CBitmapProgressCtrl* MainWindow::progressBar() const {
  return dynamic_cast<CBitmapProgressCtrl*>(FindWindow(ids::kProgress));
}

void MainWindow::OnConvert(wxCommandEvent&) {
  if (exports_->running()) return;
  const edit::FormatProfile* profile = profiles_.At(selector(ids::kProfile)->GetSelection());
  const std::vector<int> rows = list_->GetSelectedRows();
  if (!profile || rows.empty()) return;
  const exporter::OutputFormat format = exporter::FormatFor(
      *profile, selector(ids::kResolution)->GetSelection(),
      selector(ids::kVideoBitrate)->GetSelection(), selector(ids::kAudioBitrate)->GetSelection());
  std::vector<exporter::ExportRequest> jobs;
  std::vector<std::string> taken;
  for (int row : rows) {
    if (row < 0 || static_cast<size_t>(row) >= list_->model().size()) continue;
    const MediaItem& item = list_->model().items()[static_cast<size_t>(row)];
    exporter::ExportRequest job{item.fullPath, EditedName(item.fullPath, profile->extension, taken),
                                EditsOf(item), format};
    taken.push_back(job.output);
    jobs.push_back(std::move(job));
  }
  if (jobs.empty()) return;
  progressBar()->SetPos(0);
  progressBar()->Show();
  SetStatusText("Exporting " + wxString::FromUTF8(FileNameOf(jobs.front().input)));

  const size_t count = jobs.size();
  std::vector<std::string> outputs;
  for (const auto& job : jobs) outputs.push_back(job.output);
  ExportQueue::Reports reports;
  reports.progress = [this, count](size_t job, int percent) {
    auto* event = new wxCommandEvent(WM_CONVERT_PROGRESS);
    event->SetExtraLong(static_cast<long>((job * 100 + static_cast<size_t>(percent)) / count));
    wxQueueEvent(this, event);
  };
  reports.finished = [this, outputs](size_t job, const base::Outcome& result) {
    wxString text;
    if (result.ok())
      text = "Exported " + wxString::FromUTF8(FileNameOf(outputs[job]));
    else if (result.Is(exporter::ExportError::kCancelled))
      text = "Export cancelled";
    else
      text = "Export failed: " + wxString::FromUTF8(result.message());
    CallAfter([this, text] { SetStatusText(text); });
  };
  reports.done = [this](bool) {
    CallAfter([this] {
      progressBar()->Hide();
      progressBar()->SetPos(0);
    });
  };
  exports_->Start(std::move(jobs), std::move(reports));
}

void MainWindow::OnConvertStop(wxCommandEvent&) {
  // The file under way is removed by the export; the bar goes at once.
  exports_->Cancel();
  progressBar()->Hide();
  progressBar()->SetPos(0);
}

void MainWindow::OnConvertProgress(wxCommandEvent& event) {
  const int percent = std::clamp(static_cast<int>(event.GetExtraLong()), 0, 100);
  progressBar()->SetPos(percent);
  convertPercentText_ = wxString::Format("%d", percent) + "% ";  // kept, not drawn
}

bool MainWindow::exporting() const { return exports_->running(); }
