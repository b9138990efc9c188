#include "app/main_window.h"

#include <wx/combobox.h>
#include <wx/dcbuffer.h>
#include <wx/dirdlg.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <cstdlib>
#include <ctime>

#include "app/capture_windows.h"
#include "app/export_queue.h"
#include "app/control_ids.h"
#include "app/main_layout.h"
#include "app/recording_indicators.h"
#include "app/recording_ports.h"
#include "app/startup_repair.h"
#include "app/window_messages.h"
#include "platform/glib_fd_watch.h"
#include "platform/hot_keys.h"
#include "recording/recording_controller.h"
#include "platform/glib_message_pump.h"
#include "skype/skype_link.h"
#include "ui/background_drag.h"
#include "app/media_list.h"
#include "ui/bitmap_progress_ctrl.h"
#include "ui/bitmap_slider_static.h"
#include "ui/hover_button.h"
#include "app/main_preview.h"

namespace {

// The maker's web site; the two pages hang off its root.
constexpr const char* kMakerSite = "https://www.plovander.com/";

wxFont TitleFont() {
  // "System" maps to DejaVu Sans Bold on this platform.
  return wxFontInfo(wxSize(0, layout::kTitleFontHeight)).FaceName("DejaVu Sans").Bold();
}

wxFont LabelFont() {
  // "Arial" maps to Liberation Sans.
  return wxFontInfo(wxSize(0, layout::kLabelFontHeight)).FaceName("Liberation Sans");
}

wxColour ToColour(layout::Colour c) { return wxColour(c.r, c.g, c.b); }

wxRect ToRect(layout::Rect r) { return wxRect(r.x, r.y, r.w, r.h); }

wxIcon LoadIcon(const std::string& path) {
  wxIcon icon;
  wxBitmap bmp = LoadSkinBitmap(path);
  if (bmp.IsOk()) icon.CopyFromBitmap(bmp);
  return icon;
}

}  // namespace

wxBEGIN_EVENT_TABLE(MainWindow, wxFrame)
  EVT_PAINT(MainWindow::OnPaint)
  EVT_ERASE_BACKGROUND(MainWindow::OnEraseBackground)
  EVT_CHAR_HOOK(MainWindow::OnCharHook)
  EVT_CLOSE(MainWindow::OnClose)
  EVT_BUTTON(ids::kMinimise, MainWindow::OnMinimise)
  EVT_BUTTON(ids::kClose, MainWindow::OnCloseButton)
  EVT_BUTTON(ids::kChangeFolder, MainWindow::OnChangeFolder)
  EVT_BUTTON(ids::kOpenFolder, MainWindow::OnOpenFolder)
  EVT_BUTTON(ids::kMore, MainWindow::OnMore)
  EVT_BUTTON(ids::kHelp, MainWindow::OnHelp)
  EVT_TIMER(MainWindow::kConnectPollTimer, MainWindow::OnConnectPoll)
  EVT_BUTTON(ids::kRecordFixed, MainWindow::OnRecordFixed)
  EVT_BUTTON(ids::kRecordCustom, MainWindow::OnRecordCustom)
  EVT_BUTTON(ids::kStop, MainWindow::OnStopCommand)
  EVT_BUTTON(ids::kConverter, MainWindow::OnConverterCommand)
  EVT_BUTTON(ids::kConvert, MainWindow::OnConvert)
  EVT_BUTTON(ids::kConvertStop, MainWindow::OnConvertStop)
  EVT_COMMAND(wxID_ANY, WM_CONVERT_PROGRESS, MainWindow::OnConvertProgress)
  EVT_COMMAND(wxID_ANY, WM_USER_RECORDSTART_MSG, MainWindow::OnRecordStartMsg)
  EVT_COMMAND(wxID_ANY, WM_USER_RECORDINTERRUPTED_MSG, MainWindow::OnRecordInterruptedMsg)
  EVT_COMMAND(wxID_ANY, WM_USER_SAVECURSOR_MSG, MainWindow::OnSaveCursorMsg)
  EVT_TIMER(RecordingIndicators::kElapsedTimer, MainWindow::OnElapsedTick)
  EVT_TIMER(RecordingIndicators::kBlinkTimer, MainWindow::OnBlinkTick)
  EVT_SKINLIST_CLICK(ids::kList, MainWindow::OnListClick)
  EVT_SKINLIST_DCLICK(ids::kList, MainWindow::OnListDoubleClick)
  EVT_BUTTON(ids::kDelete, MainWindow::OnDeleteSelected)
  EVT_BUTTON(ids::kClear, MainWindow::OnClearList)
  EVT_SKINLIST_RCLICK(ids::kList, MainWindow::OnListRightClick)
  EVT_MENU(ids::kMenuPreview, MainWindow::OnMenuPreview)
  EVT_BUTTON(ids::kTrim, MainWindow::OnTrim)
  EVT_BUTTON(ids::kCrop, MainWindow::OnCrop)
  EVT_BUTTON(ids::kEffect, MainWindow::OnEffect)
  EVT_BUTTON(ids::kSetting, MainWindow::OnSetting)
  EVT_COMBOBOX(ids::kProfile, MainWindow::OnProfileChosen)
  EVT_MENU(ids::kTrim, MainWindow::OnTrim)
  EVT_MENU(ids::kCrop, MainWindow::OnCrop)
  EVT_MENU(ids::kEffect, MainWindow::OnEffect)
  EVT_MENU(ids::kSetting, MainWindow::OnSetting)
  EVT_MENU(ids::kConvert, MainWindow::OnConvert)
  EVT_MENU(ids::kSnapshot, MainWindow::OnSnapshot)
  EVT_MENU(ids::kOpenSnap, MainWindow::OnOpenSnapshotFolder)
  EVT_MENU(ids::kDelete, MainWindow::OnDeleteSelected)
  EVT_MENU(ids::kClear, MainWindow::OnClearList)
  EVT_BUTTON(ids::kPreStart, MainWindow::OnPreviewCommand)
  EVT_BUTTON(ids::kPreBack, MainWindow::OnPreviewCommand)
  EVT_BUTTON(ids::kPrePlay, MainWindow::OnPreviewCommand)
  EVT_BUTTON(ids::kPreStop, MainWindow::OnPreviewCommand)
  EVT_BUTTON(ids::kPreForward, MainWindow::OnPreviewCommand)
  EVT_BUTTON(ids::kPreEnd, MainWindow::OnPreviewCommand)
  EVT_BUTTON(ids::kPrePause, MainWindow::OnPreviewCommand)
  EVT_BUTTON(ids::kSnapshot, MainWindow::OnSnapshot)
  EVT_BUTTON(ids::kOpenSnap, MainWindow::OnOpenSnapshotFolder)
  EVT_BITMAPSLIDER_MOVING(ids::kPreviewSlider, MainWindow::OnPreviewSlider)
