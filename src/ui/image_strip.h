#pragma once
// Image lists of the skinned controls: a strip bitmap cut into equal square
// pictures, each masked by a key colour.
#include <wx/bitmap.h>
#include <wx/colour.h>

#include <string>
#include <vector>

namespace ui {

// Cuts the BMP file at `path` into pictures `imageWidth` wide (the strip's
// height tall); pixels of `key` become transparent. Empty when the file is
// missing or unreadable.
std::vector<wxBitmap> LoadImageStrip(const std::string& path, int imageWidth, const wxColour& key);

// Builds a mask from the key colour; with `fromPixel` the key is the colour of
// the bitmap's pixel at (x, y) instead.
void ApplyKeyColour(wxBitmap& bitmap, const wxColour& key, bool fromPixel = false, int x = 0,
                    int y = 0);

}  // namespace ui
