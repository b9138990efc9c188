#include "edit/dialogs/crop_dialog.h"

#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <functional>
#include <mutex>

#include "edit/crop_hook.h"
#include "ui/hover_button.h"
#include "ui/preview_window.h"
#include "ui/skin_slider_ctrl.h"

namespace edit {

// The player thread's hook reads the rectangle on every picture while the
// dialog's thread changes it; the hook holds its own reference, so a player
// thread that outlives the dialog still reads valid memory.
struct CropDialog::SharedRect {
  CropRect Get() const {
    std::lock_guard lock(mutex);
    return rect;
  }
  void Set(const CropRect& r) {
    std::lock_guard lock(mutex);
    rect = r;
  }
  mutable std::mutex mutex;
  CropRect rect;  // guarded by mutex
};

namespace {

constexpr int kOutlineWidth = 2;

wxStockCursor CursorOf(CursorKind kind) {
  switch (kind) {
    case CursorKind::SizeNwSe: return wxCURSOR_SIZENWSE;
    case CursorKind::SizeNeSw: return wxCURSOR_SIZENESW;
    case CursorKind::SizeNs: return wxCURSOR_SIZENS;
    case CursorKind::SizeWe: return wxCURSOR_SIZEWE;
    case CursorKind::Move: return wxCURSOR_SIZING;
    case CursorKind::Arrow: break;
  }
  return wxCURSOR_ARROW;
}

// The up-down beside an edge's field: the toolkit's own spin button needs
// more than four times the room the layout gives it. The upper half steps
// up, the lower half down; `step` gets +1 or -1.
class UpDown : public wxWindow {
 public:
  UpDown(wxWindow* parent, int id, wxPoint at, wxSize size, std::function<void(int)> step)
      : wxWindow(parent, id, at, size, wxBORDER_SIMPLE), step_(std::move(step)) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) { Paint(); });
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
      step_(e.GetY() < GetClientSize().y / 2 ? 1 : -1);
    });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& e) {
      step_(e.GetY() < GetClientSize().y / 2 ? 1 : -1);
    });
  }

 private:
  void Paint() {
    wxPaintDC dc(this);
    const wxSize s = GetClientSize();
    dc.SetBackground(wxBrush(wxColour(0xf4, 0xf5, 0xf7)));
    dc.Clear();
    dc.SetPen(wxPen(wxColour(0x19, 0x19, 0x19)));
    dc.SetBrush(wxBrush(wxColour(0x19, 0x19, 0x19)));
    const int cx = s.x / 2, h = s.y / 2;
    const wxPoint up[] = {{cx - 4, h - 3}, {cx + 4, h - 3}, {cx, h - 7}};
    const wxPoint down[] = {{cx - 4, h + 3}, {cx + 4, h + 3}, {cx, h + 7}};
    dc.DrawPolygon(3, up);
    dc.DrawPolygon(3, down);
    dc.DrawLine(0, h, s.x, h);
  }
  std::function<void(int)> step_;
};

wxChoice* MakeList(wxWindow* parent, int id, wxPoint at, const auto& names, int selected) {
  auto* list = new wxChoice(parent, id, at, wxSize(150, -1));
  for (const char* name : names) list->Append(name);
  list->SetSelection(selected);
  return list;
}

}  // namespace

CropDialog::CropDialog(wxWindow* parent, const std::string& skinLittleFolder,
                       const std::string& skinResFolder, const PreviewSource& source,
                       CropRecord* record)
    : SkinnedDialog(parent, "Crop", wxSize(600, 450), skinLittleFolder, "crop_bk.bmp"),
      record_(record),
      model_(record, source.videoWidth, source.videoHeight),
      shared_(std::make_shared<SharedRect>()) {
  shared_->Set(model_.rect());
  BuildControls(skinResFolder);
  BindHandlers();

  std::shared_ptr<SharedRect> shared = shared_;
  DialogPlayer::Reports reports;
  reports.moved = [this](int percent) { slider_->SetPos(percent); };
  reports.started = [this] { UnlockClosing(); };
  reports.ended = [this] {
    UnlockClosing();
    preview_->Refresh(false);  // the idle picture, then the outline over it
  };
  player_ = std::make_unique<DialogPlayer>(
      preview_,
      [shared](const uint8_t* in, uint8_t* out, int w, int h) {
        ApplyCropOverlay(shared->Get(), in, out, w, h);
      },
      nullptr, std::move(reports));
  if (record_ && player_->Load(source)) {
    ArmClosingLock();
    player_->ArmAutoStart();
  }
}

