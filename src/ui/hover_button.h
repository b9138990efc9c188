#pragma once
// The three-state bitmap push button every skinned window uses. It draws its
// normal, hover or click bitmap stretched over its whole area and sends the
// ordinary button command (wxEVT_BUTTON with its id) to its parent on a click,
// whether or not any bitmap loaded.
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
  const wxBitmap& BitmapFor(HoverFace face) const;

  HoverState state_;
  wxBitmap normal_, hover_, click_;

  wxDECLARE_EVENT_TABLE();
};

// Loads a BMP file quietly: an invalid bitmap when the file is missing or
// corrupt, never a message box or log window.
wxBitmap LoadSkinBitmap(const std::string& path);