wxEND_EVENT_TABLE()

MainWindow::MainWindow(AppFolders folders)
    : wxFrame(nullptr, wxID_ANY, kTitle, wxPoint(0, 0), wxSize(layout::kWidth, layout::kHeight),
              wxBORDER_NONE | wxFRAME_SHAPED | wxMINIMIZE_BOX | wxSYSTEM_MENU | wxCLIP_CHILDREN),
      folders_(std::move(folders)) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  icon_ = LoadIcon(folders_.skinFolder + "res/128.bmp");
  recordingIcon_ = LoadIcon(folders_.skinFolder + "res/225.bmp");
}

MainWindow::~MainWindow() {
  exports_.reset();  // an export under way is cancelled and waited for
  preview_.reset();  // its player reports to this window until it has stopped
}

bool MainWindow::OnInitDialog() {
  // 1. Controls exist and are bound to their ids.
  CreateControls();
  // 2. The status area is a fixed rectangle of the layout.
  // 3. Program and skin folders were resolved before the window; load the
  //    background and repaint.
  background_ = LoadSkinBitmap(folders_.skinFolder + "back_ui.bmp");
  Refresh(false);
  // 4. Editing tools start from their defaults.
  cropSettings_ = {0, 0, 320, 240, 128, 0, 0};
  effectSettings_ = {0, 0, 100, 0, 100};
  FillProfileSelector();
  SelectProfile(0);
  // 5. Skin and lay out every control; the window takes its shape and place.
  SkinControls();
  SetPosition(wxPoint(0, 0));
  SetSize(layout::kWidth, layout::kHeight);
  ApplyWindowShape();
  // 7. Icon, per-window state.
  if (icon_.IsOk()) SetIcon(icon_);
  selectedIndex_ = -1;
  // 8. The audio engine, started in the background: the window answers at
  //    once, and the engine routes playback itself as soon as it is ready.
  StartAudioEngine();
  // 9, 10. Settings and folders.
  SetupFolders();
  // 11. Capture windows, screen size and the cursor hook library.
  SetupCapture();
  SetupRecording();
  // 12. Seed the random generator.
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  // 13. The main window is the process-wide target of hot keys and hooks:
  //     wxTheApp's top window, set by the application object.
  //     Its message window is the handle other programs and the hook library
  //     send to.
  CreateMessageWindow();
  // 14. Hot keys: the default table, every slot registered.
  RegisterHotKeys();
  // 15. The audio rings were allocated, empty, with the window; no streams
  //     until a recording.
  // 16, 17. The user's default devices are kept, and playback routed to the
  //     loopback, by the engine: only it outlives a recorder that is killed,
  //     and it gives the user's latest choice back then too.
  // 18. Attach to the call client; timer 4 polls for the link.
  ConnectSkype();
  // 19. No sound is kept until a recording's first picture.
  // Recordings a crash left unfinished are rebuilt in the background; files
  // changed from now on (a recording started at once) are never touched, and
  // a recording started meanwhile keeps the status line.
  startupRepair_ = std::make_unique<StartupRepair>(
      outputFolder().utf8_string(), std::filesystem::file_time_type::clock::now(),
      [this](std::function<void()> call) { CallAfter(std::move(call)); },
      [this](const RepairSummary& summary) {
        const std::string text = RepairStatusText(summary);
        if (!text.empty() && (!recorder_ || recorder_->state() == recording::RecorderState::Idle))
          SetStatusText(wxString::FromUTF8(text));
      });
  return true;
}

