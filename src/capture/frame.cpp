#include "capture/frame.h"

namespace capture {

void Frame::Reset(int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  header_ = BitmapInfoHeader{};
  header_.biWidth = width;
  header_.biHeight = height;
  header_.biSizeImage = static_cast<uint32_t>(height * StrideFor(width));
  // At 24 bits there is no colour table (2^bits entries only up to 8 bits).
  header_.biClrUsed = 0;
  if (pixels_.size() != header_.biSizeImage) pixels_.assign(header_.biSizeImage, 0);
}

}  // namespace capture
