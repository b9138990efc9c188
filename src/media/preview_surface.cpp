#include "media/preview_surface.h"

#include <SDL.h>

#include <csignal>
#include <mutex>
#include <string>
#include <vector>

#include "base/log.h"
#include "media/ffmpeg_handles.h"
#include "media/picture_halving.h"
#include "platform/x11_setup.h"

namespace media {

namespace {

constexpr int kScalerFlags = SWS_BICUBIC;
constexpr int kDepth = 24;
// A 24-bit surface on a display of 32-bit pixels would be drawn through a
// shadow surface, converted pixel by pixel at every picture; any format
// takes the display's own.
constexpr Uint32 kVideoFlags = SDL_HWSURFACE | SDL_ASYNCBLIT | SDL_HWACCEL | SDL_ANYFORMAT;

struct OverlayFree {
  void operator()(SDL_Overlay* o) const { SDL_FreeYUVOverlay(o); }
};
using OverlayPtr = std::unique_ptr<SDL_Overlay, OverlayFree>;
using SwsPtr = std::unique_ptr<SwsContext, ffmpeg::SwsFree>;

// The display layer keeps one video surface per process: the member that
// holds it. Guarded by gOwnerMutex.
std::mutex gOwnerMutex;
const CPreviewSurface* gOwner = nullptr;

// The display layer takes over the interrupt and terminate signals when
// nobody has claimed them, turning them into events nobody here reads: the
// program would no longer end when asked. They are given back at once.
class SignalsKept {
 public:
  SignalsKept() {
    sigaction(SIGINT, nullptr, &interrupt_);
    sigaction(SIGTERM, nullptr, &terminate_);
  }
  ~SignalsKept() {
    sigaction(SIGINT, &interrupt_, nullptr);
    sigaction(SIGTERM, &terminate_, nullptr);
  }

 private:
  struct sigaction interrupt_ {};
  struct sigaction terminate_ {};
};

}  // namespace

class PreviewSurfaceImpl {
 public:
  std::mutex mutex;  // guards everything below; ShowFrame runs on the player thread
  OverlayPtr overlay;
  SwsPtr scaler;
  SDL_Rect rect{0, 0, 0, 0};
  int scaledWidth = 0, scaledHeight = 0;  // the picture size the scaler was made for
  int reducedWidth = 0, reducedHeight = 0;  // what that picture is halved to first
  std::vector<uint8_t> reduced;             // the halved picture
  std::vector<uint8_t> halfway;             // between two halvings
  int displayWidth = 0, displayHeight = 0;
  bool started = false;  // the display layer is up for this member
  bool shown = false;    // the overlay holds a picture

  bool MakeScaler(int width, int height) {
    // Chroma of an odd size is stored rounded down, so the picture is
    // scaled from its even part: the scaler never reads past a plane.
    int w = width & ~1, h = height & ~1;
    if (w <= 0 || h <= 0) return false;
    // Halved while it stays at least twice the display's size (and its
    // chroma halves exactly); the scaler takes it from there.
    while (w % 4 == 0 && h % 4 == 0 && w >= 2 * displayWidth && h >= 2 * displayHeight) {
      w /= 2;
      h /= 2;
    }
    scaler.reset(sws_getCachedContext(scaler.release(), w, h, AV_PIX_FMT_YUV420P, displayWidth,
                                      displayHeight, AV_PIX_FMT_YUV420P, kScalerFlags, nullptr,
                                      nullptr, nullptr));
    scaledWidth = width;
    scaledHeight = height;
    reducedWidth = w;
    reducedHeight = h;
    return scaler != nullptr;
  }

  // The planes of `picture` (the decoder's layout) halved down to the
  // scaler's size; `planes` and `strides` describe what to scale.
  void Reduce(const uint8_t* picture, int width, int height, const uint8_t* planes[3],
              int strides[3]) {
    const size_t luma = static_cast<size_t>(width) * height;
    const size_t chroma = static_cast<size_t>(width / 2) * (height / 2);
    planes[0] = picture;
    planes[1] = picture + luma;
    planes[2] = picture + luma + chroma;
    strides[0] = width;
    strides[1] = strides[2] = width / 2;
    int w = width & ~1, h = height & ~1;
    std::vector<uint8_t>* into = &reduced;
    while (w > reducedWidth) {
      const int hw = w / 2, hh = h / 2;
      into->resize(static_cast<size_t>(hw) * hh * 3 / 2);
      uint8_t* out[3] = {into->data(), into->data() + hw * hh, into->data() + hw * hh + hw * hh / 4};
      const int outStrides[3] = {hw, hw / 2, hw / 2};
      for (int p = 0; p < 3; ++p) {
        const int pw = p ? hw / 2 : hw, ph = p ? hh / 2 : hh;
        HalvePlane(planes[p], strides[p], out[p], outStrides[p], pw, ph);
        planes[p] = out[p];
        strides[p] = outStrides[p];
      }
      w = hw;
      h = hh;
      into = into == &reduced ? &halfway : &reduced;
    }
  }

