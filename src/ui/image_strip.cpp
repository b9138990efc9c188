#include "ui/image_strip.h"

#include <wx/image.h>

#include "ui/hover_button.h"

namespace ui {

std::vector<wxBitmap> LoadImageStrip(const std::string& path, int imageWidth, const wxColour& key) {
  std::vector<wxBitmap> out;
  wxBitmap strip = LoadSkinBitmap(path);
  if (!strip.IsOk() || imageWidth <= 0) return out;
  for (int x = 0; x + imageWidth <= strip.GetWidth(); x += imageWidth) {
    wxBitmap image = strip.GetSubBitmap(wxRect(x, 0, imageWidth, strip.GetHeight()));
    ApplyKeyColour(image, key);
    out.push_back(image);
  }
  return out;
}

void ApplyKeyColour(wxBitmap& bitmap, const wxColour& key, bool fromPixel, int x, int y) {
  if (!bitmap.IsOk()) return;
  wxColour colour = key;
  if (fromPixel) {
    wxImage image = bitmap.ConvertToImage();
    if (x >= 0 && y >= 0 && x < image.GetWidth() && y < image.GetHeight())
      colour = wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
  }
  bitmap.SetMask(new wxMask(bitmap, colour));
}

}  // namespace ui
