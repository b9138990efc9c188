#include "converter_window.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <algorithm>
#include <filesystem>

#include "app/output_folder.h"
#include "edit/format_profiles.h"
#include "export/output_formats.h"

namespace fs = std::filesystem;

namespace {

// The window's one output: the first standard profile (MP4) at its defaults.
exporter::OutputFormat DefaultFormat(std::string* extension) {
  const auto profiles = edit::StandardProfiles();
  const edit::FormatProfile& mp4 = *profiles.At(0);
  *extension = mp4.extension;
  return exporter::FormatFor(mp4, -1, -1, -1);
}

}  // namespace

ConverterWindow::ConverterWindow(std::string folder)
    : wxFrame(nullptr, wxID_ANY, kTitle, wxDefaultPosition, wxSize(460, 360)),
      folder_(std::move(folder)) {
  auto* panel = new wxPanel(this);
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(new wxStaticText(panel, wxID_ANY, "Recordings in " + wxString::FromUTF8(folder_)),
              0, wxALL, 8);
  list_ = new wxListBox(panel, wxID_ANY);
  column->Add(list_, 1, wxEXPAND | wxLEFT | wxRIGHT, 8);
  gauge_ = new wxGauge(panel, wxID_ANY, 100);
  column->Add(gauge_, 0, wxEXPAND | wxALL, 8);
  status_ = new wxStaticText(panel, wxID_ANY, "Choose a recording and Convert: it is written to MP4 beside it.");
  column->Add(status_, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  convert_ = new wxButton(panel, wxID_ANY, "Convert");
  cancel_ = new wxButton(panel, wxID_CANCEL, "Cancel");
  buttons->Add(convert_, 0, wxRIGHT, 8);
  buttons->Add(cancel_);
  column->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 8);
  panel->SetSizer(column);
  convert_->Bind(wxEVT_BUTTON, &ConverterWindow::OnConvert, this);
  cancel_->Bind(wxEVT_BUTTON, &ConverterWindow::OnCancel, this);
  list_->Bind(wxEVT_LISTBOX_DCLICK, &ConverterWindow::OnConvert, this);
  Bind(wxEVT_CLOSE_WINDOW, &ConverterWindow::OnClose, this);
  Fill();
  SetRunning(false);
}

ConverterWindow::~ConverterWindow() {
  cancelRequested_ = true;
  if (worker_.joinable()) worker_.join();
}

void ConverterWindow::Fill() {
  recordings_.clear();
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder_, ec))
    if (entry.is_regular_file(ec) && entry.path().extension() == ".avi")
      recordings_.push_back(entry.path().string());
  std::sort(recordings_.begin(), recordings_.end());
  const int selected = list_->GetSelection();
  list_->Clear();
  for (const auto& path : recordings_) list_->Append(wxString::FromUTF8(fs::path(path).filename().string()));
  if (!recordings_.empty()) list_->SetSelection(std::clamp(selected, 0, int(recordings_.size()) - 1));
}

void ConverterWindow::SetRunning(bool running) {
  convert_->Enable(!running && !recordings_.empty());
  cancel_->Enable(running);
  list_->Enable(!running);
}

void ConverterWindow::OnConvert(wxCommandEvent&) {
  const int row = list_->GetSelection();
  if (cancel_->IsEnabled()) return;  // one conversion at a time
  if (row == wxNOT_FOUND || row >= int(recordings_.size())) return;
  if (worker_.joinable()) worker_.join();  // the last run has reported its end
  exporter::ExportRequest request;
  std::string extension;
  request.format = DefaultFormat(&extension);
  request.input = recordings_[size_t(row)];
  request.output = EditedName(request.input, extension);
  cancelRequested_ = false;
  gauge_->SetValue(0);
  status_->SetLabel("Converting to " + wxString::FromUTF8(fs::path(request.output).filename().string()));
  SetRunning(true);
  worker_ = std::jthread([this, request] {
    base::Outcome result;
    try {
      result = exporter::Export(
          request, [this](int percent) { CallAfter([this, percent] { ShowProgress(percent); }); },
          cancelRequested_);
    } catch (const std::exception& e) {
      result = base::Outcome::Fail(exporter::ExportError::kFailed, e.what());
    }
    CallAfter([this, output = request.output, result] { ShowResult(output, result); });
  });
}

void ConverterWindow::OnCancel(wxCommandEvent&) { cancelRequested_ = true; }

void ConverterWindow::OnClose(wxCloseEvent& event) {
  cancelRequested_ = true;
  event.Skip();
}

void ConverterWindow::ShowProgress(int percent) {
  if (cancel_->IsEnabled()) gauge_->SetValue(std::clamp(percent, 0, 100));
}

void ConverterWindow::ShowResult(const std::string& output, const base::Outcome& result) {
  SetRunning(false);
  const wxString name = wxString::FromUTF8(fs::path(output).filename().string());
  if (result.ok()) {
    gauge_->SetValue(100);
    status_->SetLabel("Wrote " + name);
  } else {
    gauge_->SetValue(0);
    status_->SetLabel(result.Is(exporter::ExportError::kCancelled) ? wxString("Cancelled; nothing was written")
                                       : "Not converted: " + wxString::FromUTF8(result.message()));
  }
  Fill();
  SetRunning(false);
}
