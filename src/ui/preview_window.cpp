#include "ui/preview_window.h"

#include <wx/dcclient.h>

#include "platform/native_window.h"

PreviewWindow::PreviewWindow(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size, const wxBitmap& idle)
    : wxWindow(parent, id, pos, size, wxBORDER_NONE), idle_(idle) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &PreviewWindow::OnPaint, this);
}

unsigned long PreviewWindow::NativeId() {
  if (!nativeId_) nativeId_ = platform::MakeNativeWindow(GetHandle());
  return nativeId_;
}

void PreviewWindow::OnPaint(wxPaintEvent&) {
  {
    wxPaintDC dc(this);
    if (!showsPicture_) {
      dc.SetBackground(*wxBLACK_BRUSH);
      dc.Clear();
      if (idle_.IsOk()) dc.DrawBitmap(idle_, 0, 0, false);
    }
  }
  // The toolkit copies its paint to the window once this handler returns,
  // over whatever was drawn meanwhile: the picture comes back after that.
  if (redraw_) CallAfter(&PreviewWindow::AfterPaint);
}

void PreviewWindow::AfterPaint() {
  const bool had = showsPicture_;
  showsPicture_ = redraw_ && redraw_();
  // The picture went away since the last paint: show the idle one.
  if (had && !showsPicture_) Refresh(false);
}