CropDialog::~CropDialog() {
  // The player goes before the windows it draws in; a field losing the
  // focus while they are torn down must find no player to show stills with.
  player_.reset();
}

void CropDialog::BuildControls(const std::string& skinResFolder) {
  preview_ = new PreviewWindow(this, kPreview, wxPoint(kPreviewX, kPreviewY),
                               wxSize(kReferenceWidth, kReferenceHeight),
                               LoadSkinBitmap(skinFolder() + "screen.bmp"));
  // The preview takes no input of its own: its mouse is the dialog's (a
  // disabled window would lose the pointer altogether on this toolkit).
  preview_->DisableFocusFromKeyboard();

  slider_ = new CSkinSliderCtrl(this, kSlider, wxPoint(125, 320), wxSize(220, 30));
  slider_->SetChannelBitmap(skinResFolder + "404.bmp", true);
  slider_->SetThumbBitmaps(skinResFolder + "136.bmp", skinResFolder + "137.bmp", true);
  // The channel's and thumb's keyed pixels show the skin behind them.
  slider_->SetBackdrop([this](wxDC& dc) { PaintSkin(dc); });
  slider_->SetRange(0, 100);
  slider_->SetLineSize(1);
  slider_->SetPageSize(1);
  slider_->SetPos(0);

  zoomList_ = MakeList(this, kZoomList, {430, 55}, ZoomModeNames(), model_.zoom());
  cropList_ = MakeList(this, kCropList, {430, 115}, CropModeNames(), model_.cropMode());
  BuildEdge(Edge::Top, kTopEdit, kTopSpin, {440, 190});
  BuildEdge(Edge::Bottom, kBottomEdit, kBottomSpin, {440, 310});
  BuildEdge(Edge::Left, kLeftEdit, kLeftSpin, {360, 252});
  BuildEdge(Edge::Right, kRightEdit, kRightSpin, {520, 252});
  WriteTexts();

  AddPreviewButtons({kPause, kPlay, kStop, kReset, kOk, kCancel, kClose});

  AddLabel({"Crop", {10, 5}, 16, true, *wxWHITE});
  for (const auto& [text, x, y] : {std::tuple{"Zoom Mode", 350, 58}, {"Crop Mode", 350, 118},
                                   {"Up", 455, 170}, {"Down", 450, 290}, {"Left", 370, 230},
                                   {"Right", 525, 230}})
    AddLabel({text, {x, y}});
}

void CropDialog::BuildEdge(Edge edge, int editId, int spinId, wxPoint at) {
  constexpr int kEditWidth = 44, kSpinWidth = 16, kHeight = 25;  // 60 x 25 together
  const int i = static_cast<int>(edge);
  edits_[i] = new wxTextCtrl(this, editId, "", at, wxSize(kEditWidth, kHeight), wxTE_PROCESS_ENTER);
  new UpDown(this, spinId, at + wxPoint(kEditWidth, 0), wxSize(kSpinWidth, kHeight),
             [this, edge](int step) { StepEdge(edge, step); });
  edits_[i]->Bind(wxEVT_TEXT_ENTER, [this, edge](wxCommandEvent&) { TakeEdgeText(edge); });
  edits_[i]->Bind(wxEVT_KILL_FOCUS, [this, edge](wxFocusEvent& e) {
    e.Skip();
    TakeEdgeText(edge);
  });
}

void CropDialog::BindHandlers() {
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnPlay(); }, kPlay);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnStop(); }, kStop);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnPause(); }, kPause);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnReset(); }, kReset);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); }, kOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, kCancel);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, kClose);
  SetCloseActions([this] { OnOk(); }, [this] { OnCancel(); });
  Bind(wxEVT_SLIDER, [this](wxCommandEvent&) { OnSlider(slider_->RefreshPos()); }, kSlider);
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { model_.SetZoom(zoomList_->GetSelection()); },
       kZoomList);
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
    model_.ChoosePreset(cropList_->GetSelection());
    RectChanged();
  }, kCropList);
  preview_->Bind(wxEVT_LEFT_DOWN, &CropDialog::OnPreviewMouse, this);
  preview_->Bind(wxEVT_LEFT_UP, &CropDialog::OnPreviewMouse, this);
  preview_->Bind(wxEVT_MOTION, &CropDialog::OnPreviewMouse, this);
  preview_->Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { model_.Release(); });
  // Whatever repaints the preview (the toolkit, the end of playback) has
  // the picture back only after its own redraw: the outline comes after that.
  preview_->Bind(wxEVT_PAINT, [this](wxPaintEvent& e) {
    e.Skip();
    CallAfter([this] { CallAfter(&CropDialog::DrawOutline); });
  });
}