void MainWindow::CreateControls() {
  CreatePreviewPanel();
  for (const auto& b : layout::Buttons()) {
    auto* button = new CHoverButton(this, b.id, wxString::FromUTF8(b.label.data(), b.label.size()),
                                    wxPoint(b.rect.x, b.rect.y), wxSize(b.rect.w, b.rect.h));
    button->Show(b.shown);
    buttons_[b.id] = button;
  }

  list_ = new MediaList(this, ids::kList, wxPoint(layout::kListRect.x, layout::kListRect.y),
                        wxSize(layout::kListRect.w, layout::kListRect.h));
  outputBox_ = new wxTextCtrl(this, ids::kOutputFolder, "", wxPoint(60, 530), wxSize(230, 20),
                              wxBORDER_SIMPLE);
  elapsedBox_ = new wxTextCtrl(this, ids::kElapsed, "00:00:00", wxPoint(60, 560), wxSize(92, 20),
                               wxTE_READONLY | wxBORDER_SIMPLE);
  // The output-profile choices, created hidden at their places.
  const std::pair<int, wxPoint> combos[] = {{ids::kProfile, {90, 470}},
                                            {ids::kResolution, {605, 325}},
                                            {ids::kZoomMode, {605, 350}},
                                            {ids::kVideoBitrate, {605, 375}},
                                            {ids::kAudioBitrate, {605, 400}}};
  for (const auto& [id, pos] : combos) {
    auto* combo = new wxComboBox(this, id, "", pos, wxSize(150, -1), 0, nullptr, wxCB_READONLY);
    if (id == ids::kZoomMode) {
      combo->Append(wxArrayString(3, std::array<const char*, 3>{"Letterbox", "Pan and Scan", "Full Screen"}.data()));
      combo->SetSelection(0);
    }
    combo->Hide();
  }
  const auto& bar = layout::kProgressBar;
  auto* progress =
      new CBitmapProgressCtrl(this, ids::kProgress, wxPoint(bar.x, bar.y), wxSize(bar.w, bar.h));
  progress->SetRange(0, 100);
  progress->Hide();
  exports_ = std::make_unique<ExportQueue>();
  drag_ = std::make_unique<BackgroundDrag>(this);
}

void MainWindow::SkinControls() {
  for (const auto& b : layout::Buttons())
    buttons_[b.id]->LoadSkin(folders_.skinFolder, std::string(b.skin));
  SkinPreviewPanel();
  progressBar()->SetBitmaps(folders_.skinFolder + "res/220.bmp", folders_.skinFolder + "res/219.bmp");
  list_->Setup(folders_.skinFolder);
  for (wxTextCtrl* box : {outputBox_, elapsedBox_}) box->SetFont(LabelFont());
}

void MainWindow::ApplyWindowShape() {
  wxRegion shape;
  for (const auto& s : layout::WindowShapeSpans(previewPanelShown() ? layout::kWideWidth
                                                                     : layout::kWidth))
    shape.Union(s.x0, s.y, s.x1 - s.x0, 1);
  SetShape(shape);
}

