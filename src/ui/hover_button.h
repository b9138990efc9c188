#pragma once
// The three-state bitmap push button every skinned window uses. It draws its
// normal, hover or click bitmap stretched over its whole area and sends the
// ordinary button command (wxEVT_BUTTON with its id) to its parent on a click,
// whether or not any bitmap loaded. A button that fills a caption-less window
// can also drag that window (EnableWindowDrag).
#include <wx/bitmap.h>
#include <wx/control.h>

#include <string>

#include "ui/hover_state.h"

class CHoverButton : public wxControl {
 public:
  CHoverButton(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
               const wxSize& size);

  // Replaces all three bitmaps with the files at these full paths. A file that
  // is missing or unreadable leaves that state without a picture. Returns true.
  bool LoadBitmaps(const std::string& normalPath, const std::string& hoverPath,
                   const std::string& clickPath);
  // Convenience: skinFolder + name + "_normal.bmp" / "_hover.bmp" / "_click.bmp".
  bool LoadSkin(const std::string& skinFolder, const std::string& name);

  // Creates the tool tip on first use; `activate` false hides it.
  void SetToolTipText(const wxString& text, bool activate);

  // When on, pressing the button and moving the pointer further than the
  // desktop's drag threshold moves the button's top-level window with the
  // pointer, and that release is no click. Off by default.
  void EnableWindowDrag(bool on) { windowDrag_ = on; }

  HoverFace face() const { return state_.Face(); }
  bool HasFaceBitmap(HoverFace face) const;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnEnter(wxMouseEvent& event);
  void OnLeave(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void SendClick();
  // Follows the pointer with the top-level window once the press has moved
  // far enough to be a drag; true while the press is a drag.
  bool DragWindow();
  const wxBitmap& BitmapFor(HoverFace face) const;

  HoverState state_;
  wxBitmap normal_, hover_, click_;
  bool windowDrag_ = false;
  bool draggingWindow_ = false;  // the current press has become a drag
  wxPoint pressPointer_;         // screen position of the pointer at the press
  wxPoint grabOffset_;           // the pointer's place in the top-level window then

  wxDECLARE_EVENT_TABLE();
};

// Loads a BMP file quietly: an invalid bitmap when the file is missing or
// corrupt, never a message box or log window.
wxBitmap LoadSkinBitmap(const std::string& path);
