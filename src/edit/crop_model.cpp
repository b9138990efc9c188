#include "edit/crop_model.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace edit {
namespace {

// Right-most bound first so that a rectangle too small for the margins
// still never inverts: the kMinCropSize rule always wins.
int Bound(int value, int low, int high) { return std::min(std::max(value, low), high); }

std::optional<long long> LeadingNumber(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin) return std::nullopt;
  if (errno == ERANGE) return value < 0 ? 0 : (1LL << 40);  // far out either way
  return value;
}

bool IsHorizontal(Edge edge) { return edge == Edge::Left || edge == Edge::Right; }

// Where a move may take one axis of a rectangle `size` long: the drag
// margins, or, for one too wide for them, anywhere inside the picture.
int MoveAxis(int start, int delta, int size, int extent) {
  int low = kDragMargin, high = extent - kDragMargin - size;
  if (high < low) {
    low = 0;
    high = extent - size;
  }
  return std::clamp(start + delta, low, high);
}

}  // namespace

const std::array<const char*, kCropModeCount>& CropModeNames() {
  static const std::array<const char*, kCropModeCount> names = {
      "No crop", "Cut off all", "Cut off top and bottom", "Cut off left and right"};
  return names;
}

const std::array<const char*, kZoomModeCount>& ZoomModeNames() {
  static const std::array<const char*, kZoomModeCount> names = {"Letterbox", "Pan and scan",
                                                                "Full Screen"};
  return names;
}

CropRect PresetRect(int cropMode) {
  switch (cropMode) {
    case kCutOffAll: return {40, 30, 280, 210};
    case kCutOffTopBottom: return {0, 30, 320, 210};
    case kCutOffLeftRight: return {40, 0, 280, 240};
    default: return {};
  }
}

CropRect Sanitised(CropRect r) {
  r.left = std::clamp(r.left, 0, kReferenceWidth - kMinCropSize);
  r.top = std::clamp(r.top, 0, kReferenceHeight - kMinCropSize);
  r.right = std::clamp(r.right, r.left + kMinCropSize, kReferenceWidth);
  r.bottom = std::clamp(r.bottom, r.top + kMinCropSize, kReferenceHeight);
  return r;
}

