// The trim dialog on the harness's X server, by real input: keys typed into
// its time fields, drags on its slider, clicks on its buttons.
#include <gtest/gtest.h>
#include <wx/clipbrd.h>

#include <filesystem>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "edit/dialogs/trim_dialog.h"
#include "platform/x11_setup.h"
#include "support/temp_dir.h"
#include "support/wx_env.h"
#include "support/x_screen.h"
#include "test_media.h"
#include "ui/mask_edit.h"
#include "ui/trim_slider.h"

namespace {

// The preview draws from its player thread: the client library must be
// made thread-safe before anything else touches it.
[[maybe_unused]] const bool kThreadsReady = (platform::InitXlibThreads(), true);
[[maybe_unused]] ::testing::Environment* const kWx = ::testing::AddGlobalTestEnvironment(new WxEnvironment);

const std::string kSkin = std::string(MURMURANT_SOURCE_DIR) + "/skin/";

// Reads the conflict message instead of answering a modal box.
class TestTrimDialog : public edit::TrimDialog {
 public:
  using TrimDialog::TrimDialog;
  std::vector<std::pair<wxString, wxString>> messages;

 protected:
  void ShowMessage(const wxString& text, const wxString& caption) override {
    messages.emplace_back(text, caption);
  }
};

std::string SixtySeconds() {
  return testmedia::Make("trim60.avi", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=5",
                                        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050",
                                        "-t", "60", "-c:v", "mpeg4", "-q:v", "6", "-c:a", "pcm_s16le"});
}

edit::TrimRecord Record(double seconds) {
  return {seconds, edit::FormatTime(seconds), 0, static_cast<int32_t>(seconds * 1000), 0, 0,
          0, "", 0, 1};
}

// Shown, and past the player's set-up (it has played or given up).
std::unique_ptr<TestTrimDialog> Open(const std::string& file, edit::TrimRecord* record) {
  edit::PreviewSource source{file, file.empty() ? 0 : 320, file.empty() ? 0 : 240, 0};
  auto dialog =
      std::make_unique<TestTrimDialog>(nullptr, kSkin + "little/", kSkin + "res/", source, record);
  dialog->Show();
  EXPECT_TRUE(PumpUntil([&] { return !dialog->closingLocked(); }, 8000));
  // No window manager hands out the keyboard here: the test gives it.
  std::vector<xtest::WindowInfo> found;
  EXPECT_TRUE(PumpUntil([&] { return (found = xtest::FindWindowsByTitle("Trim")).size() == 1 &&
                                      found[0].viewable; }));
  EXPECT_TRUE(testmedia::Run({"xdotool", "windowfocus", "--sync", std::to_string(found[0].id)}));
  return dialog;
}

// A press at `from` in `window`, dragged along to `toX` when given, let go.
void Press(wxWindow* window, wxPoint from, int toX = -1) {
  const wxPoint o = window->ClientToScreen(from);
  xtest::MovePointer(o.x, o.y);
  PumpFor(50);
  xtest::PressButton(1, true);
  for (int step = 1; toX >= 0 && step <= 8; ++step) {
    xtest::MovePointer(o.x + (toX - from.x) * step / 8, o.y);
    PumpFor(30);
  }
  PumpFor(30);
  xtest::PressButton(1, false);
  PumpFor(50);
}

void ClickButton(wxWindow* dialog, int id) {
  wxWindow* button = dialog->FindWindow(id);
  Press(button, {button->GetSize().x / 2, button->GetSize().y / 2});
}

// Clicks into the field, goes to its start and types the keysyms.
void TypeInto(CMaskEdit* edit, const std::vector<std::string>& keys, bool fromStart = true) {
  if (fromStart) {
    Press(edit, {10, edit->GetSize().y / 2});  // inside the text, past the frame
    xtest::Key("Home");
  }
  for (const std::string& key : keys) xtest::Key(key);
}

}  // namespace

TEST(TrimDialog, TimeFieldTakesOnlyWhatItsMaskAllows) {
  auto dialog = Open("", nullptr);
  CMaskEdit* edit = dialog->startEdit();
  TypeInto(edit, {"1", "2", "3", "4"});
  ASSERT_TRUE(PumpUntil([&] { return edit->GetValue() == "12:34:00"; })) << edit->GetValue();
  EXPECT_EQ(edit->GetInsertionPoint(), 6);  // after the second colon
  TypeInto(edit, {"BackSpace", "BackSpace"}, false);
  ASSERT_TRUE(PumpUntil([&] { return edit->GetInsertionPoint() == 4; }));
  EXPECT_EQ(edit->GetValue(), "12:30:00");  // the colon stayed, the 4 became 0
  // Each refused key would have changed what the next accepted one makes.
  TypeInto(edit, {"5", "4", "8", "7", "6", "a", "5", "Delete", "9"});
  EXPECT_TRUE(PumpUntil([&] { return edit->GetValue() == "47:59:00"; })) << edit->GetValue();

  // Pasted text is typed through the mask too: "1" taken, the rest refused.
  ASSERT_TRUE(wxTheClipboard->Open());
  wxTheClipboard->SetData(new wxTextDataObject("1x2"));
  wxTheClipboard->Close();
  xtest::Key("Home");
  xtest::KeyDown("Control_L", true);
  xtest::Key("v");
  xtest::KeyDown("Control_L", false);
  EXPECT_TRUE(PumpUntil([&] { return edit->GetValue() == "17:59:00"; })) << edit->GetValue();
}

