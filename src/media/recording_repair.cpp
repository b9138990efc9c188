#include "media/recording_repair.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/codec_log.h"
#include "media/ffmpeg_handles.h"
#include "media/avi_triage.h"
#include "recording/unique_fd.h"

namespace media {
namespace {

using recording::UniqueFd;

// The demuxer reads the original through buffers of this size.
constexpr int kReadBufferSize = 256 * 1024;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}
std::string SysError(const std::string& what) { return what + ": " + std::strerror(errno); }

using ffmpeg::InputClose;
using ffmpeg::IoContextFree;
using ffmpeg::OutputFree;
using ffmpeg::PacketFree;

// The whole chunks of the original, handed to the demuxer as a stream that
// cannot seek. The demuxer then walks every chunk in file order, through
// every RIFF, instead of trusting an index: a file killed past the first
// gibibyte has one that covers only its finished first part. The end is
// where the last whole chunk ends, so a chunk cut by the kill is never read.
class ChunkSource {
 public:
  ChunkSource(int fd, int64_t end) : fd_(fd), end_(end) {}

  static int Read(void* opaque, uint8_t* buffer, int size) {
    auto* self = static_cast<ChunkSource*>(opaque);
    const int64_t left = self->end_ - self->pos_;
    if (left <= 0) return AVERROR_EOF;
    for (;;) {
      const auto want = static_cast<size_t>(std::min<int64_t>(size, left));
      const ssize_t n = ::pread(self->fd_, buffer, want, self->pos_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return AVERROR(errno);
      if (n == 0) return AVERROR_EOF;
      self->pos_ += n;
      return static_cast<int>(n);
    }
  }

 private:
  int fd_;
  int64_t end_;
  int64_t pos_ = 0;
};

// The rebuilt file beside the original; removed unless it took its place.
class TempFile {
 public:
  explicit TempFile(const std::string& original) : path_(original + kRepairSuffix) {
    fd_ = UniqueFd(::mkostemp(path_.data(), O_CLOEXEC));
    if (!fd_) path_.clear();
  }
  ~TempFile() {
    if (!path_.empty() && !committed_) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool created() const { return static_cast<bool>(fd_); }
  const std::string& path() const { return path_; }
  int fd() const { return fd_.get(); }
  void Committed() { committed_ = true; }

 private:
  std::string path_;
  UniqueFd fd_;
  bool committed_ = false;
};

// The picture header of "MP43" (msmpeg4v3) begins with the two-bit picture
// type, 0 for an intra picture. Read without an index, every chunk would
// otherwise be taken for a key frame and the new index would send seeking to
// pictures that cannot be decoded on their own.
bool IsIntraPicture(const AVPacket& pkt) { return pkt.size > 0 && (pkt.data[0] >> 6) == 0; }

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

class Rebuild {
 public:
  Rebuild(int sourceFd, int64_t usableEnd, std::stop_token stop)
      : source_(sourceFd, usableEnd), stop_(std::move(stop)) {}

  // Copies every chunk into a new AVI at `target`. Empty when it worked;
  // the cause otherwise.
  std::string CopyInto(const std::string& target, Repaired& result);
  bool cancelled() const { return cancelled_; }

 private:
  std::string OpenInput();
  std::string OpenOutput(const std::string& target);

