// The screen grabber over Xlib: MIT-SHM grabs of the root window (XGetImage
// when shared memory is not available), the pointer image from XFixes laid
// over the server's image in place, and painting the marker window.
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xfixes.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "capture/pixel_pipeline.h"
#include "platform/screen_grabber.h"
#include "platform/x11_internal.h"

namespace capture {
namespace {

using platform::x11::DisplayPtr;
using platform::x11::ErrorTrap;

struct XFreeDeleter {
  void operator()(void* p) const { XFree(p); }
};
using CursorImagePtr = std::unique_ptr<XFixesCursorImage, XFreeDeleter>;

struct ImageDestroyer {
  void operator()(XImage* image) const { XDestroyImage(image); }
};
using ImagePtr = std::unique_ptr<XImage, ImageDestroyer>;

// One shared-memory image of a fixed size, attached to the server.
class ShmImage {
 public:
  static std::unique_ptr<ShmImage> Create(Display* display, int width, int height) {
    auto self = std::unique_ptr<ShmImage>(new ShmImage(display));
    Screen* screen = DefaultScreenOfDisplay(display);
    self->image_ = XShmCreateImage(display, DefaultVisualOfScreen(screen),
                                   DefaultDepthOfScreen(screen), ZPixmap, nullptr, &self->info_,
                                   width, height);
    if (!self->image_) return nullptr;
    const size_t bytes = static_cast<size_t>(self->image_->bytes_per_line) * height;
    self->info_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (self->info_.shmid < 0) return nullptr;
    self->info_.shmaddr = static_cast<char*>(shmat(self->info_.shmid, nullptr, 0));
    // Marked for removal at once: the segment lives until both sides detach,
    // so a crash cannot leak it.
    shmctl(self->info_.shmid, IPC_RMID, nullptr);
    if (self->info_.shmaddr == reinterpret_cast<char*>(-1)) {
      self->info_.shmaddr = nullptr;
      return nullptr;
    }
    self->image_->data = self->info_.shmaddr;
    self->info_.readOnly = False;
    // A server that cannot reach the segment (another host, another user's
    // limits) refuses the attach with an error, not with the status.
    ErrorTrap trap(display);
    Status ok = XShmAttach(display, &self->info_);
    if (!ok || trap.Failed()) return nullptr;
    self->attached_ = true;
    return self;
  }

  ~ShmImage() {
    if (attached_) {
      XShmDetach(display_, &info_);
      XSync(display_, False);
    }
    if (image_) {
      image_->data = nullptr;  // the segment is not the image's to free
      XDestroyImage(image_);
    }
    if (info_.shmaddr) shmdt(info_.shmaddr);
  }
  ShmImage(const ShmImage&) = delete;
  ShmImage& operator=(const ShmImage&) = delete;

  XImage* image() const { return image_; }
  int width() const { return image_->width; }
  int height() const { return image_->height; }

 private:
  explicit ShmImage(Display* display) : display_(display) { info_.shmaddr = nullptr; }

  Display* display_;
  XShmSegmentInfo info_{};
  XImage* image_ = nullptr;
  bool attached_ = false;
};

bool IsPlainBgrx(const XImage& image) {
  return image.bits_per_pixel == 32 && image.byte_order == LSBFirst &&
         image.red_mask == 0xff0000 && image.green_mask == 0xff00 && image.blue_mask == 0xff;
}

int MaskShift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

uint8_t MaskedChannel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  const unsigned long max = mask >> MaskShift(mask);
  return static_cast<uint8_t>(((pixel & mask) >> MaskShift(mask)) * 255 / max);
}

// Copies a server image of width x height into `to` with its top-left corner
// at (atX, atY): row by row when it is BGRX already, else pixel by pixel
// (slow, but correct on odd servers).
void CopyIntoBgrx(XImage& image, int width, int height, const BgrxView& to, int atX, int atY) {
  for (int y = 0; y < height; ++y) {
    uint8_t* out = to.Row(atY + y) + static_cast<size_t>(atX) * 4;
    if (IsPlainBgrx(image)) {
      std::memcpy(out, image.data + static_cast<size_t>(y) * image.bytes_per_line,
                  static_cast<size_t>(width) * 4);
      continue;
    }
    for (int x = 0; x < width; ++x, out += 4) {
      const unsigned long p = XGetPixel(&image, x, y);
      out[0] = MaskedChannel(p, image.blue_mask);
      out[1] = MaskedChannel(p, image.green_mask);
      out[2] = MaskedChannel(p, image.red_mask);
      out[3] = 0;
    }
  }
}

class X11ScreenGrabber final : public ScreenGrabber {
 public:
  X11ScreenGrabber(DisplayPtr display, const GrabberOptions& options)
      : display_(std::move(display)), options_(options) {
    root_ = DefaultRootWindow(display_.get());
    Screen* screen = DefaultScreenOfDisplay(display_.get());
    size_ = {WidthOfScreen(screen), HeightOfScreen(screen)};
    int major = 0, minor = 0;
    Bool pixmaps = False;
    useShm_ = options.allowSharedMemory && XShmQueryExtension(display_.get()) &&
              XShmQueryVersion(display_.get(), &major, &minor, &pixmaps);
    int eventBase = 0, errorBase = 0;
    hasXFixes_ = XFixesQueryExtension(display_.get(), &eventBase, &errorBase);
    if (hasXFixes_) XFixesQueryVersion(display_.get(), &major, &minor);
  }

