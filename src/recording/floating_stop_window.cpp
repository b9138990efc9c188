#include "recording/floating_stop_window.h"

#include <wx/display.h>
#include <wx/menu.h>

#include "recording/floating_placement.h"
#include "ui/hover_button.h"

namespace recording {

FloatingStopWindow::FloatingStopWindow(wxWindow* owner, const std::string& skinLittleFolder,
                                       Actions actions)
    : wxFrame(owner, wxID_ANY, "Stop Record", wxDefaultPosition,
              wxSize(kFloatingWidth, kFloatingHeight),
              wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR |
                  wxFRAME_FLOAT_ON_PARENT),
      actions_(std::move(actions)) {
  stop_ = new CHoverButton(this, kStopButtonId, "Stop", wxPoint(0, 0),
                           wxSize(kFloatingWidth, kFloatingHeight));
  stop_->LoadSkin(skinLittleFolder, "float_stop");
  stop_->SetToolTipText("Stop Record", true);
  // Borderless, the frame's size is its client size already. Setting the
  // client size again while the frame is still hidden leaves GTK a window of
  // one pixel that later moves never grow back.
  Centre(wxBOTH);

  Bind(wxEVT_BUTTON, &FloatingStopWindow::OnStop, this, kStopButtonId);
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
  Show();
  Raise();
  if (CanSetTransparent()) SetTransparent(255);
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
