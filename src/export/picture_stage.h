#pragma once
// One decoded picture into one output picture: the crop, the zoom into the
// output frame and the picture effects, in that order. The output is planar
// YUV 4:2:0 with no row padding (Y, then U and V of half width and height),
// the layout the effects preview works on.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "edit/crop_model.h"
#include "edit/picture_effects.h"
#include "export/export_engine.h"

struct AVFrame;
struct SwsContext;

namespace exporter {

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

// Where the kept part of the source lands in the output picture. Every
// offset and size is even, so the half-size chroma planes cut and place
// on whole samples.
struct Placement {
  PixelRect source;  // source pixels kept
  PixelRect target;  // where they go in the output; outside it is black
  int outWidth = 0, outHeight = 0;
  int sourceWidth = 0, sourceHeight = 0;  // the picture size this was worked out for
};

// `crop` is in reference units (sanitised here); an output of 0 x 0 is the
// source's own size.
Placement PlacePicture(int sourceWidth, int sourceHeight, const edit::CropRect& crop, Zoom zoom,
                       int outWidth, int outHeight);

struct SwsFreeDeleter {
  void operator()(SwsContext* s) const;
};
struct AVFrameDeleter {
  void operator()(AVFrame* f) const;
};

// Not thread-safe: one stage belongs to one export.
class PictureStage {
 public:
  PictureStage(const Placement& placement, const edit::EffectSettings& effects);
  ~PictureStage();
  PictureStage(const PictureStage&) = delete;
  PictureStage& operator=(const PictureStage&) = delete;

  size_t OutputBytes() const;
  // `out` holds OutputBytes(). False when the picture cannot be converted.
  bool Process(const AVFrame* decoded, uint8_t* out);
  // The same for a picture already planar YUV 4:2:0 without row padding,
  // as the project's decoder hands them to the preview.
  bool ProcessPacked(const uint8_t* yuv, int width, int height, uint8_t* out);

 private:
  bool ProcessPlanes(const uint8_t* const planes[3], const int strides[3], int width, int height,
                     int format, uint8_t* out);
  bool Normalise(const uint8_t* const planes[3], const int strides[3], int width, int height,
                 int format);
  bool Place(const uint8_t* const planes[3], const int strides[3], uint8_t* out);

  Placement placement_;
  edit::EffectSettings effects_;
  std::unique_ptr<SwsContext, SwsFreeDeleter> normaliser_;
  std::unique_ptr<SwsContext, SwsFreeDeleter> scaler_;
  std::unique_ptr<AVFrame, AVFrameDeleter> normal_;
  std::vector<uint8_t> content_;  // the scaled picture when bars surround it
};

}  // namespace exporter