  bool Grab(int x, int y, int width, int height, Frame& out) override {
    BgrxView picture;
    if (!Grab(x, y, width, height, picture)) return false;
    out.Reset(width, height);
    CopyBgrxToFrame(picture.data, picture.stride, width, height, out, 0, 0);
    return true;
  }

  bool Grab(int x, int y, int width, int height, BgrxView& out) override {
    // Only the on-screen part is requested: the server rejects areas outside
    // the root window, and such an error would end the process.
    const int gx0 = std::max(x, 0), gy0 = std::max(y, 0);
    const int gx1 = std::min(x + width, size_.width), gy1 = std::min(y + height, size_.height);
    const bool partial = gx0 != x || gy0 != y || gx1 != x + width || gy1 != y + height;
    XImage* image = nullptr;
    if (gx1 > gx0 && gy1 > gy0) {
      image = GrabArea(gx0, gy0, gx1 - gx0, gy1 - gy0);
      if (!image) return false;
    }
    if (image && !partial && IsPlainBgrx(*image)) {
      // The common case: the server's image is the picture, used in place.
      out = {reinterpret_cast<uint8_t*>(image->data), static_cast<size_t>(image->bytes_per_line),
             width, height};
    } else {
      canvas_.assign(static_cast<size_t>(width) * height * 4, 0);  // off screen is black
      out = {canvas_.data(), static_cast<size_t>(width) * 4, width, height};
      if (image) CopyIntoBgrx(*image, gx1 - gx0, gy1 - gy0, out, gx0 - x, gy0 - y);
    }
    if (options_.showCursor) DrawCursor(x, y, out);
    return true;
  }

  ScreenSize screenSize() const override { return size_; }
  bool usesSharedMemory() const override { return useShm_; }

  void PaintWindow(unsigned long window, uint32_t rgb) override {
    if (!window) return;
    // The marker may close under a running grab; then there is nothing to
    // paint, and the trap's sync is what puts the paint on the server.
    ErrorTrap trap(display_.get());
    XSetWindowBackground(display_.get(), window, PixelFor(rgb));
    XClearWindow(display_.get(), window);
    trap.Failed();
  }

 private:
  // The on-screen area in the server's own layout, held until the next grab;
  // null when the server refused the request.
  XImage* GrabArea(int x, int y, int width, int height) {
    if (useShm_) {
      if (!shm_ || shm_->width() != width || shm_->height() != height) {
        shm_.reset();
        shm_ = ShmImage::Create(display_.get(), width, height);
        if (!shm_) useShm_ = false;  // fall back for the rest of this grabber's life
      }
      ErrorTrap trap(display_.get());
      if (shm_ && XShmGetImage(display_.get(), root_, shm_->image(), x, y, AllPlanes) &&
          !trap.Failed())
        return shm_->image();
    }
    ErrorTrap trap(display_.get());
    protocolImage_.reset(XGetImage(display_.get(), root_, x, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), AllPlanes, ZPixmap));
    if (trap.Failed()) protocolImage_.reset();
    return protocolImage_.get();
  }

  void DrawCursor(int x, int y, const BgrxView& out) {
    if (!hasXFixes_) return;
    ErrorTrap trap(display_.get());
    CursorImagePtr image(XFixesGetCursorImage(display_.get()));
    if (!image || trap.Failed()) return;
    // The shape is converted once per cursor change; the pointer position
    // comes fresh with every grab.
    if (cursor_.argb.empty() || cursor_.serial != image->cursor_serial ||
        cursor_.width != image->width || cursor_.height != image->height) {
      cursor_.width = image->width;
      cursor_.height = image->height;
      cursor_.serial = image->cursor_serial;
      cursor_.argb.resize(static_cast<size_t>(image->width) * image->height);
      // XFixes hands out one pixel per unsigned long, 64 bits wide on this
      // platform: only the low 32 carry ARGB.
      for (size_t i = 0; i < cursor_.argb.size(); ++i)
        cursor_.argb[i] = static_cast<uint32_t>(image->pixels[i]);
    }
    cursor_.xhot = image->xhot;
    cursor_.yhot = image->yhot;
    BlendCursor(out, cursor_, image->x - image->xhot - x, image->y - image->yhot - y);
  }

  unsigned long PixelFor(uint32_t rgb) const {
    Visual* visual = DefaultVisual(display_.get(), DefaultScreen(display_.get()));
    auto scale = [](uint32_t v, unsigned long mask) -> unsigned long {
      if (!mask) return 0;
      const unsigned long max = mask >> MaskShift(mask);
      return ((v * max + 127) / 255) << MaskShift(mask);
    };
    return scale((rgb >> 16) & 0xff, visual->red_mask) |
           scale((rgb >> 8) & 0xff, visual->green_mask) | scale(rgb & 0xff, visual->blue_mask);
  }

  DisplayPtr display_;
  GrabberOptions options_;
  Window root_ = 0;
  ScreenSize size_;
  bool useShm_ = false;
  bool hasXFixes_ = false;
  std::unique_ptr<ShmImage> shm_;
  ImagePtr protocolImage_;        // the last grab's, without shared memory
  std::vector<uint8_t> canvas_;   // BGRX pixels of grabs partly off the screen
  CursorImage cursor_;
};

}  // namespace

std::unique_ptr<ScreenGrabber> OpenScreenGrabber(const GrabberOptions& options) {
  DisplayPtr display = platform::x11::OpenDisplay(options.display);
  if (!display) return nullptr;
  return std::make_unique<X11ScreenGrabber>(std::move(display), options);
}

}  // namespace capture