  void Stop() {
    overlay.reset();
    shown = false;
    if (started) SDL_Quit();
    started = false;
  }
};

CPreviewSurface::CPreviewSurface() : impl_(std::make_unique<PreviewSurfaceImpl>()) {}

CPreviewSurface::~CPreviewSurface() { Release(); }

int CPreviewSurface::Create(unsigned long nativeWindow, int sourceWidth, int sourceHeight,
                            int displayWidth, int displayHeight) {
  if (!nativeWindow || displayWidth <= 0 || displayHeight <= 0 || displayWidth > 0xFFFF ||
      displayHeight > 0xFFFF)
    return 0;
  {
    std::lock_guard owner(gOwnerMutex);
    if (gOwner && gOwner != this) return 0;  // another window holds the surface
  }
  Release();
  std::lock_guard lock(impl_->mutex);
  const std::string id = std::to_string(nativeWindow);
  setenv("SDL_WINDOWID", id.c_str(), 1);
  platform::InstallXErrorHandler();
  {
    SignalsKept signals;
    // No parachute: a crash must stay a crash, with its report.
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) < 0) return 0;
  }
  impl_->started = true;
  impl_->displayWidth = displayWidth;
  impl_->displayHeight = displayHeight;
  impl_->rect = SDL_Rect{0, 0, static_cast<Uint16>(displayWidth), static_cast<Uint16>(displayHeight)};
  SDL_Surface* screen = SDL_SetVideoMode(displayWidth, displayHeight, kDepth, kVideoFlags);
  if (screen) impl_->overlay.reset(SDL_CreateYUVOverlay(displayWidth, displayHeight, SDL_YV12_OVERLAY, screen));
  if (!impl_->overlay || !impl_->MakeScaler(sourceWidth, sourceHeight)) {
    base::Log(base::Level::kWarning, "preview",
        std::string("no preview surface: ") + SDL_GetError());
    impl_->Stop();
    return 0;
  }
  std::lock_guard owner(gOwnerMutex);
  gOwner = this;
  return 1;
}

int CPreviewSurface::ShowFrame(const uint8_t* picture, int width, int height) {
  std::lock_guard lock(impl_->mutex);
  SDL_Overlay* overlay = impl_->overlay.get();
  if (!overlay || !picture || width <= 0 || height <= 0) return 1;
  if ((width != impl_->scaledWidth || height != impl_->scaledHeight) &&
      !impl_->MakeScaler(width, height))
    return 1;
  if (!impl_->scaler) return 1;
  const uint8_t* source[3];
  int sourceStrides[3];
  impl_->Reduce(picture, width, height, source, sourceStrides);
  if (SDL_LockYUVOverlay(overlay) < 0) return 1;
  // The overlay keeps its planes as Y, V, U; its planes may move between
  // locks, so they are taken at each one.
  uint8_t* destination[3] = {overlay->pixels[0], overlay->pixels[2], overlay->pixels[1]};
  const int destinationStrides[3] = {overlay->pitches[0], overlay->pitches[2], overlay->pitches[1]};
  sws_scale(impl_->scaler.get(), source, sourceStrides, 0, impl_->reducedHeight, destination,
            destinationStrides);
  SDL_UnlockYUVOverlay(overlay);
  SDL_DisplayYUVOverlay(overlay, &impl_->rect);
  impl_->shown = true;
  return 1;
}

int CPreviewSurface::Redraw() {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->overlay || !impl_->shown) return 0;
  SDL_DisplayYUVOverlay(impl_->overlay.get(), &impl_->rect);
  return 1;
}

int CPreviewSurface::Release() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->Stop();
  }
  std::lock_guard owner(gOwnerMutex);
  if (gOwner == this) gOwner = nullptr;
  return 1;
}

bool CPreviewSurface::live() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->overlay != nullptr;
}

}  // namespace media
