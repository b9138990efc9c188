#pragma once
// One grabbed picture in the layout the recorder's writer and tools expect: a
// 40-byte bitmap header followed by packed 24-bit rows, bottom row first, each
// row padded to 4 bytes, bytes in blue-green-red order.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace capture {

struct BitmapInfoHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // positive: rows bottom-up
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 24;
  uint32_t biCompression = 0;  // uncompressed RGB
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

class Frame {
 public:
  static constexpr int kBitsPerPixel = 24;

  Frame() = default;
  Frame(int width, int height) { Reset(width, height); }

  // Sizes the frame and fills its header; pixel contents become zero only when
  // the size changes (a grab overwrites every byte anyway).
  void Reset(int width, int height);

  static size_t StrideFor(int width) {
    return static_cast<size_t>((width * kBitsPerPixel + 31) / 32 * 4);
  }

  const BitmapInfoHeader& header() const { return header_; }
  int width() const { return header_.biWidth; }
  int height() const { return header_.biHeight; }
  size_t stride() const { return StrideFor(header_.biWidth); }

  // Row `y` counted from the top of the picture (stored bottom-up).
  uint8_t* TopDownRow(int y) { return pixels_.data() + (height() - 1 - y) * stride(); }
  const uint8_t* TopDownRow(int y) const {
    return pixels_.data() + (height() - 1 - y) * stride();
  }

  uint8_t* pixels() { return pixels_.data(); }
  const uint8_t* pixels() const { return pixels_.data(); }
  size_t pixelBytes() const { return pixels_.size(); }

 private:
  BitmapInfoHeader header_;
  std::vector<uint8_t> pixels_;
};

}  // namespace capture
