#include "ui/background_drag.h"

#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/window.h>

BackgroundDrag::BackgroundDrag(wxWindow* surface) : surface_(surface) {
  surface_->Bind(wxEVT_LEFT_DOWN, &BackgroundDrag::OnLeftDown, this);
  surface_->Bind(wxEVT_MOTION, &BackgroundDrag::OnMotion, this);
  surface_->Bind(wxEVT_LEFT_UP, &BackgroundDrag::OnLeftUp, this);
  surface_->Bind(wxEVT_MOUSE_CAPTURE_LOST, &BackgroundDrag::OnCaptureLost, this);
}

BackgroundDrag::~BackgroundDrag() {
  surface_->Unbind(wxEVT_LEFT_DOWN, &BackgroundDrag::OnLeftDown, this);
  surface_->Unbind(wxEVT_MOTION, &BackgroundDrag::OnMotion, this);
  surface_->Unbind(wxEVT_LEFT_UP, &BackgroundDrag::OnLeftUp, this);
  surface_->Unbind(wxEVT_MOUSE_CAPTURE_LOST, &BackgroundDrag::OnCaptureLost, this);
}

void BackgroundDrag::OnLeftDown(wxMouseEvent& event) {
  event.Skip();  // default processing first, as a press on a caption would get
  wxWindow* top = wxGetTopLevelParent(surface_);
  if (!top) return;
  grabOffset_ = wxGetMousePosition() - top->GetPosition();
  dragging_ = true;
  if (!surface_->HasCapture()) surface_->CaptureMouse();
}

void BackgroundDrag::OnMotion(wxMouseEvent& event) {
  event.Skip();
  if (!dragging_ || !event.LeftIsDown()) return;
  if (wxWindow* top = wxGetTopLevelParent(surface_))
    top->Move(wxGetMousePosition() - grabOffset_);
}

void BackgroundDrag::OnLeftUp(wxMouseEvent& event) {
  event.Skip();
  Stop();
}

void BackgroundDrag::OnCaptureLost(wxMouseCaptureLostEvent&) { dragging_ = false; }

void BackgroundDrag::Stop() {
  dragging_ = false;
  if (surface_->HasCapture()) surface_->ReleaseMouse();
}
