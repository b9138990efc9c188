#include "export/picture_stage.h"

#include <algorithm>
#include <cstring>

#include "media/ffmpeg_handles.h"

namespace exporter {
namespace {

int Even(int v) { return v & ~1; }
int AtLeastTwo(int v) { return std::max(2, Even(v)); }

// Black in video-range YUV.
constexpr uint8_t kBlackLuma = 16;
constexpr uint8_t kBlackChroma = 128;

PixelRect Centred(int width, int height, int inWidth, int inHeight) {
  return {Even((inWidth - width) / 2), Even((inHeight - height) / 2), width, height};
}

}  // namespace

void SwsFreeDeleter::operator()(SwsContext* s) const { sws_freeContext(s); }
void AVFrameDeleter::operator()(AVFrame* f) const { av_frame_free(&f); }

Placement PlacePicture(int sourceWidth, int sourceHeight, const edit::CropRect& crop, Zoom zoom,
                       int outWidth, int outHeight) {
  Placement p;
  const edit::CropRect r = edit::Sanitised(crop);
  const int64_t w = sourceWidth, h = sourceHeight;
  const int left = Even(static_cast<int>(r.left * w / edit::kReferenceWidth));
  const int top = Even(static_cast<int>(r.top * h / edit::kReferenceHeight));
  const int right = Even(static_cast<int>(r.right * w / edit::kReferenceWidth));
  const int bottom = Even(static_cast<int>(r.bottom * h / edit::kReferenceHeight));
  p.source = {left, top, std::max(2, right - left), std::max(2, bottom - top)};
  p.sourceWidth = sourceWidth;
  p.sourceHeight = sourceHeight;
  p.outWidth = AtLeastTwo(outWidth > 0 ? outWidth : sourceWidth);
  p.outHeight = AtLeastTwo(outHeight > 0 ? outHeight : sourceHeight);
  p.target = {0, 0, p.outWidth, p.outHeight};
  // Compared as cross products: whether the kept part is wider than the frame.
  const int64_t keptByOut = int64_t(p.source.width) * p.outHeight;
  const int64_t outByKept = int64_t(p.outWidth) * p.source.height;
  if (zoom == Zoom::Letterbox) {
    if (keptByOut > outByKept) {
      const int height = AtLeastTwo(static_cast<int>(int64_t(p.outWidth) * p.source.height /
                                                     p.source.width));
      p.target = Centred(p.outWidth, std::min(height, p.outHeight), p.outWidth, p.outHeight);
    } else if (keptByOut < outByKept) {
      const int width = AtLeastTwo(static_cast<int>(int64_t(p.outHeight) * p.source.width /
                                                    p.source.height));
      p.target = Centred(std::min(width, p.outWidth), p.outHeight, p.outWidth, p.outHeight);
    }
  } else if (zoom == Zoom::PanAndScan) {
    // Filling the frame and cutting the overflow is keeping less of the
    // source, centred in what the crop kept.
    PixelRect cut = p.source;
    if (keptByOut > outByKept)
      cut.width = std::min(cut.width, AtLeastTwo(static_cast<int>(
                                          int64_t(p.source.height) * p.outWidth / p.outHeight)));
    else if (keptByOut < outByKept)
      cut.height = std::min(cut.height, AtLeastTwo(static_cast<int>(
                                            int64_t(p.source.width) * p.outHeight / p.outWidth)));
    const PixelRect inside = Centred(cut.width, cut.height, p.source.width, p.source.height);
    p.source = {p.source.x + inside.x, p.source.y + inside.y, cut.width, cut.height};
  }
  return p;
}

PictureStage::PictureStage(const Placement& placement, const edit::EffectSettings& effects)
    : placement_(placement), effects_(effects) {}

PictureStage::~PictureStage() = default;

size_t PictureStage::OutputBytes() const {
  const size_t luma = size_t(placement_.outWidth) * placement_.outHeight;
  return luma + luma / 2;
}

bool PictureStage::Process(const AVFrame* decoded, uint8_t* out) {
  return ProcessPlanes(decoded->data, decoded->linesize, decoded->width, decoded->height,
                       decoded->format, out);
}

bool PictureStage::ProcessPacked(const uint8_t* yuv, int width, int height, uint8_t* out) {
  const size_t luma = size_t(width) * height;
  const uint8_t* planes[3] = {yuv, yuv + luma, yuv + luma + size_t(width / 2) * (height / 2)};
  const int strides[3] = {width, width / 2, width / 2};
  return ProcessPlanes(planes, strides, width, height, AV_PIX_FMT_YUV420P, out);
}

bool PictureStage::ProcessPlanes(const uint8_t* const planes[3], const int strides[3], int width,
                                 int height, int format, uint8_t* out) {
  if (width <= 0 || height <= 0) return false;
  // Kept as decoded when it already is 4:2:0 and holds the kept rectangle;
  // any other format, or a picture whose size changed mid-stream, is brought
  // to 4:2:0 at the size the placement was worked out for.
  if (format == AV_PIX_FMT_YUV420P && width == placement_.sourceWidth &&
      height == placement_.sourceHeight)
    return Place(planes, strides, out);
  if (!Normalise(planes, strides, width, height, format)) return false;
  return Place(normal_->data, normal_->linesize, out);
}

bool PictureStage::Normalise(const uint8_t* const planes[3], const int strides[3], int width,
                             int height, int format) {
  const int w = placement_.sourceWidth, h = placement_.sourceHeight;
  if (!normal_) {
    normal_.reset(av_frame_alloc());
    if (!normal_) return false;
    normal_->format = AV_PIX_FMT_YUV420P;
    normal_->width = w;
    normal_->height = h;
    if (av_frame_get_buffer(normal_.get(), 0) < 0) return false;
  }
  normaliser_.reset(sws_getCachedContext(normaliser_.release(), width, height,
                                         static_cast<AVPixelFormat>(format), w, h,
                                         AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr,
                                         nullptr));
  return normaliser_ &&
         sws_scale(normaliser_.get(), planes, strides, 0, height, normal_->data,
                   normal_->linesize) > 0;
}

bool PictureStage::Place(const uint8_t* const planes[3], const int strides[3], uint8_t* out) {
  const PixelRect& s = placement_.source;
  const PixelRect& t = placement_.target;
  const int ow = placement_.outWidth, oh = placement_.outHeight;
  const bool framed = t.width == ow && t.height == oh;
  const size_t contentLuma = size_t(t.width) * t.height;
  if (!framed) content_.resize(contentLuma + contentLuma / 2);
  uint8_t* dst = framed ? out : content_.data();
  uint8_t* dstPlanes[3] = {dst, dst + contentLuma, dst + contentLuma + contentLuma / 4};
  const int dstStrides[3] = {t.width, t.width / 2, t.width / 2};
  const uint8_t* srcPlanes[3] = {planes[0] + size_t(s.y) * strides[0] + s.x,
                                 planes[1] + size_t(s.y / 2) * strides[1] + s.x / 2,
                                 planes[2] + size_t(s.y / 2) * strides[2] + s.x / 2};
  scaler_.reset(sws_getCachedContext(scaler_.release(), s.width, s.height, AV_PIX_FMT_YUV420P,
                                     t.width, t.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr,
                                     nullptr, nullptr));
  if (!scaler_ ||
      sws_scale(scaler_.get(), srcPlanes, strides, 0, s.height, dstPlanes, dstStrides) <= 0)
    return false;
  // The effects run on the picture at its output size, after scaling. The
  // preview runs them on the decoded picture; both go through the same
  // per-sample tables, so each output pixel gets exactly the preview's
  // arithmetic, and at the same size (no zoom) the bytes are the preview's.
  // Bars are added afterwards so they stay black whatever the effect.
  edit::ApplyPictureEffects(effects_, dst, dst, t.width, t.height);
  if (framed) return true;
  const size_t outLuma = size_t(ow) * oh;
  std::memset(out, kBlackLuma, outLuma);
  std::memset(out + outLuma, kBlackChroma, outLuma / 2);
  for (int y = 0; y < t.height; ++y)
    std::memcpy(out + size_t(t.y + y) * ow + t.x, dstPlanes[0] + size_t(y) * t.width,
                size_t(t.width));
  for (int p = 1; p < 3; ++p) {
    uint8_t* plane = out + outLuma + (p - 1) * (outLuma / 4);
    for (int y = 0; y < t.height / 2; ++y)
      std::memcpy(plane + size_t(t.y / 2 + y) * (ow / 2) + t.x / 2,
                  dstPlanes[p] + size_t(y) * (t.width / 2), size_t(t.width / 2));
  }
  return true;
}

}  // namespace exporter
