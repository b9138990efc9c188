// The edit tools from the recordings list's row menu, by real input: each
// runs modally on the clicked recording and the main preview comes back
// afterwards; the output settings offer what the (empty) profile table
// holds; Delete removes the selected rows. Every recording's record knows its
// real length from the file.
#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/eventfilter.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/control_ids.h"
#include "app/main_preview.h"
#include "app/main_window.h"
#include "app/media_list.h"
#include "edit/dialogs/output_settings_dialog.h"
#include "main_window_fixture.h"
#include "test_media.h"
#include "ui/bitmap_progress_ctrl.h"

namespace {

// Notes what the output settings show when they open (on the window's thread,
// inside their modal run).
struct SettingsWatch : wxEventFilter {
  int FilterEvent(wxEvent& event) override {
    if (event.GetEventType() != wxEVT_SHOW) return Event_Skip;
    auto* dialog = dynamic_cast<edit::COutputSettingsDlg*>(event.GetEventObject());
    if (!dialog || !static_cast<wxShowEvent&>(event).IsShown()) return Event_Skip;
    wxChoice* channels = dialog->list(edit::COutputSettingsDlg::kChannels);
    channelEntries = channels->GetStrings();
    channelSelected = channels->GetSelection();
    resolutionEntries = dialog->list(edit::COutputSettingsDlg::kResolution)->GetCount();
    return Event_Skip;
  }
  wxArrayString channelEntries;
  int channelSelected = -2;
  unsigned resolutionEntries = 99;
};

class EditToolsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    recording_ = dir_ / "Call.avi";
    ASSERT_TRUE(testmedia::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                                "testsrc2=size=320x240:rate=25", "-f", "lavfi", "-i",
                                "sine=frequency=1000:sample_rate=48000", "-t", "6", "-ac", "2",
                                "-c:v", "msmpeg4v3", "-c:a", "pcm_s16le", recording_}));
    Open();
    window_->AppendRecording(recording_, "Call.avi", "00:00:05");
    PumpFor(200);
  }

  bool PreviewShowsAPicture() {
    auto screen = xtest::ReadBmp(folders_.skinFolder + "screen_normal.bmp");
    const wxPoint at = window_->ClientToScreen(wxPoint(534, 145));
    return screen && xtest::CountDifferences(xtest::GrabScreen(at.x, at.y, 280, 130), 0, 0,
                                             *screen, 0, 0, 280, 130, 40) > 10'000;
  }

  std::string recording_;
};

