// The main window's share of the recordings list: appending a finished
// recording, row clicks, and the delete and clear commands.
#include <wx/utils.h>


#include "app/main_layout.h"
#include "app/main_window.h"
#include "app/media_list.h"
#include "media/media_decoder.h"

void MainWindow::AppendRecording(const std::string& fullPath, const std::string& fileName,
                                 const std::string& duration) {
  const size_t row = list_->model().AppendRecording(fullPath, fileName, duration);
  LearnSourceLength(row);
  list_->RefreshRows();
  list_->SetSize(layout::kListRect.x, layout::kListRect.y, layout::kListRect.w,
                 layout::kListRect.h);
  list_->Show();
}

void MainWindow::LearnSourceLength(size_t row) {
  // The file's own length, for the trim tool: the elapsed text counts whole
  // seconds of the clock, the file holds what was really written. A file
  // still being closed by its capture tells no length yet; it is asked again
  // when a tool opens on it.
  MediaItem& item = list_->model().at(row);
  if (item.sourceSeconds > 0.0) return;
  media::CMediaDecoder decoder;
  decoder.Initialise();
  media::StreamInfo info;
  if (decoder.Open(item.fullPath.c_str()) == 1 && decoder.GetStreamInfo(&info) == 1)
    list_->model().SetSourceLength(row, info.duration);
}

const std::string& MainWindow::currentFile() const { return list_->model().currentFile(); }

void MainWindow::OnListClick(wxCommandEvent&) {
  // The selection decides, not the row under the pointer: a click on empty
  // space selects nothing and leaves the current file as it was.
  list_->model().OnRowClick(list_->GetFirstSelected());
  selectedIndex_ = list_->model().selectedIndex();
  // With a row selected, the preview stops and loads the current file.
  if (selectedIndex_ >= 0) LoadPreview(list_->model().currentFile());
}

void MainWindow::OnListDoubleClick(wxCommandEvent&) {
  auto file = list_->model().OnRowDoubleClick(list_->GetFirstSelected());
  selectedIndex_ = list_->model().selectedIndex();
  // The user's default player opens it; a missing player or file stays silent.
  if (file) wxLaunchDefaultApplication(wxString::FromUTF8(*file));
}

void MainWindow::OnDeleteSelected(wxCommandEvent&) {
  const bool empty = list_->model().DeleteRows(list_->GetSelectedRows());
  selectedIndex_ = list_->model().selectedIndex();
  list_->RefreshRows();
  list_->Update();
  if (empty) list_->Hide();
}

void MainWindow::OnClearList(wxCommandEvent&) {
  list_->model().Clear();
  selectedIndex_ = -1;
  list_->RefreshRows();
  list_->Update();
  list_->Hide();
}
