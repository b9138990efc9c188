#pragma once
// The recorder's one main window: borderless, skinned, 510 x 620 at the
// screen's top-left corner. It owns everything that lives as long as the
// program and brings it up in OnInitDialog, in a fixed order, and down again
// when it is closed.
#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/icon.h>
#include <wx/timer.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_folders.h"
#include "app/hot_key_table.h"
#include "app/media_list_model.h"
#include "audio/call_audio.h"
#include "audio/device_routing.h"
#include "edit/dialogs/dialog_player.h"
#include "edit/format_profiles.h"
#include "platform/x11_messaging.h"

class BackgroundDrag;
class CaptureWindows;
class CHoverButton;
class RecordingIndicators;
class WindowRecordingPorts;
class MediaList;
class MainPreview;
class PreviewWindow;
class CBitmapSliderStatic;
class StartupRepair;
class wxTextCtrl;
class wxComboBox;
class CBitmapProgressCtrl;
class ExportQueue;
namespace platform { class GlibMessagePump; }
namespace skype { class SkypeLink; }
namespace platform { class GlobalHotKeys; class GlibFdWatch; }
namespace recording { class RecordingController; class FloatingStopWindow; }

class MainWindow : public wxFrame {
 public:
  inline static const char* kTitle = "Murmurant";

  explicit MainWindow(AppFolders folders);
  ~MainWindow() override;

  // Brings everything up once the window exists. Every step ignores its own
  // failure: a missing skin file or folder never stops the program.
  bool OnInitDialog();

  // What the user sees, for the glue that drives and checks the window.
  wxString outputFolder() const;
  const wxString& statusText() const { return statusText_; }
  CHoverButton* button(int id) const;
  const AppFolders& folders() const { return folders_; }
  // The status line (bottom left): "Recording", "Ready", or a report.
  void SetStatusText(const wxString& text);

 private:
  void CreateControls();
  void SkinControls();
  void ApplyWindowShape();
  void SetupFolders();

  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnMinimise(wxCommandEvent& event);
  void OnCloseButton(wxCommandEvent& event);
  void OnChangeFolder(wxCommandEvent& event);
  void OnOpenFolder(wxCommandEvent& event);
  void OnMore(wxCommandEvent& event);
  void OnHelp(wxCommandEvent& event);

  AppFolders folders_;
  wxBitmap background_;
  wxIcon icon_;           // normal application icon
  wxIcon recordingIcon_;  // shown in turn with the normal one while recording
  wxString statusText_;
  std::unique_ptr<StartupRepair> startupRepair_;  // rebuilds what a crash left, at start

  std::map<int, CHoverButton*> buttons_;
  wxTextCtrl* outputBox_ = nullptr;
  wxTextCtrl* elapsedBox_ = nullptr;
  MediaList* list_ = nullptr;
  std::unique_ptr<BackgroundDrag> drag_;

  // Editing-tool state that lives as long as the window; the tools read and
  // write it (crop rectangle in the 320 x 240 reference frame, then its mode
  // values; effect, brightness, contrast, saturation, volume).
  std::array<int32_t, 7> cropSettings_{};
  std::array<int32_t, 5> effectSettings_{};
  int selectedIndex_ = -1;
  bool closing_ = false;

  // Desktop messages and the call-client link (main_window_skype.cpp).
  static constexpr int kConnectPollTimer = 4;
  static constexpr int kConnectPollMs = 100;
  void CreateMessageWindow();
  void ConnectSkype();
  platform::LResult OnDesktopMessage(platform::MessageId message, platform::WParam wParam,
                                     platform::LParam lParam, const platform::CopyData* copyData);
  void OnConnectPoll(wxTimerEvent& event);
  void SendStartupCommands();
  platform::LResult OnSkypeUsers();
  platform::LResult OnSkypeFocus();
  platform::LResult OnSkypeCallStatus();
  std::unique_ptr<platform::MessageWindow> messageWindow_;  // the main window on the desktop
  std::unique_ptr<platform::GlibMessagePump> messagePump_;
  std::unique_ptr<skype::SkypeLink> skypeLink_;
  wxTimer connectPoll_{this, kConnectPollTimer};
  std::string courtesyRecipient_;
  std::string lastCallStatus_;

  // Call sound (main_window_audio.cpp): the audio engine for the program's
  // life (it routes playback through the loopback once ready and forwards it
  // to the user's speakers), and the call audio that carries both sides of
  // a call to the capture thread.
  void StartAudioEngine();
  void OnAudioEngineLost(const std::string& why);
  void ReleaseCallAudio();
  void ShutdownAudio();
  audio::EngineKeeper audioEngine_;
  audio::CallAudio callAudio_;  // its rings are allocated with the window

  // Capture source (main_window_capture.cpp): the region-selection window,
  // the marker and the cursor hook, set up in OnInitDialog (step 11).
  void SetupCapture();
  void OnSaveCursorMsg(wxCommandEvent& event);
  std::unique_ptr<CaptureWindows> capture_;

