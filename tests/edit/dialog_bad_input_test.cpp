// The three preview dialogs under bad input, by real clicks: a recording
// without a picture, one deleted while its dialog is open, rapid Play / Stop
// / Pause, and a close asked for while the player is still starting. None
// may crash or hang, each stays closable, and what OK stores is consistent.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "edit/dialogs/crop_dialog.h"
#include "edit/dialogs/dialog_layout.h"
#include "edit/dialogs/effects_dialog.h"
#include "edit/dialogs/trim_dialog.h"
#include "platform/x11_setup.h"
#include "support/temp_dir.h"
#include "support/wx_env.h"
#include "support/x_screen.h"
#include "test_media.h"

namespace {

[[maybe_unused]] const bool kThreadsReady = (platform::InitXlibThreads(), true);
[[maybe_unused]] ::testing::Environment* const kWx =
    ::testing::AddGlobalTestEnvironment(new WxEnvironment);

const std::string kSkin = std::string(MURMURANT_SOURCE_DIR) + "/skin/";

// What each dialog edits, starting as a fresh recording's record does.
struct Records {
  edit::TrimRecord trim{6.0, "00:00:06", 0, 6000, 0, 6000, 6.0, "00:00:06", 0.0, 1.0};
  edit::CropRecord crop{0, 0, 320, 240, 0, 0};
  edit::EffectSettings current, effects;

  // The invariants a stored record must keep whatever happened.
  void ExpectConsistent() const {
    EXPECT_LT(trim.trimStartFraction, trim.trimEndFraction);
    EXPECT_GE(trim.trimStartFraction, 0.0);
    EXPECT_LE(trim.trimEndFraction, 1.0);
    EXPECT_LE(trim.trimStart, trim.trimEnd);
    EXPECT_GE(crop.cropRight - crop.cropLeft, 10);
    EXPECT_GE(crop.cropBottom - crop.cropTop, 10);
  }
};

using Opener = std::function<edit::SkinnedDialog*(const edit::PreviewSource&, Records*)>;

struct Kind {
  const char* name;
  Opener open;
};

const Kind kKinds[] = {
    {"trim",
     [](const edit::PreviewSource& s, Records* r) -> edit::SkinnedDialog* {
       return new edit::TrimDialog(nullptr, kSkin + "little/", kSkin + "res/", s, &r->trim);
     }},
    {"crop",
     [](const edit::PreviewSource& s, Records* r) -> edit::SkinnedDialog* {
       return new edit::CropDialog(nullptr, kSkin + "little/", kSkin + "res/", s, &r->crop);
     }},
    {"effects",
     [](const edit::PreviewSource& s, Records* r) -> edit::SkinnedDialog* {
       return new edit::CEffectDlg(nullptr, kSkin + "little/", kSkin + "res/", s, &r->current,
                                   &r->effects);
     }},
};

void ClickAt(edit::SkinnedDialog* dialog, const wxRect& rect) {
  const wxPoint at = dialog->ClientToScreen(rect.GetPosition() + rect.GetSize() / 2);
  xtest::MovePointer(at.x, at.y);
  PumpFor(30);
  xtest::PressButton(1, true);
  PumpFor(20);
  xtest::PressButton(1, false);
  PumpFor(30);
}

// Clicks `rect` until the dialog has ended; its result, or 0 when it never did.
int ClickUntilEnded(edit::SkinnedDialog* dialog, const wxRect& rect) {
  for (int attempt = 0; attempt < 40 && dialog->IsShown(); ++attempt) {
    ClickAt(dialog, rect);
    PumpUntil([&] { return !dialog->IsShown(); }, 250);
  }
  return dialog->IsShown() ? 0 : dialog->GetReturnCode();
}

struct Closer {
  void operator()(edit::SkinnedDialog* d) const {
    d->Destroy();
    PumpFor(50);
  }
};
using DialogPtr = std::unique_ptr<edit::SkinnedDialog, Closer>;

class DialogBadInput : public ::testing::Test {
 protected:
  void SetUp() override { xtest::MovePointer(1200, 1000); }

  DialogPtr Open(const Kind& kind, const edit::PreviewSource& source) {
    DialogPtr dialog(kind.open(source, &records_));
    dialog->Show();
    EXPECT_TRUE(PumpUntil([&] { return dialog->IsShownOnScreen(); })) << kind.name;
    return dialog;
  }

  Records records_;
  TempDir dir_;
};

TEST_F(DialogBadInput, ASoundOnlyRecordingAndRapidTransportClicksLeaveEveryDialogClosable) {
  const std::string wav = testmedia::Make(
      "tone.wav", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", "6", "-ac",
                   "2", "-c:a", "pcm_s16le"});
  ASSERT_FALSE(wav.empty());
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    DialogPtr dialog = Open(kind, {wav, 0, 0, 0});
    ASSERT_TRUE(PumpUntil([&] { return !dialog->closingLocked(); }, 8000))
        << "the dialog never became closable";
    for (int round = 0; round < 5; ++round)
      for (const wxRect& button : {edit::layout::kPlay, edit::layout::kStop, edit::layout::kPlay,
                                   edit::layout::kPause})
        ClickAt(dialog.get(), button);
    EXPECT_EQ(ClickUntilEnded(dialog.get(), edit::layout::kClose), wxID_CANCEL);
  }
}

TEST_F(DialogBadInput, ARecordingDeletedWhileOpenStillEndsWithAConsistentRecord) {
  const std::string source = testmedia::Make(
      "bad_input.avi", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=10", "-f", "lavfi", "-i",
                        "sine=frequency=440:sample_rate=22050", "-t", "6", "-c:v", "mpeg4",
                        "-c:a", "pcm_s16le"});
  ASSERT_FALSE(source.empty());
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    const std::string copy = dir_ / (std::string(kind.name) + ".avi");
    std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing);
    DialogPtr dialog = Open(kind, {copy, 320, 240, 0});
    // Asked to close while the player starts: refused until it has started.
    dialog->Close();
    ASSERT_TRUE(PumpUntil([&] { return !dialog->closingLocked(); }, 8000));
    std::filesystem::remove(copy);
    ClickAt(dialog.get(), edit::layout::kStop);
    ClickAt(dialog.get(), edit::layout::kPlay);  // the file is gone: the player gives up
    ClickAt(dialog.get(), edit::layout::kPause);
    EXPECT_EQ(ClickUntilEnded(dialog.get(), edit::layout::kOk), wxID_OK);
    records_.ExpectConsistent();
  }
}

}  // namespace