TEST(TrimDialog, MarkersTypedTimesOkReopenAndCancel) {
  const std::string file = SixtySeconds();
  edit::TrimRecord record = Record(60);
  auto dialog = Open(file, &record);
  CTrimSlider* slider = dialog->slider();
  ASSERT_EQ(slider->GetSize(), wxSize(209, 38));  // the channel's size

  // The start marker dragged onto the end stops one short of it.
  Press(slider, {7, 28}, 205);
  ASSERT_TRUE(PumpUntil([&] { return slider->GetStart() == 99; })) << slider->GetStart();
  EXPECT_TRUE(PumpUntil([&] { return dialog->startEdit()->GetValue() == "00:00:59"; }));
  int quarter = 13;
  while (slider->geometry().ValueOf(quarter) < 25) ++quarter;
  Press(slider, {slider->geometry().PixelOf(99) - 6, 28}, quarter - 6);
  ASSERT_TRUE(PumpUntil([&] { return dialog->lengthText() == "00:00:45"; }));
  EXPECT_EQ(dialog->startEdit()->GetValue(), "00:00:15");
  ClickButton(dialog.get(), edit::TrimDialog::kOk);
  ASSERT_TRUE(PumpUntil([&] { return !dialog->IsShown(); }));
  EXPECT_EQ(dialog->GetReturnCode(), wxID_OK);
  EXPECT_EQ(std::tie(record.trimStart, record.trimEnd, record.trimText),
            std::make_tuple(15000, 60000, std::string("00:00:45")));
  dialog.reset();  // one preview surface at a time

  const edit::TrimRecord stored = record;
  dialog = Open(file, &record);
  EXPECT_EQ(dialog->startEdit()->GetValue(), "00:00:15");
  EXPECT_EQ(dialog->slider()->GetStart(), 25);
  // Stop keeps the position it stopped at, and the slider shows it.
  ASSERT_TRUE(PumpUntil([&] { return dialog->player().player().position() >= 2; }, 5000));
  ClickButton(dialog.get(), edit::TrimDialog::kStop);
  ASSERT_TRUE(PumpUntil([&] { return !dialog->player().playing(); }));
  EXPECT_GE(dialog->player().player().position(), 2);
  EXPECT_EQ(dialog->slider()->GetPos(), dialog->player().player().position());
  // Past the end: the end is the recording's length, without a message.
  TypeInto(dialog->endEdit(), {"4", "7"});
  ASSERT_TRUE(PumpUntil([&] { return dialog->endEdit()->GetValue() == "47:01:00"; }));
  ClickButton(dialog.get(), edit::TrimDialog::kEndOk);
  EXPECT_TRUE(PumpUntil([&] { return dialog->endEdit()->GetValue() == "00:01:00"; }));
  EXPECT_TRUE(dialog->messages.empty());
  // A start at the end: the message, and the start back at zero.
  TypeInto(dialog->startEdit(), {"0", "0", "0", "1", "0", "0"});
  ASSERT_TRUE(PumpUntil([&] { return dialog->startEdit()->GetValue() == "00:01:00"; }));
  ClickButton(dialog.get(), edit::TrimDialog::kStartOk);
  ASSERT_TRUE(PumpUntil([&] { return dialog->messages.size() == 1; }));
  EXPECT_EQ(dialog->messages[0].first,
            "The start time cannot be equal to or greater than the end time!");
  EXPECT_EQ(dialog->messages[0].second, "Information");
  EXPECT_EQ(dialog->startEdit()->GetValue(), "00:00:00");
  ClickButton(dialog.get(), edit::TrimDialog::kCancel);
  ASSERT_TRUE(PumpUntil([&] { return !dialog->IsShown(); }));
  EXPECT_EQ(dialog->GetReturnCode(), wxID_CANCEL);
  EXPECT_EQ(std::tie(record.trimStart, record.trimEnd, record.trimStartFraction, record.trimText),
            std::tie(stored.trimStart, stored.trimEnd, stored.trimStartFraction, stored.trimText));
}

// A recording gone from disk and of no length: the dialog still closes and
// OK stores a whole, finite choice.
TEST(TrimDialog, DeletedZeroLengthRecordingStaysClosableAndStoresNothingHarmful) {
  TempDir dir;
  const std::string gone = dir / "gone.avi";
  std::filesystem::copy_file(SixtySeconds(), gone);
  std::filesystem::remove(gone);
  edit::TrimRecord record = Record(0);
  record.trimEndFraction = 0;  // as a record never trimmed holds it
  auto dialog = Open(gone, &record);
  EXPECT_EQ(dialog->startEdit()->GetValue() + dialog->endEdit()->GetValue() + dialog->lengthText(),
            "00:00:0000:00:0000:00:00");
  ClickButton(dialog.get(), edit::TrimDialog::kOk);
  ASSERT_TRUE(PumpUntil([&] { return !dialog->IsShown(); }));
  EXPECT_EQ(std::tie(record.trimStartFraction, record.trimEndFraction, record.trimSeconds),
            std::make_tuple(0.0, 1.0, 0.0));
}
