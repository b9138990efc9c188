// The main window's preview panel: the row menu that unfolds it, the panel's
// controls shown and hidden with it, and the transport, slider and snapshot
// commands handed to the MainPreview that owns the preview's state.
#include <wx/menu.h>
#include <wx/utils.h>

#include <filesystem>

#include "app/control_ids.h"
#include "app/main_layout.h"
#include "app/main_preview.h"
#include "app/main_window.h"
#include "app/media_list.h"
#include "base/log.h"
#include "platform/native_window.h"
#include "ui/bitmap_slider_static.h"
#include "ui/hover_button.h"
#include "ui/preview_window.h"

namespace {

// The controls that live on the panel, shown and hidden with it.
constexpr int kPanelButtons[] = {ids::kPreStart, ids::kPreBack,    ids::kPrePlay,
                                 ids::kPreStop,  ids::kPreForward, ids::kPreEnd,
                                 ids::kPrePause, ids::kSnapshot,   ids::kOpenSnap};

// The transport row lies over the lower part of the picture. The picture
// has an X window of its own, which would cover buttons drawn into the main
// window's; these get X windows of their own, made after the picture's and so
// stacked above it.
constexpr int kButtonsOverPicture[] = {ids::kPreStart, ids::kPreBack, ids::kPrePlay,
                                       ids::kPreStop};

}  // namespace

void MainWindow::CreatePreviewPanel() {
  // Made before the buttons, which stack above it.
  const auto& r = layout::kPreviewRect;
  previewArea_ = new PreviewWindow(this, ids::kPreview, wxPoint(r.x, r.y), wxSize(r.w, r.h),
                                   LoadSkinBitmap(folders_.skinFolder + "screen_normal.bmp"));
  previewArea_->Hide();
  const auto& s = layout::kPreviewSlider;
  previewSlider_ =
      new CBitmapSliderStatic(this, ids::kPreviewSlider, wxPoint(s.x, s.y), wxSize(s.w, s.h));
  previewSlider_->Hide();
  preview_ = std::make_unique<MainPreview>(previewArea_, previewSlider_);
}

void MainWindow::SkinPreviewPanel() {
  panelBackground_ = LoadSkinBitmap(folders_.skinFolder + "preview_panel.bmp");
  const std::string res = folders_.skinFolder + "res/";
  previewSlider_->SetChannelBitmaps(res + "432.bmp", "", false);
  previewSlider_->SetThumbBitmaps(res + "136.bmp", res + "137.bmp", true,
                                  CBitmapSliderStatic::kKeyFromPixel, 0, 0);
  previewSlider_->DrawFocusRect(false, false);
  previewSlider_->SetPos(0);
}

bool MainWindow::previewPanelShown() const { return previewArea_ && previewArea_->IsShown(); }

void MainWindow::ShowPreviewPanel(bool show) {
  if (show == previewPanelShown()) return;
  if (!show) preview_->Fold();
  previewArea_->Show(show);
  previewSlider_->Show(show);
  for (int id : kPanelButtons) buttons_[id]->Show(show);
  SetSize(show ? layout::kWideWidth : layout::kWidth, layout::kHeight);
  ApplyWindowShape();  // after the panel's visibility, which decides the shape
  Refresh(false);
  if (show) {
    Update();  // the preview's window exists on the screen before it is drawn in
    preview_->Unfold();
    for (int id : kButtonsOverPicture) platform::MakeNativeWindow(buttons_[id]->GetHandle());
  }
}

void MainWindow::OnListRightClick(wxCommandEvent& event) {
  // The menu acts on the row under the pointer, which the list has
  // selected: that is a row click first.
  OnListClick(event);
  wxMenu menu;
  menu.AppendCheckItem(ids::kMenuPreview, "Preview");
  menu.Check(ids::kMenuPreview, previewPanelShown());
  menu.AppendSeparator();
  menu.Append(ids::kTrim, wxString::FromUTF8("Trim…"));
  menu.Append(ids::kCrop, wxString::FromUTF8("Crop and zoom…"));
  menu.Append(ids::kEffect, wxString::FromUTF8("Effects…"));
  menu.Append(ids::kSetting, wxString::FromUTF8("Output settings…"));
  menu.Append(ids::kConvert, wxString::FromUTF8("Export…"));
  menu.AppendSeparator();
  menu.Append(ids::kSnapshot, "Snapshot");
  menu.Append(ids::kOpenSnap, "Open snapshot folder");
  menu.AppendSeparator();
  menu.Append(ids::kDelete, "Delete");
  menu.Append(ids::kClear, "Clear list");
  PopupMenu(&menu);
}

void MainWindow::OnMenuPreview(wxCommandEvent&) { ShowPreviewPanel(!previewPanelShown()); }

void MainWindow::LoadPreview(const std::string& file) { preview_->Load(file); }

void MainWindow::OnPreviewCommand(wxCommandEvent& event) {
  switch (event.GetId()) {
    case ids::kPreStart: preview_->ToStart(); break;
    case ids::kPreBack: preview_->Back(); break;
    case ids::kPrePlay: preview_->Play(); break;
    case ids::kPreStop:
    case ids::kPrePause: preview_->Stop(); break;
    case ids::kPreForward: preview_->Forward(); break;
    case ids::kPreEnd: preview_->ToEnd(); break;
    default: break;
  }
}

void MainWindow::OnPreviewSlider(wxCommandEvent& event) { preview_->OnSliderMoving(event.GetInt()); }

std::string MainWindow::snapshotFolder() const {
  return outputFolder().utf8_string() + "/Snapshot";
}

void MainWindow::OnSnapshot(wxCommandEvent&) {
  const int row = list_->model().selectedIndex();
  if (row < 0 || static_cast<size_t>(row) >= list_->model().size()) return;
  // The recording's name without its extension names the pictures.
  const std::string name =
      std::filesystem::path(list_->model().items()[static_cast<size_t>(row)].fileName).stem();
  std::error_code ignored;
  std::filesystem::create_directories(snapshotFolder(), ignored);
  // Nothing is shown either way; a failure still reaches the log.
  const base::Result<std::string> shot = preview_->TakeSnapshot(name, snapshotFolder());
  if (shot.Is(media::SnapshotError::kFailed))
    base::Log(base::Level::kWarning, "snapshot", "no snapshot: " + shot.message());
}

void MainWindow::OnOpenSnapshotFolder(wxCommandEvent&) {
  wxLaunchDefaultApplication(wxString::FromUTF8(snapshotFolder()));
  previewArea_->Refresh();
}
