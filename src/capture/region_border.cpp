#include "capture/region_border.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/dcclient.h>
#include <wx/region.h>

namespace capture {

RegionBorder::RegionBorder(int screenWidth, int screenHeight)
    : wxFrame(nullptr, wxID_ANY, "Flashing", wxPoint(0, 0), wxSize(screenWidth, screenHeight),
              wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR | wxFRAME_SHAPED),
      screenWidth_(screenWidth),
      screenHeight_(screenHeight),
      marked_{0, 0, screenWidth - 1, screenHeight - 1} {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &RegionBorder::OnPaint, this);
  Bind(wxEVT_MOTION, &RegionBorder::OnMotion, this);
  Bind(wxEVT_LEFT_DOWN, &RegionBorder::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &RegionBorder::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &RegionBorder::OnCaptureLost, this);
  Bind(wxEVT_CLOSE_WINDOW, &RegionBorder::OnCloseRequest, this);
}

void RegionBorder::ShapeAround(int x, int y, int width, int height) {
  marked_ = {x, y, x + width - 1, y + height - 1};
  const BracketShape shape = BracketsFor(width, height);
  wxRegion region(shape.outer.x, shape.outer.y, shape.outer.width, shape.outer.height);
  for (const Box& hole : shape.holes)
    if (hole.width > 0 && hole.height > 0) region.Subtract(wxRect(hole.x, hole.y, hole.width, hole.height));
  SetSize(x - BracketShape::kThickness, y - BracketShape::kThickness, shape.outer.width,
          shape.outer.height);
  SetShape(region);
  Refresh(false);
}

unsigned long RegionBorder::NativeId() {
  GtkWidget* widget = GetHandle();
  if (!widget) return 0;
  gtk_widget_realize(widget);
  GdkWindow* window = gtk_widget_get_window(widget);
  if (!window || !GDK_IS_X11_WINDOW(window)) return 0;
  return GDK_WINDOW_XID(window);
}

void RegionBorder::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  const wxColour red(255, 0, 80);  // the between-frames colour
  dc.SetPen(wxPen(red));
  dc.SetBrush(wxBrush(red));
  if (marked_.left < marked_.right && marked_.top < marked_.bottom)
    dc.DrawRectangle(GetClientRect());
}

void RegionBorder::OnMotion(wxMouseEvent& event) {
  if (dragEnabled_) SetCursor(wxCursor(wxCURSOR_SIZING));
  event.Skip();
}

void RegionBorder::OnLeftDown(wxMouseEvent& event) {
  if (!dragEnabled_) return;
  dragStart_ = ClientToScreen(event.GetPosition());
  if (!HasCapture()) CaptureMouse();
}

void RegionBorder::OnLeftUp(wxMouseEvent& event) {
  if (!dragEnabled_ || !HasCapture()) return;
  ReleaseMouse();
  const wxPoint now = ClientToScreen(event.GetPosition());
  const ScreenRect moved =
      ClampedMove(marked_, now.x - dragStart_.x, now.y - dragStart_.y, screenWidth_, screenHeight_);
  ShapeAround(moved.left, moved.top, moved.width(), moved.height());
  published_.Publish(moved);
}

void RegionBorder::OnCaptureLost(wxMouseCaptureLostEvent&) {}

void RegionBorder::OnCloseRequest(wxCloseEvent& event) {
  // The capture thread paints this window by its id while a recording runs,
  // and the main window keeps it for the next recording: a close request
  // from the desktop only hides it. The recording goes on without a marker.
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  if (HasCapture()) ReleaseMouse();
  Hide();
}

}  // namespace capture
