#include "media/avi_triage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "recording/unique_fd.h"

namespace media {
namespace {

constexpr uint32_t kOpenSize = 0xFFFFFFFF;  // the muxer's placeholder until it finishes
// No header list of ours comes near this (ours is under 9 KiB); anything
// larger is not worth reading to find out.
constexpr uint32_t kLargestHeaderList = 1 << 20;
// Larger than any picture or sound chunk we write; a "chunk" claiming more is
// garbage (a power cut can leave stale blocks at the end of a file).
constexpr uint32_t kLargestChunk = 256u << 20;

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
bool Is(const uint8_t* p, const char (&tag)[5]) { return std::memcmp(p, tag, 4) == 0; }

// A data chunk of a stream ("00dc", "01wb", ...).
bool IsStreamChunk(const uint8_t* t) {
  const bool digits = t[0] >= '0' && t[0] <= '9' && t[1] >= '0' && t[1] <= '9';
  return digits && (std::memcmp(t + 2, "dc", 2) == 0 || std::memcmp(t + 2, "db", 2) == 0 ||
                    std::memcmp(t + 2, "wb", 2) == 0);
}
// Chunks of the muxer's own that a data list may hold besides stream data:
// OpenDML standard indexes ("ix00") and padding.
bool IsIndexOrPadding(const uint8_t* t) {
  return (t[0] == 'i' && t[1] == 'x' && t[2] >= '0' && t[2] <= '9' && t[3] >= '0' &&
          t[3] <= '9') ||
         Is(t, "JUNK");
}

// The file's bytes from its descriptor, or from memory when they are there
// already.
class Reader {
 public:
  Reader(int fd, int64_t size) : fd_(fd), size_(size) {}
  Reader(const uint8_t* bytes, int64_t size) : bytes_(bytes), size_(size) {}
  int64_t size() const { return size_; }
  bool Read(int64_t pos, void* out, size_t n) const {
    if (pos < 0 || static_cast<int64_t>(n) > size_ - pos) return false;
    if (bytes_) {
      if (n) std::memcpy(out, bytes_ + pos, n);
      return true;
    }
    auto* p = static_cast<uint8_t*>(out);
    while (n > 0) {
      const ssize_t got = ::pread(fd_, p, n, pos);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      p += got, pos += got, n -= static_cast<size_t>(got);
    }
    return true;
  }

