#pragma once
// The column header of the skinned list, drawn entirely by the program: a
// stretched background bitmap, per item an optional image (the select-all
// check box lives there) and the title, with a highlight and shadow line as
// separator. A click on an item is handed to the owning list.
#include <wx/bitmap.h>
#include <wx/window.h>

#include <functional>
#include <string>
#include <vector>

class CSkinHeaderCtrl : public wxWindow {
 public:
  struct Item {
    wxString text;
    int width = 0;
    int align = wxALIGN_LEFT;  // wxALIGN_LEFT, wxALIGN_CENTER_HORIZONTAL or wxALIGN_RIGHT
    int image = -1;            // index into the header images, -1 none
    bool imageOnRight = false;
  };

  CSkinHeaderCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  void InsertItem(int index, const Item& item);
  int GetItemCount() const { return static_cast<int>(items_.size()); }
  const Item& GetItem(int index) const { return items_.at(index); }
  void SetItemImage(int index, int image);
  // Left edge of an item in header pixels.
  int ItemLeft(int index) const;
  // The item under an x coordinate, -1 for none.
  int HitTest(int x) const;

  // Column check box through the item's image: -1 none, 0 unchecked, 1 checked.
  int GetCheck(int index) const;
  void SetCheck(int index, int state);

  // False (and no background) when the file cannot be loaded.
  bool SetBackgroundBitmap(const std::string& path);
  // Header images: a strip of pictures `imageWidth` wide masked by `key`.
  bool SetImageStrip(const std::string& path, int imageWidth, const wxColour& key);
  void SetTextColour(const wxColour& colour) { textColour_ = colour; }
  void SetHeaderFont(const wxFont& font) { font_ = font; }

  // Called with the item index when an item is clicked.
  void SetOnItemClick(std::function<void(int)> onClick) { onItemClick_ = std::move(onClick); }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);

  std::vector<Item> items_;
  wxBitmap background_;
  std::vector<wxBitmap> images_;
  wxColour highlight_, face_, shadow_;
  wxColour textColour_{70, 70, 70};
  wxFont font_;
  std::function<void(int)> onItemClick_;
  static constexpr int kGap = 6;  // between the image and the text
};
