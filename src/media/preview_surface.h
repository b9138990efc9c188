#pragma once
// Shows planar YUV 4:2:0 pictures inside a native child window: one YV12
// overlay of the display size, each picture scaled to it bicubically.
//
// The display layer keeps one video surface per process, so only one
// CPreviewSurface is live at a time; windows take turns (Release one before
// another Creates). Create and Release run on the window's thread; ShowFrame
// may run on a player thread while the window's main loop goes on, and is
// serialised with Create and Release.
#include <cstdint>
#include <memory>

namespace media {

class PreviewSurfaceImpl;

class CPreviewSurface {
 public:
  CPreviewSurface();
  ~CPreviewSurface();  // releases
  CPreviewSurface(const CPreviewSurface&) = delete;
  CPreviewSurface& operator=(const CPreviewSurface&) = delete;

  // `nativeWindow` is the X window id of the child window to draw in. 1 on
  // success, 0 on failure (the member is then left as it was).
  int Create(unsigned long nativeWindow, int sourceWidth, int sourceHeight, int displayWidth,
             int displayHeight);
  // `picture`: Y (width x height), then U, then V (each w/2 x h/2), of the
  // source size given to Create. A picture of another size is scaled from
  // its own size (the scaler is rebuilt), so a caller that got the size
  // wrong never makes the surface read past the picture. Draws nothing on a
  // member whose set-up failed. Always 1.
  int ShowFrame(const uint8_t* picture, int width, int height);
  // Presents the picture last shown once more (after the toolkit painted
  // over it): 1 when there was one, 0 otherwise.
  int Redraw();
  // Always 1; harmless on a member that was never set up.
  int Release();
  bool live() const;

 private:
  std::unique_ptr<PreviewSurfaceImpl> impl_;
};

}  // namespace media
