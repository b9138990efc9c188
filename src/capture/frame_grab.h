#pragma once
// One grab of the capture loop with the marker flashing around it: pale
// yellow while the picture is taken, red between pictures.
#include <cstdint>
#include <mutex>
#include <optional>

#include "capture/frame.h"
#include "capture/geometry.h"
#include "platform/screen_grabber.h"

namespace capture {

inline constexpr uint32_t kMarkerGrabbingColour = 0xFFFFB4;  // RGB(255, 255, 180)
inline constexpr uint32_t kMarkerIdleColour = 0xFF0050;      // RGB(255, 0, 80)

// `markerWindow` is the marker's server window id, 0 when the marker is off.
// The probe grab (the one that sizes the stream before recording) leaves the
// marker alone. `Picture` is a Frame or a BgrxView, as ScreenGrabber::Grab
// takes them.
template <class Picture>
bool GrabFrame(ScreenGrabber& grabber, unsigned long markerWindow, int x, int y, int width,
               int height, bool probe, Picture& out) {
  const bool flash = markerWindow != 0 && !probe;
  if (flash) grabber.PaintWindow(markerWindow, kMarkerGrabbingColour);
  const bool ok = grabber.Grab(x, y, width, height, out);
  if (flash) grabber.PaintWindow(markerWindow, kMarkerIdleColour);
  return ok;
}

// The marker's move, handed from the user-interface thread (which publishes
// it when a drag ends) to the capture thread (which takes it before a grab).
class PublishedMove {
 public:
  // User-interface thread.
  void Publish(const ScreenRect& moved) {
    std::lock_guard lock(mutex_);
    rect_ = moved;
    moved_ = true;
  }
  // Capture thread: the new top-left corner once per published move.
  std::optional<Point> Take() {
    std::lock_guard lock(mutex_);
    if (!moved_) return std::nullopt;
    moved_ = false;
    return Point{rect_.left, rect_.top};
  }

 private:
  std::mutex mutex_;
  ScreenRect rect_;
  bool moved_ = false;
};

}  // namespace capture
