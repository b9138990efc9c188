#include "capture/region_selection_window.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>

#include <cstring>

#include "platform/screen_grabber.h"

namespace capture {
namespace {

wxImage ScreenPicture(int width, int height) {
  wxImage image(width, height, false);
  auto grabber = OpenScreenGrabber({.display = "", .showCursor = false, .allowSharedMemory = true});
  Frame frame;
  if (!grabber || !grabber->Grab(0, 0, width, height, frame)) {
    image.Clear(0);
    return image;
  }
  unsigned char* out = image.GetData();
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = frame.TopDownRow(y);
    for (int x = 0; x < width; ++x, in += 3, out += 3) out[0] = in[2], out[1] = in[1], out[2] = in[0];
  }
  return image;
}

wxFont LabelFont() { return wxSystemSettings::GetFont(wxSYS_ANSI_VAR_FONT); }

}  // namespace

RegionSelectionWindow::RegionSelectionWindow(int screenWidth, int screenHeight, Actions actions)
    : wxFrame(nullptr, wxID_ANY, "Title", wxPoint(0, 0), wxSize(screenWidth, screenHeight),
              wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR),
      actions_(std::move(actions)) {
  SetName(kClassName);
  // One child covers the frame: a focusable window is what receives keys.
  surface_ = new wxWindow(this, wxID_ANY, wxPoint(0, 0), wxSize(screenWidth, screenHeight),
                          wxWANTS_CHARS | wxBORDER_NONE);
  surface_->SetBackgroundStyle(wxBG_STYLE_PAINT);
  surface_->SetCursor(wxCursor(wxCURSOR_CROSS));
  surface_->Bind(wxEVT_PAINT, &RegionSelectionWindow::OnPaint, this);
  surface_->Bind(wxEVT_LEFT_DOWN, &RegionSelectionWindow::OnLeftDown, this);
  surface_->Bind(wxEVT_MOTION, &RegionSelectionWindow::OnMotion, this);
  surface_->Bind(wxEVT_LEFT_UP, &RegionSelectionWindow::OnLeftUp, this);
  surface_->Bind(wxEVT_KEY_DOWN, &RegionSelectionWindow::OnKeyDown, this);
  surface_->Bind(wxEVT_MOUSE_CAPTURE_LOST, &RegionSelectionWindow::OnCaptureLost, this);
  Bind(wxEVT_CLOSE_WINDOW, &RegionSelectionWindow::OnCloseRequest, this);
  wxClientDC dc(surface_);
  dc.SetFont(LabelFont());
  labelHeight_ = dc.GetCharHeight();
}

void RegionSelectionWindow::Begin() {
  const wxSize size = GetSize();
  screen_ = ScreenPicture(size.x, size.y);
  screenBitmap_ = wxBitmap(screen_);
  selection_ = RegionSelection();
  SetPosition(wxPoint(0, 0));
  Show();
  Raise();
  surface_->Refresh(false);
  // Keyboard focus (for the cancel key) can only go to a mapped window; the
  // map happens in the event loop.
  CallAfter([this] {
    Raise();
    surface_->SetFocus();
  });
}

void RegionSelectionWindow::End() {
  if (surface_->HasCapture()) surface_->ReleaseMouse();
  Hide();
  screenBitmap_ = wxBitmap();
  screen_ = wxImage();
}

void RegionSelectionWindow::OnLeftDown(wxMouseEvent& event) {
  const wxPoint p = surface_->ClientToScreen(event.GetPosition());
  selection_.ButtonDown({p.x, p.y});
  if (!surface_->HasCapture()) surface_->CaptureMouse();
  RefreshAround(selection_.selection());
}

void RegionSelectionWindow::OnMotion(wxMouseEvent& event) {
  const ScreenRect before = selection_.selection();
  const wxPoint p = surface_->ClientToScreen(event.GetPosition());
  if (!selection_.MoveTo({p.x, p.y})) return;
  RefreshAround(before);
  RefreshAround(selection_.selection());
}

void RegionSelectionWindow::OnLeftUp(wxMouseEvent&) {
  if (!selection_.dragging()) return;
  const auto committed = selection_.ButtonUp();
  End();
  if (committed) {
    if (actions_.committed) actions_.committed(*committed);
  } else if (actions_.cancelled) {
    actions_.cancelled();
  }
}

bool RegionSelectionWindow::Cancel() {
  if (!IsShown()) return false;
  selection_.Cancel();
  End();
  if (actions_.cancelled) actions_.cancelled();
  return true;
}

void RegionSelectionWindow::OnKeyDown(wxKeyEvent& event) {
  if (event.GetKeyCode() == cancelKey_) Cancel();
  event.Skip();
}

void RegionSelectionWindow::OnCaptureLost(wxMouseCaptureLostEvent&) {}

void RegionSelectionWindow::OnCloseRequest(wxCloseEvent& event) {
  // Alt+F4 on the selection means "not now", as the cancel key does. The
  // window itself stays for the next selection; destroying it here would
  // leave the main window holding a freed window.
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  Cancel();
}

void RegionSelectionWindow::RefreshAround(const ScreenRect& r) {
  // The strips, and the label above or below with its rounded box.
  const int labelRoom = labelHeight_ + 16;
  surface_->RefreshRect(
      wxRect(wxPoint(r.left - 2, r.top - labelRoom), wxPoint(r.right + 600, r.bottom + labelRoom)),
      false);
}

void RegionSelectionWindow::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(surface_);
  if (screenBitmap_.IsOk()) dc.DrawBitmap(screenBitmap_, 0, 0, false);
  if (selection_.dragging()) DrawSelection(dc, selection_.selection());
}

void RegionSelectionWindow::DrawSelection(wxDC& dc, const ScreenRect& r) {
  if (r.IsEmpty() || !screen_.IsOk()) return;
  for (Box strip : SelectionStrips(r)) {
    if (strip.width < 0) strip.x += strip.width, strip.width = -strip.width;
    if (strip.height < 0) strip.y += strip.height, strip.height = -strip.height;
    const wxRect area = wxRect(strip.x, strip.y, strip.width, strip.height)
                            .Intersect(wxRect(0, 0, screen_.GetWidth(), screen_.GetHeight()));
    if (area.IsEmpty()) continue;
    wxImage piece = screen_.GetSubImage(area);
    InvertHatchedStrip(piece.GetData(), piece.GetWidth(), piece.GetHeight(), piece.GetWidth() * 3,
                       {0, 0, area.width, area.height}, area.x, area.y);
    dc.DrawBitmap(wxBitmap(piece), area.x, area.y, false);
  }
  dc.SetFont(LabelFont());
  const std::string text = SelectionLabel(r);
  const wxSize extent = dc.GetTextExtent(text);
  const Point at = LabelPosition(r, extent.y);
  const Box box = LabelBackground(r, at, extent.x, extent.y);
  dc.SetPen(*wxBLACK_PEN);
  dc.SetBrush(*wxWHITE_BRUSH);
  dc.DrawRoundedRectangle(box.x, box.y, box.width, box.height, 5);
  dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
  dc.SetTextBackground(*wxWHITE);
  dc.SetTextForeground(*wxBLACK);
  dc.DrawText(text, r.left + 10, at.y);
}

}  // namespace capture
