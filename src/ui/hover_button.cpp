#include "ui/hover_button.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/settings.h>
#include <wx/tooltip.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <sys/stat.h>

#include <cstdlib>

wxBEGIN_EVENT_TABLE(CHoverButton, wxControl)
  EVT_PAINT(CHoverButton::OnPaint)
  EVT_ENTER_WINDOW(CHoverButton::OnEnter)
  EVT_LEAVE_WINDOW(CHoverButton::OnLeave)
  EVT_LEFT_DOWN(CHoverButton::OnLeftDown)
  EVT_LEFT_DCLICK(CHoverButton::OnLeftDown)
  EVT_LEFT_UP(CHoverButton::OnLeftUp)
  EVT_MOTION(CHoverButton::OnMotion)
  EVT_MOUSE_CAPTURE_LOST(CHoverButton::OnCaptureLost)
wxEND_EVENT_TABLE()

wxBitmap LoadSkinBitmap(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return wxBitmap();
  wxLogNull quiet;  // a corrupt skin file must not pop up an error window
  wxImage image;
  if (!image.LoadFile(wxString::FromUTF8(path), wxBITMAP_TYPE_BMP) || !image.IsOk())
    return wxBitmap();
  return wxBitmap(image);
}

CHoverButton::CHoverButton(wxWindow* parent, wxWindowID id, const wxString& label,
                           const wxPoint& pos, const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE) {
  SetLabel(label);
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  SetInitialSize(size);
}

bool CHoverButton::LoadBitmaps(const std::string& normalPath, const std::string& hoverPath,
                               const std::string& clickPath) {
  normal_ = LoadSkinBitmap(normalPath);
  hover_ = LoadSkinBitmap(hoverPath);
  click_ = LoadSkinBitmap(clickPath);
  Refresh(false);
  return true;
}

bool CHoverButton::LoadSkin(const std::string& skinFolder, const std::string& name) {
  return LoadBitmaps(skinFolder + name + "_normal.bmp", skinFolder + name + "_hover.bmp",
                     skinFolder + name + "_click.bmp");
}

void CHoverButton::SetToolTipText(const wxString& text, bool activate) {
  if (!activate) {
    UnsetToolTip();
    return;
  }
  SetToolTip(text);
}

bool CHoverButton::HasFaceBitmap(HoverFace face) const { return BitmapFor(face).IsOk(); }

const wxBitmap& CHoverButton::BitmapFor(HoverFace face) const {
  switch (face) {
    case HoverFace::Click: return click_;
    case HoverFace::Hover: return hover_;
    case HoverFace::Normal: break;
  }
  return normal_;
}

void CHoverButton::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxBitmap& bmp = BitmapFor(state_.Face());
  wxSize size = GetClientSize();
  if (!bmp.IsOk()) {
    // No picture for this state: leave the parent's background showing.
    dc.SetBackground(GetParent()->GetBackgroundColour());
    dc.Clear();
    return;
  }
  if (bmp.GetWidth() == size.x && bmp.GetHeight() == size.y) {
    dc.DrawBitmap(bmp, 0, 0, false);
  } else {
    wxImage scaled = bmp.ConvertToImage().Scale(size.x, size.y, wxIMAGE_QUALITY_NORMAL);
    dc.DrawBitmap(wxBitmap(scaled), 0, 0, false);
  }
}

void CHoverButton::OnEnter(wxMouseEvent&) {
  state_.MouseEntered();
  Refresh(false);
}

void CHoverButton::OnLeave(wxMouseEvent&) {
  state_.MouseLeft();
  Refresh(false);
}

void CHoverButton::OnLeftDown(wxMouseEvent& event) {
  state_.Pressed();
  state_.MouseEntered();
  if (!HasCapture()) CaptureMouse();
  draggingWindow_ = false;
  if (wxWindow* top = wxGetTopLevelParent(this); windowDrag_ && top) {
    // Screen positions throughout: the button moves with the window, so
    // positions relative to it would shift under the pointer. Both come from
    // the server; the toolkit's own record of a top-level window's place is
    // not kept up to date under every window manager.
    pressPointer_ = ClientToScreen(event.GetPosition());
    grabOffset_ = top->ScreenToClient(pressPointer_);
  }
  Refresh(false);
}

bool CHoverButton::DragWindow() {
  wxWindow* top = wxGetTopLevelParent(this);
  if (!windowDrag_ || !top || !state_.pressed()) return false;
  const wxPoint pointer = wxGetMousePosition();
  if (!draggingWindow_) {
    // A hand that shakes a little while clicking still clicks.
    int slopX = wxSystemSettings::GetMetric(wxSYS_DRAG_X, this);
    int slopY = wxSystemSettings::GetMetric(wxSYS_DRAG_Y, this);
    if (slopX <= 0) slopX = 4;
    if (slopY <= 0) slopY = 4;
    const wxPoint moved = pointer - pressPointer_;
    if (std::abs(moved.x) <= slopX && std::abs(moved.y) <= slopY) return false;
    draggingWindow_ = true;
  }
  top->Move(pointer - grabOffset_);
  return true;
}

void CHoverButton::OnMotion(wxMouseEvent& event) {
  // While the mouse is captured no enter/leave arrives; follow the pointer.
  if (!HasCapture()) return;
  if (DragWindow()) return;
  bool inside = wxRect(GetClientSize()).Contains(event.GetPosition());
  if (inside != state_.hover()) {
    inside ? state_.MouseEntered() : state_.MouseLeft();
    Refresh(false);
  }
}

void CHoverButton::OnLeftUp(wxMouseEvent& event) {
  if (HasCapture()) ReleaseMouse();
  if (draggingWindow_ || DragWindow()) {
    // The press moved the window: it was no click.
    draggingWindow_ = false;
    state_.Cancelled();
    Refresh(false);
    return;
  }
  bool inside = wxRect(GetClientSize()).Contains(event.GetPosition());
  if (!inside) state_.MouseLeft();
  bool click = state_.Released(inside);
  Refresh(false);
  if (click) SendClick();
}

void CHoverButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
  draggingWindow_ = false;
  state_.Cancelled();
  Refresh(false);
}

void CHoverButton::SendClick() {
  wxCommandEvent click(wxEVT_BUTTON, GetId());
  click.SetEventObject(this);
  // Through our own handler chain first, then up to the parent, exactly like a
  // native button's command.
  ProcessWindowEvent(click);
}
