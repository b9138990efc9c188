#include "media/snapshot.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "media/ffmpeg_handles.h"

namespace media {

namespace {

constexpr int kHeaderBytes = 54;
constexpr int kInfoHeaderBytes = 40;
// Numbers tried before giving up on a folder where every name is taken.
constexpr int kMaxNumber = 1'000'000;

std::string PathFor(const std::string& folder, const std::string& name, int n) {
  return folder + "/" + name + "_" + std::to_string(n) + ".bmp";
}

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}

// The whole file: headers, then the rows bottom-up, blue, green, red, each
// padded to four bytes with zeros. Empty when the picture cannot be
// converted.
std::vector<uint8_t> EncodeBmp(const uint8_t* picture, int width, int height) {
  const size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> file(kHeaderBytes + rowBytes * height, 0);
  file[0] = 'B';
  file[1] = 'M';
  Put32(file, 2, static_cast<uint32_t>(file.size()));
  Put32(file, 10, kHeaderBytes);
  Put32(file, 14, kInfoHeaderBytes);
  Put32(file, 18, static_cast<uint32_t>(width));
  Put32(file, 22, static_cast<uint32_t>(height));  // positive: bottom-up
  Put16(file, 26, 1);
  Put16(file, 28, 24);
  // The source is described upside down (each plane from its last row, with
  // negative strides), so the conversion yields the file's row order. An odd
  // size's chroma is stored rounded down: the even part is converted and a
  // last odd column or row takes its neighbour's colour.
  const int w = width & ~1, h = height & ~1;
  if (w <= 0 || h <= 0) return {};
  std::unique_ptr<SwsContext, ffmpeg::SwsFree> scaler(
      sws_getContext(w, h, AV_PIX_FMT_YUV420P, w, h, AV_PIX_FMT_BGR24, SWS_BICUBIC,
                     nullptr, nullptr, nullptr));
  if (!scaler) return {};
  const size_t luma = static_cast<size_t>(width) * height;
  const int cw = width / 2, ch = height / 2;
  const uint8_t* y = picture;
  const uint8_t* u = picture + luma;
  const uint8_t* v = u + static_cast<size_t>(cw) * ch;
  // The even part's last rows: an odd height drops the picture's last row,
  // which the bottom row of the file then repeats.
  const uint8_t* source[3] = {y + static_cast<size_t>(h - 1) * width,
                              u + static_cast<size_t>(h / 2 - 1) * cw,
                              v + static_cast<size_t>(h / 2 - 1) * cw};
  const int sourceStrides[3] = {-width, -cw, -cw};
  uint8_t* rows = file.data() + kHeaderBytes;
  const size_t top = height > h ? rowBytes : 0;  // the extra bottom row, filled below
  uint8_t* destination[1] = {rows + top};
  const int destinationStrides[1] = {static_cast<int>(rowBytes)};
  if (sws_scale(scaler.get(), source, sourceStrides, 0, h, destination, destinationStrides) <= 0)
    return {};
  for (int r = 0; r < height; ++r) {
    uint8_t* row = rows + r * rowBytes;
    if (width > w) std::memcpy(row + w * 3, row + (w - 1) * 3, 3);
    std::memset(row + static_cast<size_t>(width) * 3, 0, rowBytes - static_cast<size_t>(width) * 3);
  }
  if (top) std::memcpy(rows, rows + rowBytes, rowBytes);
  return file;
}

base::Error Failed(std::string why) { return base::Error(SnapshotError::kFailed, std::move(why)); }

}  // namespace

base::Result<std::string> SaveSnapshot(const std::string& folder, const std::string& name,
                                       const uint8_t* picture, int width, int height) {
  if (!picture || width <= 0 || height <= 0) return Failed("there is no picture");
  std::vector<uint8_t> bytes = EncodeBmp(picture, width, height);
  if (bytes.empty()) return Failed("the picture could not be converted");
  for (int n = 1; n <= kMaxNumber; ++n) {
    const std::string path = PathFor(folder, name, n);
    // Created only if absent: a file of that name, even one made a moment
    // ago by someone else, is left alone and the next number is tried.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return Failed(path + ": " + std::strerror(errno));
    }
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n2 = write(fd, bytes.data() + done, bytes.size() - done);
      if (n2 < 0 && errno == EINTR) continue;
      if (n2 <= 0) break;
      done += static_cast<size_t>(n2);
    }
    const bool closed = close(fd) == 0;
    if (done != bytes.size() || !closed) {
      const std::string why = std::strerror(errno);
      unlink(path.c_str());  // no half-written picture left behind
      return Failed(path + ": " + why);
    }
    return path;
  }
  return Failed("every snapshot name is taken");
}

}  // namespace media