void MainWindow::SetupFolders() {
  // The default folder is made whatever the settings say, so that the
  // snapshot folder under it always exists.
  CreateDefaultOutputFolders(folders_);
  outputBox_->ChangeValue(wxString::FromUTF8(LoadOutputFolder(folders_)));
  CreateUserFolders(folders_);
}

wxString MainWindow::outputFolder() const { return outputBox_->GetValue(); }

CHoverButton* MainWindow::button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

void MainWindow::OnEraseBackground(wxEraseEvent&) {
  // Painting happens in OnPaint on a buffered context; erasing first would flicker.
}

void MainWindow::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(wxColour(40, 40, 40)));
  dc.Clear();
  if (background_.IsOk()) dc.DrawBitmap(background_, 0, 0, false);
  if (previewPanelShown() && panelBackground_.IsOk())
    dc.DrawBitmap(panelBackground_, layout::kWidth, 0, false);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);

  dc.SetFont(TitleFont());
  dc.SetTextForeground(ToColour(layout::kTitleColour));
  dc.DrawLabel(GetTitle(), ToRect(layout::kTitleRect), wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);

  dc.SetFont(LabelFont());
  dc.SetTextForeground(ToColour(layout::kLabelColour));
  dc.DrawText("Output:", layout::kOutputLabel.x, layout::kOutputLabel.y);
  dc.DrawText("Time:", layout::kTimeLabel.x, layout::kTimeLabel.y);

  dc.SetTextForeground(ToColour(layout::kStatusColour));
  dc.DrawLabel(statusText_, ToRect(layout::kStatusRect), wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
}

void MainWindow::SetStatusText(const wxString& text) {
  statusText_ = text;
  RefreshRect(ToRect(layout::kStatusRect), false);
}

void MainWindow::OnCharHook(wxKeyEvent& event) {
  // Neither key may end the window, whichever control has the focus.
  if (event.GetKeyCode() == WXK_ESCAPE || event.GetKeyCode() == WXK_RETURN ||
      event.GetKeyCode() == WXK_NUMPAD_ENTER)
    return;
  // Delete in the recordings list removes the selected rows.
  if (event.GetKeyCode() == WXK_DELETE && list_->IsShown() && wxWindow::FindFocus() &&
      (wxWindow::FindFocus() == list_ || list_->IsDescendant(wxWindow::FindFocus()))) {
    wxCommandEvent remove(wxEVT_BUTTON, ids::kDelete);
    OnDeleteSelected(remove);
    return;
  }
  event.Skip();
}

void MainWindow::OnMinimise(wxCommandEvent&) { Iconize(true); }

void MainWindow::OnCloseButton(wxCommandEvent&) { Close(); }

void MainWindow::OnChangeFolder(wxCommandEvent&) {
  wxDirDialog browser(nullptr, "Output Folder", outputBox_->GetValue(),
                      wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (browser.ShowModal() == wxID_OK) {
    wxString chosen = browser.GetPath();
    if (chosen.length() >= 2) outputBox_->ChangeValue(chosen);
  }
  // Saved on cancel too: a path typed into the box sticks at this moment.
  SaveOutputFolder(folders_, outputBox_->GetValue().utf8_string());
}

void MainWindow::OnOpenFolder(wxCommandEvent&) {
  wxLaunchDefaultApplication(outputBox_->GetValue());
}

void MainWindow::OnMore(wxCommandEvent&) {
  wxLaunchDefaultBrowser(wxString(kMakerSite) + "products.html");
}

void MainWindow::OnHelp(wxCommandEvent&) {
  wxLaunchDefaultBrowser(wxString(kMakerSite) + "support.html");
}

void MainWindow::OnClose(wxCloseEvent& event) {
  if (closing_) {
    event.Skip();
    return;
  }
  closing_ = true;
  startupRepair_.reset();  // a rebuild under way is abandoned, its original kept
  preview_->ReleaseSurface();  // the preview stops playing and gives its surface back
  // The shutdown runs in this order:
  //  1. release the far-side ring;  2. stop the elapsed-time timer;
  //  3. stop and forget the far-side input stream;
  //  4-6. ask the audio engine to quit: it restores the user's default
  //  audio devices, waits 200 ms and removes the loopback;  7. end the window.
  // Steps 1-6 belong to the audio and recording parts and join here in order.
  // A recording under way ends first and its file is completed, so nothing
  // below pulls the rings or streams from under the capture thread.
  FinishRecordingForExit();
  ReleaseCallAudio();  // 1, 3
  if (indicators_) indicators_->StopElapsed();  // 2
  ShutdownAudio();  // 4-6
  Destroy();
}