TEST_F(EditToolsTest, ToolsRunModallyFromTheRowMenuAndTheMainPreviewComesBack) {
  // The record carries the file's own length, not the elapsed text's.
  const MediaItem& item = window_->mediaList()->model().items()[0];
  EXPECT_NEAR(item.sourceSeconds, 6.0, 0.1);
  EXPECT_EQ(item.spanStart, 0);
  EXPECT_NEAR(item.spanEnd, 6000, 100);
  EXPECT_EQ(item.trimEndFraction, 1.0);
  EXPECT_EQ(item.trimEnd, item.spanEnd);

  PickFromRowMenu(1);  // "Preview"
  ASSERT_TRUE(PumpUntil([&] { return window_->previewPanelShown() && PreviewShowsAPicture(); }));

  // Output settings: one channel choice and the chosen format's lists;
  // Cancel and an unchanged OK both leave the main window's choices as they
  // were.
  const edit::OutputChoices before = window_->outputChoices();
  SettingsWatch watch;
  wxEvtHandler::AddFilter(&watch);
  std::atomic<bool> closedByCancel{false};
  PickFromRowMenu(5, [&] { closedByCancel = ClickUntilClosed("Settings", {370 + 48, 250 + 15}); });
  wxEvtHandler::RemoveFilter(&watch);
  EXPECT_TRUE(closedByCancel);
  ASSERT_EQ(watch.channelEntries.size(), 1u);
  EXPECT_EQ(watch.channelEntries[0], "2 Channels");
  EXPECT_EQ(watch.channelSelected, 0);
  EXPECT_EQ(watch.resolutionEntries, 5u);
  std::atomic<bool> closedByOk{false};
  PickFromRowMenu(5, [&] { closedByOk = ClickUntilClosed("Settings", {260 + 48, 250 + 15}); });
  EXPECT_TRUE(closedByOk);
  EXPECT_EQ(window_->outputChoices(), before);

  // Trim takes the preview's surface while it is open; Cancel gives it back
  // and stores nothing.
  const MediaItem record = window_->mediaList()->model().items()[0];
  std::atomic<bool> trimClosed{false};
  PickFromRowMenu(2, [&] { trimClosed = ClickUntilClosed("Trim", {490 + 48, 406 + 15}); });
  EXPECT_TRUE(trimClosed) << "the trim dialog did not open or did not close";
  EXPECT_EQ(window_->mediaList()->model().items()[0], record);
  ASSERT_TRUE(PumpUntil([&] { return PreviewShowsAPicture(); })) << "the main preview stays empty";
  window_->preview()->Play();
  EXPECT_TRUE(PumpUntil([&] { return window_->preview()->state() == media::kPlaying; }));
  window_->preview()->Stop();

  // Delete in the list removes the selected row.
  MediaList* list = window_->mediaList();
  const wxRect row = list->CellRect(0, 1);
  Click(list->ClientToScreen(row.GetTopLeft() + wxPoint(20, row.height / 2)));
  xtest::Key("Delete");
  EXPECT_TRUE(PumpUntil([&] { return list->model().size() == 0; }));
}

}  // namespace

namespace {

TEST_F(EditToolsTest, ExportFromTheRowMenuWritesTheChosenFormatAndStopLeavesNothing) {
  namespace fs = std::filesystem;
  const fs::path exported = dir_ / "Call (edited).mp4";
  CBitmapProgressCtrl* bar = window_->progressBar();
  PickFromRowMenu(6);  // "Export…"
  ASSERT_TRUE(PumpUntil([&] {
    return !window_->exporting() && !bar->IsShown() && fs::exists(exported);
  }, 60'000)) << "no export appeared";
  EXPECT_TRUE(window_->statusText().StartsWith("Exported")) << window_->statusText();
  std::string probe;
  ASSERT_TRUE(testmedia::Run({"sh", "-c",
                              "ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" +
                                  exported.string() + "' > '" + (dir_ / "probe.txt") + "'"}));
  std::ifstream(dir_ / "probe.txt") >> probe;
  EXPECT_EQ(probe, "h264");

  // A long recording's export moves the bar; stopped mid-way it leaves no
  // file.
  const std::string longer = dir_ / "Long.avi";
  ASSERT_TRUE(testmedia::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                              "testsrc2=size=640x480:rate=25", "-f", "lavfi", "-i",
                              "sine=frequency=500:sample_rate=48000", "-t", "60", "-ac", "2",
                              "-c:v", "msmpeg4v3", "-c:a", "pcm_s16le", longer}));
  window_->AppendRecording(longer, "Long.avi", "00:01:00");
  PumpFor(200);
  PickFromRowMenu(6, {}, 1);
  ASSERT_TRUE(PumpUntil([&] { return window_->exporting() && bar->GetPos() > 0; }));
  wxCommandEvent stop(wxEVT_BUTTON, ids::kConvertStop);
  window_->ProcessWindowEvent(stop);
  ASSERT_TRUE(PumpUntil([&] { return window_->statusText() == "Export cancelled"; }, 20'000))
      << window_->statusText();
  EXPECT_FALSE(window_->exporting() || bar->IsShown());
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_.path()))
    files += entry.path().filename().string().find("(edited)") != std::string::npos;
  EXPECT_EQ(files, 1) << "the stopped export left a file";
}

}  // namespace