 private:
  int fd_ = -1;
  const uint8_t* bytes_ = nullptr;
  int64_t size_;
};

struct StreamHeader {
  uint8_t type[4] = {}, handler[4] = {};
  std::vector<uint8_t> format;  // the "strf" payload
};

// The stream headers inside the header list's bytes.
std::vector<StreamHeader> ParseStreams(const std::vector<uint8_t>& hdrl) {
  std::vector<StreamHeader> streams;
  size_t pos = 4;  // past "hdrl"
  while (pos + 8 <= hdrl.size()) {
    const uint8_t* c = hdrl.data() + pos;
    const uint32_t size = Le32(c + 4);
    if (size > hdrl.size() - pos - 8) break;
    if (Is(c, "LIST") && size >= 4 && Is(c + 8, "strl")) {
      StreamHeader s;
      size_t sub = pos + 12;
      const size_t end = pos + 8 + size;
      while (sub + 8 <= end) {
        const uint8_t* d = hdrl.data() + sub;
        const uint32_t n = Le32(d + 4);
        if (n > end - sub - 8) break;
        if (Is(d, "strh") && n >= 8) {
          std::memcpy(s.type, d + 8, 4);
          std::memcpy(s.handler, d + 12, 4);
        } else if (Is(d, "strf")) {
          s.format.assign(d + 8, d + 8 + n);
        }
        sub += 8 + n + (n & 1);
      }
      streams.push_back(std::move(s));
    }
    pos += 8 + size + (size & 1);
  }
  return streams;
}

// What our writer declares: an MP43 picture stream, then PCM sound at 48 kHz,
// two channels, 16 bits.
bool OursByStreams(const std::vector<StreamHeader>& s) {
  if (s.size() != 2) return false;
  const StreamHeader& video = s[0];
  const StreamHeader& audio = s[1];
  const bool pictures = Is(video.type, "vids") && Le32(video.handler) == kPictureHandler &&
                        video.format.size() >= 20 &&
                        Le32(video.format.data() + 16) == kPictureHandler;  // biCompression
  const auto& f = audio.format;
  const bool sound = Is(audio.type, "auds") && f.size() >= 16 && Le16(f.data()) == 1 &&
                     Le16(f.data() + 2) == 2 && Le32(f.data() + 4) == kSoundRate &&
                     Le16(f.data() + 14) == 16;
  return pictures && sound;
}

AviInspection With(AviInspection r, AviState state, std::string detail) {
  r.state = state;
  r.detail = std::move(detail);
  return r;
}

// Walks the chunks of a data list from `pos` up to `limit`, moving `usableEnd`
// past every whole one. Returns where the walk stopped.
int64_t WalkData(const Reader& file, int64_t pos, int64_t limit, AviInspection& r) {
  uint8_t h[8];
  while (pos + 8 <= limit && file.Read(pos, h, 8)) {
    const uint32_t size = Le32(h + 4);
    const bool media = IsStreamChunk(h);
    if (!media && !IsIndexOrPadding(h)) break;  // not a chunk: garbage or zeros
    if (size > kLargestChunk || pos + 8 + int64_t{size} > limit) break;  // cut by the kill
    if (media && size > 0) ++r.mediaChunks;
    pos += 8 + int64_t{size};
    if ((size & 1) && pos < limit) ++pos;
    r.usableEnd = pos;
  }
  return pos;
}

// A RIFF left open: finds how far whole chunks reach in it. `bodyPos` is
// where its chunks begin (after the header list in the first RIFF).
void WalkOpenRiff(const Reader& file, int64_t bodyPos, AviInspection& r) {
  int64_t pos = bodyPos;
  uint8_t h[12];
  while (pos + 8 <= file.size() && file.Read(pos, h, 8)) {
    const uint32_t size = Le32(h + 4);
    const bool open = size == kOpenSize;
    const int64_t end = open ? file.size() : pos + 8 + int64_t{size};
    if (Is(h, "LIST")) {
      if (!file.Read(pos, h, 12)) return;
      if (Is(h + 8, "movi")) {
        const int64_t stopped = WalkData(file, pos + 12, std::min(end, file.size()), r);
        if (open || stopped < end) return;
      } else if (open || end > file.size()) {
        return;
      }
    } else if (!(Is(h, "JUNK") || Is(h, "idx1")) || open || end > file.size()) {
      return;
    }
    pos = end + (size & 1);
    r.usableEnd = std::max(r.usableEnd, std::min(pos, file.size()));
  }
}

// Decides from the headers what the file is; `r` has its size already.
AviInspection Inspect(const Reader& file, AviInspection r) {
  uint8_t h[12];
  if (!file.Read(0, h, 12) || !Is(h, "RIFF") || !Is(h + 8, "AVI "))
    return With(r, AviState::NotAvi, "not an AVI file");
  // The header list comes first, whole, in every file our writer has begun.
  if (!file.Read(12, h, 12)) return With(r, AviState::Damaged, "its header is cut short");
  const uint32_t hdrlSize = Le32(h + 4);
  if (!Is(h, "LIST") || !Is(h + 8, "hdrl") || hdrlSize < 4 || hdrlSize > kLargestHeaderList)
    return With(r, AviState::Damaged, "it has no stream headers");
  std::vector<uint8_t> hdrl(hdrlSize);
  if (!file.Read(20, hdrl.data(), hdrl.size()))
    return With(r, AviState::Damaged, "its header is cut short");
  const bool ours = OursByStreams(ParseStreams(hdrl));

  // Follow the RIFFs: closed ones are skipped whole; an open one is where
  // the writer was when it died.
  int64_t pos = 0;
  bool first = true;
  while (pos < file.size()) {
    if (!file.Read(pos, h, 12)) {
      // A few stray bytes after closed RIFFs (a kill as the next one began)
      // leave every finished part readable.
      return first ? With(r, AviState::Damaged, "its header is cut short")
                   : With(r, AviState::Complete, "");
    }
    // Bytes after the last RIFF are no part of the recording.
    if (!first && !(Is(h, "RIFF") && Is(h + 8, "AVIX"))) break;
    const uint32_t size = Le32(h + 4);
    if (size == kOpenSize) {
      if (!ours) return With(r, AviState::NotOurs, "an unfinished AVI of streams we never record");
      const int64_t body = first ? 20 + int64_t{hdrlSize} + (hdrlSize & 1) : pos + 12;
      r.usableEnd = body;
      WalkOpenRiff(file, body, r);
      if (r.mediaChunks == 0 && first)
        return With(r, AviState::Damaged, "nothing was recorded into it");
      return With(r, AviState::Unfinished, "");
    }
    const int64_t end = pos + 8 + int64_t{size};
    if (end > file.size())
      return With(r, AviState::Damaged, "it ends before the size its header gives");
    pos = end + (size & 1);
    first = false;
  }
  return With(r, AviState::Complete, "");
}

}  // namespace

AviInspection InspectAvi(const std::string& path) {
  AviInspection r;
  const recording::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return With(r, AviState::Unreadable, std::strerror(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return With(r, AviState::Unreadable, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return With(r, AviState::NotAvi, "not a regular file");
  r.fileSize = st.st_size;
  return Inspect(Reader(fd.get(), st.st_size), r);
}

AviInspection InspectAviBytes(const uint8_t* bytes, size_t size) {
  AviInspection r;
  r.fileSize = static_cast<int64_t>(size);
  return Inspect(Reader(bytes, r.fileSize), r);
}

}  // namespace media
