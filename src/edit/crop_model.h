#pragma once
// The crop and zoom tool's rules, without a window: the presets, the edges
// as pixel texts of the recording and back, the mouse's hit tests and drags
// on the 320 x 240 preview. Whatever is typed, dragged or read from a
// record, the rectangle stays inside the picture and at least kMinCropSize
// units wide and high.
#include <array>
#include <cstdint>
#include <string>

#include "edit/crop_hook.h"

namespace edit {

// What a recording's record keeps of the tool, edges in reference units.
// A fresh record is all zeros and means the whole picture.
struct CropRecord {
  int32_t cropLeft = 0, cropTop = 0, cropRight = 0, cropBottom = 0, cropMode = 0, zoom = 0;
};

// Crop modes, the entries of the crop list in this order.
enum CropMode : int { kNoCrop = 0, kCutOffAll = 1, kCutOffTopBottom = 2, kCutOffLeftRight = 3 };
inline constexpr int kCropModeCount = 4;
inline constexpr int kZoomModeCount = 3;  // "Letterbox", "Pan and scan", "Full Screen"
const std::array<const char*, kCropModeCount>& CropModeNames();
const std::array<const char*, kZoomModeCount>& ZoomModeNames();

// Smallest kept width and height, in reference units.
inline constexpr int kMinCropSize = 10;
// How far inside the picture's border a drag may take the rectangle.
inline constexpr int kDragMargin = 10;
// How near (pixels) the pointer must be to an edge or corner to grab it.
inline constexpr int kGrabDistance = 2;
// A move drag ignores smaller jitter than this (|dx| + |dy|, pixels) so a
// click inside the rectangle does not nudge it.
inline constexpr int kMoveThreshold = 4;

CropRect PresetRect(int cropMode);
// Inside the picture and at least kMinCropSize each way, changing as little
// as it can: left and top are kept where they may be, then right and bottom.
CropRect Sanitised(CropRect rect);
bool operator==(const CropRect& a, const CropRect& b);

enum class Edge { Top, Bottom, Left, Right };

// Where the pointer is over the rectangle, in preview pixels.
enum class Spot { None, Inside, TopLeft, TopRight, BottomLeft, BottomRight, Top, Bottom, Left, Right };
Spot HitTest(const CropRect& rect, int x, int y);

enum class CursorKind { Arrow, SizeNwSe, SizeNeSw, SizeNs, SizeWe, Move };
CursorKind CursorFor(Spot spot);

// Drag modes: 0 none, 1 move, 2-5 top, bottom, left, right edge, 6-9
// top-left, top-right, bottom-left, bottom-right corner.
enum DragMode : int {
  kDragNone = 0, kDragMove, kDragTop, kDragBottom, kDragLeft, kDragRight,
  kDragTopLeft, kDragTopRight, kDragBottomLeft, kDragBottomRight
};
int DragModeFor(Spot spot);

// The text an edge shows: its place in the recording's pixels.
std::string PixelText(const CropRect& rect, Edge edge, int sourceWidth, int sourceHeight);

// The tool's state for one run of the dialog.
class CropModel {
 public:
  // `record` null: no recording selected. A source size of 0 (no picture)
  // counts as the reference size, so the texts stay meaningful.
  CropModel(const CropRecord* record, int sourceWidth, int sourceHeight);

  const CropRect& rect() const { return rect_; }
  int cropMode() const { return cropMode_; }
  int zoom() const { return zoom_; }
  int sourceWidth() const { return sourceWidth_; }
  int sourceHeight() const { return sourceHeight_; }
  bool mouseEditing() const { return cropMode_ != kNoCrop; }

  void ChoosePreset(int cropMode);
  void SetZoom(int zoom);
  void Reset();
  // An edge typed or stepped as pixel text. Text that holds no number
  // leaves the edge where it was; any number is taken, kept in the picture
  // and kMinCropSize from the opposite edge. The mode becomes "No crop"
  // when that edge ends on the picture's border, "Cut off all" otherwise.
  void SetEdgeText(Edge edge, const std::string& text);
  std::string Text(Edge edge) const;
  // The largest pixel value an edge's up-down offers.
  int PixelRange(Edge edge) const;

  CropRecord ToRecord() const;

  // Mouse, in preview pixels. Press: true when it grabs the rectangle
  // (false: the press belongs to the window, e.g. to move it).
  bool Press(int x, int y);
  // True when the rectangle changed (a step was applied).
  bool DragTo(int x, int y);
  void Release() { dragMode_ = kDragNone; }
  int dragMode() const { return dragMode_; }
  CursorKind CursorAt(int x, int y) const;

 private:
  void Move(int dx, int dy);
  void DragEdges(int dx, int dy);

  CropRect rect_;
  int cropMode_ = kNoCrop;
  int zoom_ = 0;
  int sourceWidth_, sourceHeight_;
  int dragMode_ = kDragNone;
  int anchorX_ = 0, anchorY_ = 0;
  int dragWidth_ = 0, dragHeight_ = 0;
};

}  // namespace edit
