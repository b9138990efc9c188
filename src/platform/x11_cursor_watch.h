#pragma once
// Changes of the pointer's shape anywhere on the desktop, as the server
// reports them (XFixes cursor notify), watched on a thread of its own.
#include <functional>
#include <memory>

namespace platform {

class CursorShapeWatch {
 public:
  // Gets the shape's serial number, the shape's identity on this desktop.
  using Handler = std::function<void(unsigned long serial)>;

  // Null when there is no display or it cannot report shape changes. The
  // handler runs on the watch's thread: once at once with the shape in use,
  // then after every change, until the watch is destroyed.
  static std::unique_ptr<CursorShapeWatch> Start(Handler handler);
  // Stops the thread and waits for it; the handler is not called afterwards.
  ~CursorShapeWatch();
  CursorShapeWatch(const CursorShapeWatch&) = delete;
  CursorShapeWatch& operator=(const CursorShapeWatch&) = delete;

  struct Impl;

 private:
  explicit CursorShapeWatch(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