  ChunkSource source_;
  std::stop_token stop_;
  std::unique_ptr<AVIOContext, IoContextFree> io_;
  std::unique_ptr<AVFormatContext, InputClose> in_;
  std::unique_ptr<AVFormatContext, OutputFree> out_;
  bool cancelled_ = false;
};

std::string Rebuild::OpenInput() {
  auto* buffer = static_cast<uint8_t*>(av_malloc(kReadBufferSize));
  if (!buffer) return "out of memory";
  io_.reset(avio_alloc_context(buffer, kReadBufferSize, 0, &source_, &ChunkSource::Read,
                               nullptr, nullptr));
  if (!io_) {
    av_free(buffer);
    return "out of memory";
  }
  AVFormatContext* in = avformat_alloc_context();
  if (!in) return "out of memory";
  in->pb = io_.get();
  in->flags |= AVFMT_FLAG_CUSTOM_IO;
  // Freed by the call when it fails.
  if (int err = avformat_open_input(&in, nullptr, av_find_input_format("avi"), nullptr); err < 0)
    return "cannot read it as AVI: " + AvError(err);
  in_.reset(in);
  if (in->nb_streams != 2 || in->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
      in->streams[1]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
    return "its streams are not a picture and a sound stream";
  return {};
}

std::string Rebuild::OpenOutput(const std::string& target) {
  AVFormatContext* out = nullptr;
  if (int err = avformat_alloc_output_context2(&out, nullptr, "avi", nullptr); err < 0)
    return "no AVI muxer: " + AvError(err);
  out_.reset(out);
  for (unsigned i = 0; i < in_->nb_streams; ++i) {
    const AVStream* from = in_->streams[i];
    AVStream* to = avformat_new_stream(out, nullptr);
    if (!to) return "out of memory";
    if (int err = avcodec_parameters_copy(to->codecpar, from->codecpar); err < 0)
      return "stream parameters: " + AvError(err);
    // The same units as the original, so the frame indices (with the gaps
    // of skipped ones) and the sound positions come through unchanged.
    to->time_base = from->time_base;
    to->avg_frame_rate = from->avg_frame_rate;
  }
  // "file:" so that no part of a folder name is taken for a protocol.
  if (int err = avio_open(&out->pb, ("file:" + target).c_str(), AVIO_FLAG_WRITE); err < 0)
    return "cannot write " + target + ": " + AvError(err);
  if (int err = avformat_write_header(out, nullptr); err < 0)
    return "writing the new header: " + AvError(err);
  return {};
}

std::string Rebuild::CopyInto(const std::string& target, Repaired& result) {
  if (std::string e = OpenInput(); !e.empty()) return e;
  if (std::string e = OpenOutput(target); !e.empty()) return e;
  std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
  if (!pkt) return "out of memory";
  const AVCodecParameters* sound = in_->streams[1]->codecpar;
  int64_t soundBytes = 0;
  for (;;) {
    if (stop_.stop_requested()) {
      cancelled_ = true;
      return "cancelled";
    }
    const int err = av_read_frame(in_.get(), pkt.get());
    if (err == AVERROR_EOF) break;
    if (err < 0) return "reading it: " + AvError(err);
    const int index = pkt->stream_index;
    if (index == 0) {
      if (pkt->size > 0) ++result.pictures;
      pkt->flags = (pkt->flags & ~AV_PKT_FLAG_KEY) | (IsIntraPicture(*pkt) ? AV_PKT_FLAG_KEY : 0);
    } else {
      soundBytes += pkt->size;
    }
    av_packet_rescale_ts(pkt.get(), in_->streams[index]->time_base,
                         out_->streams[index]->time_base);
    if (int werr = av_interleaved_write_frame(out_.get(), pkt.get()); werr < 0)
      return "writing " + target + ": " + AvError(werr);
  }
  if (result.pictures == 0 && soundBytes == 0) return "no chunk in it could be read";
  if (int err = av_write_trailer(out_.get()); err < 0)
    return "finishing " + target + ": " + AvError(err);
  const int ioError = out_->pb->error;
  if (int err = avio_closep(&out_->pb); err < 0 || ioError < 0)
    return "writing " + target + ": " + AvError(ioError < 0 ? ioError : err);
  if (sound->block_align > 0 && sound->sample_rate > 0)
    result.soundSeconds = static_cast<double>(soundBytes) / sound->block_align / sound->sample_rate;
  return {};
}

base::Error Failed(std::string cause) { return {RepairError::kFailed, std::move(cause)}; }

}  // namespace

base::Result<Repaired> RepairRecording(const std::string& path, std::stop_token stop) {
  base::RouteCodecMessagesToLog();
  const AviInspection found = InspectAvi(path);
  switch (found.state) {
    case AviState::Complete: return Repaired{};
    case AviState::NotAvi:
    case AviState::NotOurs: return base::Error(RepairError::kNotOurs, found.detail);
    case AviState::Damaged: return base::Error(RepairError::kDamaged, found.detail);
    case AviState::Unreadable: return Failed("cannot read it: " + found.detail);
    case AviState::Unfinished: break;
  }

  UniqueFd source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat before {};
  if (!source || ::fstat(source.get(), &before) != 0)
    return Failed(SysError("cannot read it"));
  if (before.st_size != found.fileSize)
    return Failed("it is still being written");

  TempFile temp(path);
  if (!temp.created())
    return Failed(SysError("cannot create a file beside it"));
  Rebuild rebuild(source.get(), found.usableEnd, std::move(stop));
  Repaired result{.rebuilt = true};
  if (std::string e = rebuild.CopyInto(temp.path(), result); !e.empty())
    return rebuild.cancelled() ? base::Error(RepairError::kCancelled, e) : Failed(e);

  // The new file keeps the recording's own time and permissions, and is on
  // the disk before its name replaces the original's.
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  if (::fchmod(temp.fd(), before.st_mode & 07777) != 0 || ::futimens(temp.fd(), times) != 0 ||
      ::fsync(temp.fd()) != 0)
    return Failed(SysError("cannot keep the new file"));
  if (const AviInspection rebuilt = InspectAvi(temp.path()); rebuilt.state != AviState::Complete)
    return Failed("the rebuilt file is not complete");
  // Someone writing it meanwhile (it was not ours to take after all).
  struct stat now {};
  if (::stat(path.c_str(), &now) != 0 || !SameFile(before, now))
    return Failed("it changed while it was being repaired");
  if (::rename(temp.path().c_str(), path.c_str()) != 0)
    return Failed(SysError("cannot put the rebuilt file in its place"));
  temp.Committed();
  // The rename itself reaches the disk with the folder.
  const std::string folder = std::filesystem::path(path).parent_path().string();
  UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());
  return result;
}

}  // namespace media
