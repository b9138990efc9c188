#pragma once
// What every edit dialog shares: a caption-less window with rounded top
// corners, centred on its parent, painted from a skin background with texts
// drawn on it, skinned buttons, and moved by dragging its background. The
// dialogs build on it and keep their own state.
#include <wx/dialog.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit/dialogs/dialog_layout.h"

class BackgroundDrag;
class CHoverButton;

namespace edit {

// A text painted on the background, in the skin's Arial-like face.
struct DrawnLabel {
  wxString text;
  wxPoint at;            // top-left corner, client pixels
  int pixelHeight = 16;  // character cell height
  bool bold = false;
  wxColour colour{0x19, 0x19, 0x19};
};

class SkinnedDialog : public wxDialog {
 public:
  // `skinFolder` is the dialogs' skin folder (the program's "skin/little/"),
  // `background` a file in it. The window is `size` and rounded at the top.
  SkinnedDialog(wxWindow* parent, const wxString& title, const wxSize& size,
                std::string skinFolder, const std::string& background);
  ~SkinnedDialog() override;

  const std::string& skinFolder() const { return skinFolder_; }

  // A skinned button: `skinName` + "_normal.bmp" / "_hover.bmp" / "_click.bmp"
  // from the skin folder; a click arrives as wxEVT_BUTTON with `id`.
  CHoverButton* AddButton(int id, const std::string& skinName, const wxRect& rect);
  // The transport, Reset, OK, Cancel and close buttons at the places every
  // preview dialog shares.
  void AddPreviewButtons(const layout::PreviewButtonIds& ids);
  void AddLabel(DrawnLabel label);
  // The background and its texts, in client coordinates: what controls
  // with see-through parts show behind them.
  void PaintSkin(wxDC& dc) const;

  // Escape closes the dialog as Cancel unless swallowed.
  void SetEscapeSwallowed(bool on) { escapeSwallowed_ = on; }
  // Return means OK when set (the settings dialog).
  void SetEnterAccepts(bool on) { enterAccepts_ = on; }

  // What OK, Cancel and the close button do; each ends the modal run itself
  // (EndModal) or by calling Finish. A window-manager close runs `cancel`.
  void SetCloseActions(std::function<void()> ok, std::function<void()> cancel);
  // Ends the dialog with wxID_OK or wxID_CANCEL, modal or not.
  void Finish(int result);

  // While locked, the buttons that close the dialog are disabled and a
  // window-manager close is refused (the preview is setting up).
  void LockClosing(std::vector<int> closeButtonIds);
  void UnlockClosing();
  bool closingLocked() const { return closingLocked_; }

 protected:
  void OnPaint(wxPaintEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnCloseWindow(wxCloseEvent& event);

 private:
  void ApplyShape();

  std::string skinFolder_;
  wxBitmap background_;
  std::vector<DrawnLabel> labels_;
  std::unique_ptr<BackgroundDrag> drag_;
  std::function<void()> ok_, cancel_;
  std::vector<int> closeButtons_;
  bool closingLocked_ = false;
  bool escapeSwallowed_ = false;
  bool enterAccepts_ = false;
  bool finished_ = false;
};

}  // namespace edit