void CropDialog::ArmClosingLock() { LockClosing({kOk, kCancel, kClose}); }

void CropDialog::RectChanged() {
  shared_->Set(model_.rect());
  cropList_->SetSelection(model_.cropMode());
  if (!player_->playing()) ShowStillWithOutline();
  WriteTexts();
}

void CropDialog::WriteTexts() {
  for (Edge edge : {Edge::Top, Edge::Bottom, Edge::Left, Edge::Right}) {
    const int i = static_cast<int>(edge);
    const std::string text = model_.Text(edge);
    if (edits_[i]->GetValue() != text) edits_[i]->ChangeValue(text);
  }
}

void CropDialog::ShowStillWithOutline() {
  player_->ShowStill(player_->player().position());
  DrawOutline();
}

void CropDialog::DrawOutline() {
  if (player_->playing() || model_.cropMode() == kNoCrop) return;
  const CropRect r = model_.rect();
  wxClientDC dc(preview_);
  dc.SetPen(wxPen(*wxWHITE, kOutlineWidth));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  const wxPoint path[] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom},
                          {r.left, r.bottom}, {r.left, r.top}};
  dc.DrawLines(5, path);
}

void CropDialog::TakeEdgeText(Edge edge) {
  const std::string text = edgeEdit(edge)->GetValue().utf8_string();
  if (!player_ || text == model_.Text(edge)) return;  // nothing typed: the mode stays
  model_.SetEdgeText(edge, text);
  RectChanged();
}

void CropDialog::StepEdge(Edge edge, int step) {
  // An up-down steps from what the field shows, within 0 to the picture's
  // size, as the field's buddy would.
  wxTextCtrl* edit = edgeEdit(edge);
  long value = 0;
  if (!edit->GetValue().ToLong(&value)) value = std::stol(model_.Text(edge));
  value = std::clamp<long>(value + step, 0, model_.PixelRange(edge));
  edit->ChangeValue(std::to_string(value));
  TakeEdgeText(edge);
}

void CropDialog::OnPlay() {
  WriteTexts();
  if (!player_->loaded() || player_->playing()) return;
  ArmClosingLock();
  player_->Play();
}

void CropDialog::OnStop() {
  player_->Stop();
  player_->player().SetPosition(0);
  slider_->SetPos(0);
  ShowStillWithOutline();
}

void CropDialog::OnPause() {
  player_->Stop();  // the position stays where playback was
  ShowStillWithOutline();
}

void CropDialog::OnSlider(int percent) {
  if (!player_->loaded()) return;
  player_->player().SeekFromSlider(percent);
  DrawOutline();
}

void CropDialog::OnReset() {
  model_.Reset();
  zoomList_->SetSelection(0);
  RectChanged();
}

void CropDialog::OnOk() {
  if (record_) {
    model_.SetZoom(zoomList_->GetSelection());
    *record_ = model_.ToRecord();
  }
  player_->player().PausePlayback();
  player_->Release();
  Finish(wxID_OK);
}

void CropDialog::OnCancel() {
  player_->Stop();
  player_->Release();
  Finish(wxID_CANCEL);
}

void CropDialog::OnPreviewMouse(wxMouseEvent& event) {
  const int x = event.GetX(), y = event.GetY();
  if (event.GetEventType() == wxEVT_LEFT_DOWN) {
    if (!model_.Press(x, y)) return ForwardToDialog(event);
    if (!preview_->HasCapture()) preview_->CaptureMouse();
  } else if (event.GetEventType() == wxEVT_LEFT_UP) {
    const bool dragged = model_.dragMode() != kDragNone;
    model_.Release();
    if (preview_->HasCapture()) preview_->ReleaseMouse();
    if (!dragged) ForwardToDialog(event);
  } else if (model_.dragMode() != kDragNone) {
    if (model_.DragTo(x, y)) RectChanged();
  } else {
    preview_->SetCursor(wxCursor(CursorOf(model_.CursorAt(x, y))));
    ForwardToDialog(event);
  }
}

void CropDialog::ForwardToDialog(wxMouseEvent& event) {
  // Presses that grab no part of the rectangle move the dialog, as its
  // background does: the dialog sees them in its own coordinates.
  wxMouseEvent copy(event);
  copy.SetEventObject(this);
  copy.SetPosition(event.GetPosition() + wxPoint(kPreviewX, kPreviewY));
  GetEventHandler()->ProcessEvent(copy);
}

}  // namespace edit
