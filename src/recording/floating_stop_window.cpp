#include "recording/floating_stop_window.h"

#include <gtk/gtk.h>
#include <wx/display.h>
#include <wx/menu.h>

#include "recording/floating_placement.h"
#include "ui/hover_button.h"

namespace recording {

FloatingStopWindow::FloatingStopWindow(wxWindow* owner, const std::string& skinLittleFolder,
                                       Actions actions)
    // The owner only ties the window's life to its own. No float-on-parent
    // and no tool-window type: either makes a window manager treat the window
    // as a transient of the main window, and minimising the main window
    // (which every recording does) would then take the Stop button with it.
    : wxFrame(owner, wxID_ANY, "Stop Record", wxDefaultPosition,
              wxSize(kFloatingWidth, kFloatingHeight),
              wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR),
      actions_(std::move(actions)) {
  stop_ = new CHoverButton(this, kStopButtonId, "Stop", wxPoint(0, 0),
                           wxSize(kFloatingWidth, kFloatingHeight));
  stop_->LoadSkin(skinLittleFolder, "float_stop");
  stop_->SetToolTipText("Stop Record", true);
  // The button is the whole window, so the window is dragged by it.
  stop_->EnableWindowDrag(true);
  // Borderless, the frame's size is its client size already. Setting the
  // client size again while the frame is still hidden leaves GTK a window of
  // one pixel that later moves never grow back.
  Centre(wxBOTH);

  Bind(wxEVT_BUTTON, &FloatingStopWindow::OnStop, this, kStopButtonId);
  Bind(wxEVT_CLOSE_WINDOW, &FloatingStopWindow::OnCloseRequest, this);
  for (wxWindow* w : {static_cast<wxWindow*>(this), static_cast<wxWindow*>(stop_)}) {
    w->Bind(wxEVT_RIGHT_UP, &FloatingStopWindow::OnContextMenu, this);
  }
  Bind(wxEVT_LEFT_DCLICK, &FloatingStopWindow::OnDoubleClick, this);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { if (actions_.toggleMain) actions_.toggleMain(); },
       kShowItem);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { if (actions_.exit) actions_.exit(); }, kExitItem);
}

void FloatingStopWindow::ShowBeside(const capture::ScreenRect& rect) {
  wxRect screen = wxDisplay(0u).GetGeometry();
  if (auto at = FloatingStopPlacement(rect, screen.width, screen.height))
    SetSize(at->x, at->y, kFloatingWidth, kFloatingHeight);
  // Shown without taking the focus from the call window; raised so it is
  // above the marker that came up a moment before.
  ShowWithoutActivating();
  if (GdkWindow* window = gtk_widget_get_window(GetHandle())) gdk_window_raise(window);
  if (CanSetTransparent()) SetTransparent(255);
}

void FloatingStopWindow::OnCloseRequest(wxCloseEvent& event) {
  // A close request from the desktop (Alt+F4, a task switcher) must not
  // destroy the window the recording path keeps using: it only hides it. The
  // recording goes on and the next one shows the window again.
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  Hide();
}

void FloatingStopWindow::OnStop(wxCommandEvent&) {
  if (actions_.stop) actions_.stop();
  if (actions_.showMain) actions_.showMain();
  Hide();
}

void FloatingStopWindow::OnContextMenu(wxMouseEvent&) {
  wxMenu menu;
  menu.Append(kShowItem, "Show");
  menu.Append(kExitItem, "Exit");
  PopupMenu(&menu);
}

void FloatingStopWindow::OnDoubleClick(wxMouseEvent&) {
  if (actions_.showMain) actions_.showMain();
}

}  // namespace recording