bool operator==(const CropRect& a, const CropRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

Spot HitTest(const CropRect& r, int x, int y) {
  const auto near = [](int a, int b) { return std::abs(a - b) <= kGrabDistance; };
  if (near(x, r.left) && near(y, r.top)) return Spot::TopLeft;
  if (near(x, r.right) && near(y, r.bottom)) return Spot::BottomRight;
  if (near(x, r.right) && near(y, r.top)) return Spot::TopRight;
  if (near(x, r.left) && near(y, r.bottom)) return Spot::BottomLeft;
  const bool alongX = x > r.left && x < r.right, alongY = y > r.top && y < r.bottom;
  if (near(y, r.top) && alongX) return Spot::Top;
  if (near(y, r.bottom) && alongX) return Spot::Bottom;
  if (near(x, r.left) && alongY) return Spot::Left;
  if (near(x, r.right) && alongY) return Spot::Right;
  if (x > r.left + kGrabDistance && x < r.right - kGrabDistance && y > r.top + kGrabDistance &&
      y < r.bottom - kGrabDistance)
    return Spot::Inside;
  return Spot::None;
}

CursorKind CursorFor(Spot spot) {
  switch (spot) {
    case Spot::TopLeft: case Spot::BottomRight: return CursorKind::SizeNwSe;
    case Spot::TopRight: case Spot::BottomLeft: return CursorKind::SizeNeSw;
    case Spot::Top: case Spot::Bottom: return CursorKind::SizeNs;
    case Spot::Left: case Spot::Right: return CursorKind::SizeWe;
    case Spot::Inside: return CursorKind::Move;
    case Spot::None: break;
  }
  return CursorKind::Arrow;
}

int DragModeFor(Spot spot) {
  switch (spot) {
    case Spot::TopLeft: return kDragTopLeft;
    case Spot::BottomRight: return kDragBottomRight;
    case Spot::TopRight: return kDragTopRight;
    case Spot::BottomLeft: return kDragBottomLeft;
    case Spot::Top: return kDragTop;
    case Spot::Bottom: return kDragBottom;
    case Spot::Left: return kDragLeft;
    case Spot::Right: return kDragRight;
    case Spot::Inside: return kDragMove;
    case Spot::None: break;
  }
  return kDragNone;
}

std::string PixelText(const CropRect& r, Edge edge, int sourceWidth, int sourceHeight) {
  const int64_t w = sourceWidth, h = sourceHeight;
  switch (edge) {
    case Edge::Top: return std::to_string(r.top * h / kReferenceHeight);
    case Edge::Bottom: return std::to_string(r.bottom * h / kReferenceHeight);
    case Edge::Left: return std::to_string(r.left * w / kReferenceWidth);
    case Edge::Right: return std::to_string(r.right * w / kReferenceWidth);
  }
  return {};
}

CropModel::CropModel(const CropRecord* record, int sourceWidth, int sourceHeight)
    : sourceWidth_(sourceWidth > 0 ? sourceWidth : kReferenceWidth),
      sourceHeight_(sourceHeight > 0 ? sourceHeight : kReferenceHeight) {
  if (!record) return;
  const CropRecord& r = *record;
  // A fresh record has never been through the tool: the whole picture.
  const bool fresh = !r.cropLeft && !r.cropTop && !r.cropRight && !r.cropBottom;
  rect_ = fresh ? CropRect{} : Sanitised({r.cropLeft, r.cropTop, r.cropRight, r.cropBottom});
  cropMode_ = r.cropMode >= 0 && r.cropMode < kCropModeCount ? r.cropMode : kNoCrop;
  zoom_ = r.zoom >= 0 && r.zoom < kZoomModeCount ? r.zoom : 0;
}

void CropModel::ChoosePreset(int cropMode) {
  if (cropMode < 0 || cropMode >= kCropModeCount) return;
  cropMode_ = cropMode;
  rect_ = PresetRect(cropMode);
}

void CropModel::SetZoom(int zoom) {
  if (zoom >= 0 && zoom < kZoomModeCount) zoom_ = zoom;
}

void CropModel::Reset() {
  rect_ = {};
  cropMode_ = kNoCrop;
  zoom_ = 0;
  dragMode_ = kDragNone;
}

int CropModel::PixelRange(Edge edge) const {
  return IsHorizontal(edge) ? sourceWidth_ : sourceHeight_;
}

std::string CropModel::Text(Edge edge) const {
  return PixelText(rect_, edge, sourceWidth_, sourceHeight_);
}

void CropModel::SetEdgeText(Edge edge, const std::string& text) {
  const std::optional<long long> typed = LeadingNumber(text);
  if (!typed) return;
  // Clamped to the picture before scaling, so no value can overflow.
  const int64_t pixels = std::clamp<long long>(*typed, 0, PixelRange(edge));
  bool onBorder = false;
  switch (edge) {
    case Edge::Top:
      rect_.top = Bound(static_cast<int>(pixels * kReferenceHeight / sourceHeight_), 0,
                        rect_.bottom - kMinCropSize);
      onBorder = rect_.top == 0;
      break;
    case Edge::Bottom:
      rect_.bottom = std::clamp(static_cast<int>(pixels * kReferenceHeight / sourceHeight_),
                                rect_.top + kMinCropSize, kReferenceHeight);
      onBorder = rect_.bottom == kReferenceHeight;
      break;
    case Edge::Left:
      rect_.left = Bound(static_cast<int>(pixels * kReferenceWidth / sourceWidth_), 0,
                         rect_.right - kMinCropSize);
      onBorder = rect_.left == 0;
      break;
    case Edge::Right:
      rect_.right = std::clamp(static_cast<int>(pixels * kReferenceWidth / sourceWidth_),
                               rect_.left + kMinCropSize, kReferenceWidth);
      onBorder = rect_.right == kReferenceWidth;
      break;
  }
  cropMode_ = onBorder ? kNoCrop : kCutOffAll;
}

CropRecord CropModel::ToRecord() const {
  return {rect_.left, rect_.top, rect_.right, rect_.bottom, cropMode_, zoom_};
}

bool CropModel::Press(int x, int y) {
  dragMode_ = mouseEditing() ? DragModeFor(HitTest(rect_, x, y)) : kDragNone;
  if (dragMode_ == kDragNone) return false;
  anchorX_ = x;
  anchorY_ = y;
  dragWidth_ = rect_.right - rect_.left;
  dragHeight_ = rect_.bottom - rect_.top;
  return true;
}

bool CropModel::DragTo(int x, int y) {
  if (dragMode_ == kDragNone) return false;
  const int dx = x - anchorX_, dy = y - anchorY_;
  if (dragMode_ == kDragMove) {
    if (std::abs(dx) + std::abs(dy) <= kMoveThreshold) return false;
    Move(dx, dy);
  } else {
    DragEdges(dx, dy);
  }
  anchorX_ = x;
  anchorY_ = y;
  return true;
}

CursorKind CropModel::CursorAt(int x, int y) const {
  return mouseEditing() ? CursorFor(HitTest(rect_, x, y)) : CursorKind::Arrow;
}

void CropModel::Move(int dx, int dy) {
  rect_.left = MoveAxis(rect_.left, dx, dragWidth_, kReferenceWidth);
  rect_.top = MoveAxis(rect_.top, dy, dragHeight_, kReferenceHeight);
  rect_.right = rect_.left + dragWidth_;
  rect_.bottom = rect_.top + dragHeight_;
}

void CropModel::DragEdges(int dx, int dy) {
  const int m = dragMode_;
  const bool top = m == kDragTop || m == kDragTopLeft || m == kDragTopRight;
  const bool bottom = m == kDragBottom || m == kDragBottomLeft || m == kDragBottomRight;
  const bool left = m == kDragLeft || m == kDragTopLeft || m == kDragBottomLeft;
  const bool right = m == kDragRight || m == kDragTopRight || m == kDragBottomRight;
  if (top) rect_.top = Bound(rect_.top + dy, kDragMargin, rect_.bottom - kMinCropSize);
  if (bottom)
    rect_.bottom = std::max(std::min(rect_.bottom + dy, kReferenceHeight - kDragMargin),
                            rect_.top + kMinCropSize);
  if (left) rect_.left = Bound(rect_.left + dx, kDragMargin, rect_.right - kMinCropSize);
  if (right)
    rect_.right = std::max(std::min(rect_.right + dx, kReferenceWidth - kDragMargin),
                           rect_.left + kMinCropSize);
}

}  // namespace edit
