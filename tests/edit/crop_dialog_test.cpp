// The crop and zoom dialog driven by real pointer and key input.
#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include "edit/dialogs/crop_dialog.h"
#include "platform/x11_setup.h"
#include "support/wx_env.h"
#include "support/x_screen.h"
#include "test_media.h"
#include "ui/preview_window.h"

using namespace edit;

namespace {

const std::string kSkin = MURMURANT_SOURCE_DIR "/skin/";

class CropDialogTest : public ::testing::Test {
 protected:
  void Open(CropRecord* record) {
    const std::string file = testmedia::Make(
        "crop_grey640.avi", {"-f", "lavfi", "-i", "color=c=0xb0b0b0:size=640x480:rate=25", "-f",
                             "lavfi", "-i", "sine=f=440:r=48000", "-t", "20", "-c:v", "mpeg4",
                             "-q:v", "2", "-c:a", "pcm_s16le", "-ac", "2"});
    ASSERT_FALSE(file.empty());
    // As from the main window: a dialog with no window above it stays 1 x 1 here.
    if (!owner_) {
      owner_ = new wxFrame(nullptr, wxID_ANY, "owner", {0, 0}, {100, 100});
      owner_->Show();
    }
    dialog_ = new CropDialog(owner_, kSkin + "little/", kSkin + "res/", {file, 640, 480, 0}, record);
    dialog_->Show();
    ASSERT_TRUE(PumpUntil([&] { return dialog_->IsShownOnScreen(); }));
    ASSERT_TRUE(PumpUntil([&] { return !dialog_->closingLocked(); }, 8000)) << "never played";
  }
  void TearDown() override {
    if (dialog_) dialog_->Destroy();
    if (owner_) owner_->Destroy();
    PumpFor(100);
  }
  std::string Texts() const {
    std::string all;
    for (Edge e : {Edge::Top, Edge::Bottom, Edge::Left, Edge::Right})
      all += dialog_->edgeEdit(e)->GetValue().utf8_string() + "/";
    return all;
  }
  // A point of the preview (reference units) on the screen.
  wxPoint OnPreview(int x, int y) const { return dialog_->preview()->ClientToScreen({x, y}); }
  void Drag(wxPoint from, wxPoint to) {
    xtest::MovePointer(from.x, from.y);
    PumpFor(60);
    xtest::PressButton(1, true);
    PumpFor(60);
    for (int step = 1; step <= 5; ++step) {
      const wxPoint at = from + (to - from) * step / 5;
      xtest::MovePointer(at.x, at.y);
      PumpFor(40);
    }
    xtest::PressButton(1, false);
    PumpFor(100);
  }
  void Click(wxWindow* w, wxPoint at) {
    const wxPoint p = w->ClientToScreen(at);
    xtest::MovePointer(p.x, p.y);
    PumpFor(60);
    xtest::PressButton(1, true);
    xtest::PressButton(1, false);
  }
  void Choose(wxChoice* list, int entry) {  // through the list's own popup
    Click(list, {20, list->GetSize().y / 2});
    PumpFor(400);
    for (int i = list->GetSelection(); i < entry; ++i) xtest::Key("Down");
    for (int i = list->GetSelection(); i > entry; --i) xtest::Key("Up");
    xtest::Key("Return");
    ASSERT_TRUE(PumpUntil([&] { return list->GetSelection() == entry; }));
    PumpFor(200);
  }
  void Type(Edge edge, const std::string& text) {
    wxTextCtrl* edit = dialog_->edgeEdit(edge);
    Click(edit, {10, 10});
    ASSERT_TRUE(PumpUntil([&] { return edit->HasFocus(); }));
    edit->SelectAll();
    for (char c : text) xtest::Key(c == '-' ? "minus" : std::string(1, c));
    xtest::Key("Return");
    PumpFor(200);
  }
  wxFrame* owner_ = nullptr;
  CropDialog* dialog_ = nullptr;
};

}  // namespace

TEST_F(CropDialogTest, PresetsShowPixelsAndTheMouseDragsWithinItsBounds) {
  CropRecord record;
  Open(&record);
  EXPECT_EQ(Texts(), "0/480/0/640/");
  Choose(dialog_->cropList(), kCutOffAll);
  EXPECT_EQ(Texts(), "60/420/80/560/");

  Drag(OnPreview(160, 120), OnPreview(163, 120));
  EXPECT_EQ(dialog_->model().rect(), PresetRect(kCutOffAll)) << "a 3-pixel move moves nothing";
  Drag(OnPreview(160, 120), OnPreview(165, 120));
  EXPECT_EQ(dialog_->model().rect().left, 45);
  Drag(OnPreview(160, 120), OnPreview(210, 120));
  EXPECT_EQ(dialog_->model().rect(), (CropRect{70, 30, 310, 210}));
  EXPECT_EQ(Texts(), "60/420/140/620/");
  Drag(OnPreview(150, 30), OnPreview(150, 235));  // the top edge past the bottom
  EXPECT_EQ(dialog_->model().rect().top, 200);

  Choose(dialog_->cropList(), kNoCrop);
  EXPECT_EQ(Texts(), "0/480/0/640/");
  const wxPoint before = dialog_->GetPosition();
  Drag(OnPreview(160, 120), OnPreview(200, 150));  // moves the dialog, not the rectangle
  EXPECT_EQ(dialog_->model().rect(), (CropRect{}));
  EXPECT_TRUE(PumpUntil([&] { return dialog_->GetPosition() != before; }));
}

TEST_F(CropDialogTest, PreviewShowsTheOutsideDimmedAndAWhiteFrame) {
  CropRecord record{40, 30, 280, 210, kCutOffAll, 0};
  Open(&record);
  ASSERT_TRUE(PumpUntil([&] { return dialog_->player().playing(); }, 5000));
  const auto grey = [](xtest::Pixel p) { return (p.r + p.g + p.b) / 3; };
  ASSERT_TRUE(PumpUntil([&] {
    const xtest::Image shot = xtest::GrabScreen(OnPreview(0, 0).x, OnPreview(0, 0).y, 320, 240);
    const int outside = grey(shot.at(20, 120)), inside = grey(shot.at(160, 120));
    return inside > 150 && std::abs(outside * 2 - inside) < 16 && grey(shot.at(40, 120)) > 235 &&
           grey(shot.at(160, 30)) > 235;
  }, 5000)) << "no dimmed outside, kept inside and white frame on the preview";
}

TEST_F(CropDialogTest, TypedValuesStayValidAndOkStoresReferenceUnits) {
  CropRecord record;
  Open(&record);
  Type(Edge::Top, "99999");
  Type(Edge::Left, "-50");
  Type(Edge::Right, "100");
  Type(Edge::Bottom, "abc");
  EXPECT_EQ(Texts(), "460/480/0/100/");  // top held 10 units above the bottom
  Type(Edge::Bottom, "300");  // under the top: held 10 units below it
  const CropRect kept = dialog_->model().rect();
  EXPECT_EQ(kept, (CropRect{0, 230, 50, 240}));
  const std::string shown = Texts();
  Click(dialog_->FindWindow(CropDialog::kOk), {40, 15});
  ASSERT_TRUE(PumpUntil([&] { return !dialog_->IsShown(); }));
  EXPECT_EQ((CropRect{record.cropLeft, record.cropTop, record.cropRight, record.cropBottom}), kept);
  dialog_->Destroy();
  Open(&record);
  EXPECT_EQ(Texts(), shown);
}

int main(int argc, char** argv) {
  platform::InitXlibThreads();  // the preview draws from its player thread
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new WxEnvironment);
  return RUN_ALL_TESTS();
}