  // Recording (main_window_recording.cpp): the controller over its ports,
  // the indicators (timers 2 and 3), the hot keys and the floating Stop window.
  void SetupRecording();
  void RegisterHotKeys();
  void OnRecordFixed(wxCommandEvent& event);
  void OnRecordCustom(wxCommandEvent& event);
  void OnStopCommand(wxCommandEvent& event);
  void OnConverterCommand(wxCommandEvent& event);
  void OnRecordStartMsg(wxCommandEvent& event);
  void OnRecordInterruptedMsg(wxCommandEvent& event);
  void OnElapsedTick(wxTimerEvent& event);
  void OnBlinkTick(wxTimerEvent& event);
  void OnHotKey(int id);
  void StartConverter();
  void FinishRecordingForExit();
 public:
  // For the glue and tests that drive a recording.
  recording::RecordingController* recorder() const { return recorder_.get(); }
  wxString elapsedText() const;
  // True while the window shows the recording icon of the blink.
  bool showingRecordingIcon() const;
 private:
  std::unique_ptr<RecordingIndicators> indicators_;
  std::unique_ptr<WindowRecordingPorts> recorderPorts_;
  std::unique_ptr<recording::RecordingController> recorder_;
  recording::FloatingStopWindow* floating_ = nullptr;
  HotKeyTable hotKeyTable_ = HotKeyTable::Defaults();
  bool hotKeyArmed_ = true;
  std::unique_ptr<platform::GlobalHotKeys> hotKeys_;
  std::unique_ptr<platform::GlibFdWatch> hotKeyWatch_;

  // Recordings list (main_window_list.cpp).
 public:
  // The stop path: one new row with the file and its length; shows the list.
  void AppendRecording(const std::string& fullPath, const std::string& fileName,
                       const std::string& duration);
  MediaList* mediaList() const { return list_; }
  // The full path of the last clicked row; empty until a row was clicked.
  const std::string& currentFile() const;
 private:
  // Fills the record's length and trim span from its file, once known.
  void LearnSourceLength(size_t row);
  void OnListClick(wxCommandEvent& event);
  void OnListDoubleClick(wxCommandEvent& event);
  void OnDeleteSelected(wxCommandEvent& event);
  void OnClearList(wxCommandEvent& event);

  // The preview panel right of the list (main_window_preview.cpp), unfolded
  // from the rows' menu; its state lives in the MainPreview.
 public:
  void ShowPreviewPanel(bool show);
  bool previewPanelShown() const;
  MainPreview* preview() const { return preview_.get(); }
  std::string snapshotFolder() const;
 private:
  void CreatePreviewPanel();
  void SkinPreviewPanel();
  void LoadPreview(const std::string& file);
  void OnListRightClick(wxCommandEvent& event);
  void OnMenuPreview(wxCommandEvent& event);
  void OnPreviewCommand(wxCommandEvent& event);
  void OnPreviewSlider(wxCommandEvent& event);
  void OnSnapshot(wxCommandEvent& event);
  void OnOpenSnapshotFolder(wxCommandEvent& event);
  PreviewWindow* previewArea_ = nullptr;
  CBitmapSliderStatic* previewSlider_ = nullptr;
  std::unique_ptr<MainPreview> preview_;
  wxBitmap panelBackground_;

  // The edit tools (main_window_edit.cpp), run modally on the selected
  // recording, and the output settings over the format profiles.
 public:
  // The output-format selector and its three choice selectors.
  wxComboBox* selector(int id) const;
  edit::OutputChoices outputChoices() const;
 private:
  struct EditTarget {
    int row = -1;  // -1: no recording selected
    MediaItem item;
    edit::PreviewSource source;
  };
  std::optional<EditTarget> SelectedForEdit();
  void StoreEdited(const EditTarget& target, const MediaItem& edited);
  template <typename Run>
  void RunWithPreviewReleased(Run run);
  std::string littleSkinFolder() const;
  std::string resSkinFolder() const;
  void OnTrim(wxCommandEvent& event);
  void OnCrop(wxCommandEvent& event);
  void OnEffect(wxCommandEvent& event);
  void OnSetting(wxCommandEvent& event);
  void FillProfileSelector();
  void OnProfileChosen(wxCommandEvent& event);
  edit::FormatProfileTable profiles_ = edit::StandardProfiles();
  // Selects the format and its default choices in the hidden selectors.
  void SelectProfile(int index);

  // Conversion commands on hidden controls (main_window_convert.cpp).
  void OnConvert(wxCommandEvent& event);
  void OnConvertStop(wxCommandEvent& event);
  void OnConvertProgress(wxCommandEvent& event);
  std::unique_ptr<ExportQueue> exports_;
  wxString convertPercentText_;
 public:
  CBitmapProgressCtrl* progressBar() const;
  bool exporting() const;
 private:

  wxDECLARE_EVENT_TABLE();
};
