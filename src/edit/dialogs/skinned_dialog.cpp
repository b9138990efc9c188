#include "edit/dialogs/skinned_dialog.h"

#include <wx/dcbuffer.h>
#include <wx/region.h>

#include "ui/background_drag.h"
#include "ui/hover_button.h"

namespace edit {

namespace {

constexpr int kCornerRadius = 10;
constexpr int kSquareBelow = 100;  // the bottom corners stay square from here down

// The skins are drawn for Arial; Liberation Sans has its metrics.
wxFont SkinFont(int pixelHeight, bool bold) {
  return wxFont(wxFontInfo(wxSize(0, pixelHeight))
                    .FaceName("Liberation Sans")
                    .Weight(bold ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL));
}

}  // namespace

SkinnedDialog::SkinnedDialog(wxWindow* parent, const wxString& title, const wxSize& size,
                             std::string skinFolder, const std::string& background)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, size,
               wxBORDER_NONE | wxFRAME_SHAPED | wxCLIP_CHILDREN),
      skinFolder_(std::move(skinFolder)) {
  // The size comes with the window: setting the client size again before
  // the window is shown leaves it 1 x 1 on this toolkit.
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  background_ = LoadSkinBitmap(skinFolder_ + background);
  drag_ = std::make_unique<BackgroundDrag>(this);
  Bind(wxEVT_PAINT, &SkinnedDialog::OnPaint, this);
  Bind(wxEVT_CHAR_HOOK, &SkinnedDialog::OnCharHook, this);
  Bind(wxEVT_CLOSE_WINDOW, &SkinnedDialog::OnCloseWindow, this);
  ApplyShape();
  CentreOnParent();
  if (!parent) Centre();
}

SkinnedDialog::~SkinnedDialog() = default;

void SkinnedDialog::ApplyShape() {
  // Rounded top corners, square bottom ones: a rounded rectangle joined
  // with a plain one over the lower part.
  const wxSize size = GetClientSize();
  wxBitmap mask(size.x, size.y, 1);
  {
    wxMemoryDC dc(mask);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.SetPen(*wxWHITE_PEN);
    dc.DrawRoundedRectangle(0, 0, size.x, size.y, kCornerRadius);
    dc.DrawRectangle(0, kSquareBelow, size.x, size.y - kSquareBelow);
  }
  SetShape(wxRegion(mask, *wxBLACK));
}

CHoverButton* SkinnedDialog::AddButton(int id, const std::string& skinName, const wxRect& rect) {
  auto* button = new CHoverButton(this, id, "", rect.GetPosition(), rect.GetSize());
  button->LoadSkin(skinFolder_, skinName);
  return button;
}

void SkinnedDialog::AddPreviewButtons(const layout::PreviewButtonIds& ids) {
  AddButton(ids.pause, "pause", layout::kPause);
  AddButton(ids.play, "play", layout::kPlay);
  AddButton(ids.stop, "stop", layout::kStop);
  AddButton(ids.reset, "reset", layout::kReset);
  AddButton(ids.ok, "ok", layout::kOk);
  AddButton(ids.cancel, "cancel", layout::kCancel);
  AddButton(ids.close, "close", layout::kClose);
}

void SkinnedDialog::AddLabel(DrawnLabel label) {
  labels_.push_back(std::move(label));
  Refresh(false);
}

void SkinnedDialog::SetCloseActions(std::function<void()> ok, std::function<void()> cancel) {
  ok_ = std::move(ok);
  cancel_ = std::move(cancel);
}

void SkinnedDialog::Finish(int result) {
  if (finished_) return;
  finished_ = true;
  if (IsModal())
    EndModal(result);
  else {
    SetReturnCode(result);
    Hide();
  }
}

void SkinnedDialog::LockClosing(std::vector<int> closeButtonIds) {
  closeButtons_ = std::move(closeButtonIds);
  closingLocked_ = true;
  for (int id : closeButtons_)
    if (wxWindow* w = FindWindow(id)) w->Disable();
}

void SkinnedDialog::UnlockClosing() {
  closingLocked_ = false;
  for (int id : closeButtons_)
    if (wxWindow* w = FindWindow(id)) w->Enable();
}

void SkinnedDialog::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  PaintSkin(dc);
}

void SkinnedDialog::PaintSkin(wxDC& dc) const {
  dc.SetBackground(wxBrush(wxColour(0xe8, 0xe8, 0xe8)));
  dc.Clear();
  if (background_.IsOk()) dc.DrawBitmap(background_, 0, 0, false);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  for (const DrawnLabel& label : labels_) {
    dc.SetFont(SkinFont(label.pixelHeight, label.bold));
    dc.SetTextForeground(label.colour);
    dc.DrawText(label.text, label.at);
  }
}

void SkinnedDialog::OnCharHook(wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  if (key == WXK_ESCAPE) {
    if (!escapeSwallowed_ && !closingLocked_ && cancel_) cancel_();
    return;  // never the toolkit's own Escape handling, which skips our Cancel
  }
  if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && enterAccepts_) {
    if (!closingLocked_ && ok_) ok_();
    return;
  }
  event.Skip();
}

void SkinnedDialog::OnCloseWindow(wxCloseEvent& event) {
  // A close from the window manager is a Cancel, refused while the preview
  // sets up; a forced close (the program ends) still ends the run.
  if (closingLocked_ && event.CanVeto()) {
    event.Veto();
    return;
  }
  if (cancel_) cancel_();
  Finish(wxID_CANCEL);
}

}  // namespace edit
