#include "recording/avi_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "base/codec_log.h"
#include "capture/yuv420.h"
#include "media/ffmpeg_handles.h"

namespace recording {

using base::Outcome;
namespace {

// AVIO hands data over in buffers of this size; up to one of them may sit
// unwritten when the disk check runs.
constexpr int kIoBufferSize = 64 * 1024;
// Room kept for the end of the file besides the next frame: the final header
// rewrite and the index, which grows by at most this much per chunk (the
// legacy index and the OpenDML one).
constexpr int64_t kTrailerBase = 64 * 1024;
constexpr int64_t kIndexBytesPerChunk = 32;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

using ffmpeg::CodecContextFree;
using ffmpeg::FormatContextFree;
using ffmpeg::FrameFree;
using ffmpeg::IoContextFree;
using ffmpeg::PacketFree;
using ffmpeg::SwsFree;

// The file under the muxer: plain positioned writes on our own descriptor,
// so that the disk's state is ours to watch and the reserve ours to keep.
class FileSink {
 public:
  explicit FileSink(UniqueFd fd) : fd_(std::move(fd)) {}

  static int Write(void* opaque, uint8_t* data, int size) {
    auto* self = static_cast<FileSink*>(opaque);
    int done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(self->fd_.get(), data + done, size - done, self->pos_ + done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return AVERROR(n < 0 ? errno : ENOSPC);
      done += static_cast<int>(n);
    }
    self->pos_ += size;
    self->end_ = std::max(self->end_, self->pos_);
    return size;
  }

  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<FileSink*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE: return self->end_;
      case SEEK_SET: self->pos_ = offset; break;
      case SEEK_CUR: self->pos_ += offset; break;
      case SEEK_END: self->pos_ = self->end_ + offset; break;
      default: return AVERROR(EINVAL);
    }
    return self->pos_;
  }

  // Holds `bytes` past the end of the file for this file alone. False when
  // the disk cannot give them; a file system without the call is trusted.
  bool Reserve(int64_t bytes) {
    if (!reserveWorks_) return true;
    if (::fallocate(fd_.get(), FALLOC_FL_KEEP_SIZE, end_, bytes) == 0) return true;
    if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) return false;
    reserveWorks_ = false;
    return true;
  }

  // Gives back what the reserve held beyond the data.
  void Close() {
    if (!fd_) return;
    if (::ftruncate(fd_.get(), end_) != 0) {
      // The reserve stays allocated past the end; the data is intact.
    }
    fd_.Reset();
  }

 private:
  UniqueFd fd_;
  int64_t pos_ = 0;
  int64_t end_ = 0;
  bool reserveWorks_ = true;
};

}  // namespace

struct AviWriter::Impl {
  std::string path;
  AviSettings settings;
  std::unique_ptr<FileSink> sink;
  std::unique_ptr<AVIOContext, IoContextFree> io;
  std::unique_ptr<AVFormatContext, FormatContextFree> format;
  std::unique_ptr<AVCodecContext, CodecContextFree> encoder;
  // The encoder keeps a reference to the pictures it was given until it is
  // done with them; a few of our own in turn spare a fresh multi-megabyte
  // buffer (and its page faults) for every frame.
  std::array<std::unique_ptr<AVFrame, FrameFree>, 4> pictures;
  std::unique_ptr<AVPacket, PacketFree> packet;
  std::unique_ptr<AVPacket, PacketFree> audioPacket;  // sound is made straight into it
  // Made on the first 24-bit frame only: recording hands over BGRX pictures.
  std::unique_ptr<SwsContext, SwsFree> frameConverter;
  AVStream* video = nullptr;  // owned by `format`
  AVStream* audio = nullptr;
  int64_t audioPosition = 0;
  int64_t lastIndex = -1;
  int64_t videoPackets = 0;
  int64_t chunks = 0;
  int64_t largestChunk = 0;
  bool diskFull = false;
  bool failed = false;
  bool finished = false;

  Outcome OpenEncoder();
  Outcome AddAudioStream();
  Outcome Mux(AVPacket* pkt);
  Outcome DrainEncoder();
  void CheckDisk();
  Outcome CheckPicture(int64_t index, int width, int height) const;
  Outcome FreePicture(AVFrame*& picture);
  Outcome Encode(int64_t index, AVFrame* picture);
};

Outcome AviWriter::Impl::OpenEncoder() {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MSMPEG4V3);
  if (!codec) return Outcome::Fail("no MP43 (msmpeg4v3) encoder in this libavcodec");
  encoder.reset(avcodec_alloc_context3(codec));
  if (!encoder) return Outcome::Fail("out of memory for the encoder");
  AVCodecContext* c = encoder.get();
  c->width = settings.width;
  c->height = settings.height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = {1, settings.framesPerSecond};
  c->framerate = {settings.framesPerSecond, 1};
  c->gop_size = settings.keyFrameInterval;
  c->max_b_frames = 0;
  c->codec_tag = MKTAG('M', 'P', '4', '3');
  // "Quality 10000" asks for the compressor's best picture: a fixed
  // quantiser of 2. The nominally finer 1 is worse with this codec, whose
  // coefficient levels stop at +-127: sharp screen edges get clipped
  // (measured on a test card: 44 dB PSNR at 1 against 49 dB at 2, and half
  // again the size).
  constexpr int kBestQuantiser = 2;
  c->flags |= AV_CODEC_FLAG_QSCALE;
  c->global_quality = FF_QP2LAMBDA * kBestQuantiser;
  c->qmin = kBestQuantiser;
  c->qmax = kBestQuantiser;
  if (format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (int err = avcodec_open2(c, codec, nullptr); err < 0)
    return Outcome::Fail("cannot open the MP43 encoder: " + AvError(err));

  video = avformat_new_stream(format.get(), nullptr);
  if (!video) return Outcome::Fail("cannot add the video stream");
  video->time_base = c->time_base;
  video->avg_frame_rate = c->framerate;
  if (int err = avcodec_parameters_from_context(video->codecpar, c); err < 0)
    return Outcome::Fail("video stream parameters: " + AvError(err));
  video->codecpar->codec_tag = MKTAG('M', 'P', '4', '3');

  packet.reset(av_packet_alloc());
  audioPacket.reset(av_packet_alloc());
  if (!packet || !audioPacket) return Outcome::Fail("out of memory for packets");
  for (auto& picture : pictures) {
    picture.reset(av_frame_alloc());
    if (!picture) return Outcome::Fail("out of memory for frames");
    picture->format = c->pix_fmt;
    picture->width = c->width;
    picture->height = c->height;
    if (int err = av_frame_get_buffer(picture.get(), 0); err < 0)
      return Outcome::Fail("picture buffer: " + AvError(err));
  }
  return Outcome::Ok();
}

Outcome AviWriter::Impl::AddAudioStream() {
  audio = avformat_new_stream(format.get(), nullptr);
  if (!audio) return Outcome::Fail("cannot add the audio stream");
  AVCodecParameters* p = audio->codecpar;
  p->codec_type = AVMEDIA_TYPE_AUDIO;
  p->codec_id = AV_CODEC_ID_PCM_S16LE;
  p->codec_tag = 1;  // WAVE_FORMAT_PCM
  p->sample_rate = kAudioRate;
  av_channel_layout_default(&p->ch_layout, 2);
  p->format = AV_SAMPLE_FMT_S16;
  p->bits_per_coded_sample = 16;
  p->block_align = kAudioFrameBytes;
  p->bit_rate = int64_t{kAudioRate} * kAudioFrameBytes * 8;
  audio->time_base = {1, kAudioRate};
  return Outcome::Ok();
}

Outcome AviWriter::Impl::Mux(AVPacket* pkt) {
  largestChunk = std::max<int64_t>(largestChunk, pkt->size);
  // Written in the order given (a sound chunk, then its picture), not through
  // the interleaving queue: the order is already right, and a failing disk
  // must show at the chunk that hit it.
  const int err = av_write_frame(format.get(), pkt);
  av_packet_unref(pkt);
  if (err < 0) {
    failed = true;
    return Outcome::Fail("writing " + path + ": " + AvError(err));
  }
  ++chunks;
  return Outcome::Ok();
}

Outcome AviWriter::Impl::DrainEncoder() {
  for (;;) {
    const int err = avcodec_receive_packet(encoder.get(), packet.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return Outcome::Ok();
    if (err < 0) return Outcome::Fail("encoding: " + AvError(err));
    av_packet_rescale_ts(packet.get(), encoder->time_base, video->time_base);
    packet->stream_index = video->index;
    ++videoPackets;
    if (Outcome s = Mux(packet.get()); !s.ok()) return s;
  }
}

void AviWriter::Impl::CheckDisk() {
  const int64_t reserve = 2 * int64_t{kIoBufferSize} + 2 * largestChunk + kTrailerBase +
                          kIndexBytesPerChunk * (chunks + 64);
  if (!sink->Reserve(reserve)) diskFull = true;
}

AviWriter::AviWriter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

AviWriter::~AviWriter() {
  if (!impl_->finished) Finish();
}

Outcome AviWriter::Create(UniqueFd file, const std::string& path, const AviSettings& settings,
                         std::unique_ptr<AviWriter>& out) {
  base::RouteCodecMessagesToLog();
  if (settings.width <= 0 || settings.height <= 0 || settings.width % 4 || settings.height % 4)
    return Outcome::Fail("picture size must be positive multiples of 4");
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->settings = settings;
  impl->sink = std::make_unique<FileSink>(std::move(file));

  AVFormatContext* format = nullptr;
  if (int err = avformat_alloc_output_context2(&format, nullptr, "avi", path.c_str()); err < 0)
    return Outcome::Fail("no AVI muxer: " + AvError(err));
  impl->format.reset(format);
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (!buffer) return Outcome::Fail("out of memory for file buffers");
  AVIOContext* io = avio_alloc_context(buffer, kIoBufferSize, 1, impl->sink.get(), nullptr,
                                       &FileSink::Write, &FileSink::Seek);
  if (!io) {
    av_free(buffer);
    return Outcome::Fail("out of memory for file buffers");
  }
  impl->io.reset(io);
  format->pb = io;
  format->flags |= AVFMT_FLAG_CUSTOM_IO;

  if (Outcome s = impl->OpenEncoder(); !s.ok()) return s;
  if (Outcome s = impl->AddAudioStream(); !s.ok()) return s;
  if (int err = avformat_write_header(format, nullptr); err < 0)
    return Outcome::Fail("writing the AVI header to " + path + ": " + AvError(err));
  impl->CheckDisk();
  out.reset(new AviWriter(std::move(impl)));
  return Outcome::Ok();
}

Outcome AviWriter::WriteAudio(std::span<const uint8_t> chunk) {
  return WriteAudio([chunk](const AudioMemory& memory) -> std::size_t {
    const std::size_t bytes = chunk.size() / kAudioFrameBytes * kAudioFrameBytes;
    if (bytes == 0) return 0;
    const std::span<uint8_t> out = memory(bytes);
    if (out.size() < bytes) return 0;
    std::memcpy(out.data(), chunk.data(), bytes);
    return bytes;
  });
}

Outcome AviWriter::WriteAudio(const AudioChunkMaker& make) {
  Impl& m = *impl_;
  if (m.failed || m.finished) return Outcome::Fail("the file is closed to writing");
  AVPacket* pkt = m.audioPacket.get();
  bool noMemory = false;
  const std::size_t made = make([&](std::size_t bytes) -> std::span<uint8_t> {
    av_packet_unref(pkt);
    if (bytes > static_cast<std::size_t>(INT32_MAX / 2) ||
        av_new_packet(pkt, static_cast<int>(bytes)) < 0) {
      noMemory = true;
      return {};
    }
    return {pkt->data, bytes};
  });
  const int frames = static_cast<int>(std::min<std::size_t>(made, pkt->size) / kAudioFrameBytes);
  if (noMemory) return Outcome::Fail("out of memory for a sound chunk");
  if (frames == 0) {
    av_packet_unref(pkt);
    return Outcome::Ok();
  }
  av_shrink_packet(pkt, frames * kAudioFrameBytes);
  pkt->stream_index = m.audio->index;
  pkt->pts = pkt->dts = m.audioPosition;
  pkt->duration = frames;
  pkt->flags |= AV_PKT_FLAG_KEY;
  av_packet_rescale_ts(pkt, AVRational{1, kAudioRate}, m.audio->time_base);
  if (Outcome s = m.Mux(pkt); !s.ok()) return s;
  m.audioPosition += frames;
  m.CheckDisk();
  return Outcome::Ok();
}

Outcome AviWriter::Impl::CheckPicture(int64_t index, int width, int height) const {
  if (failed || finished) return Outcome::Fail("the file is closed to writing");
  if (index <= lastIndex) return Outcome::Fail("frame indices must grow");
  if (width < settings.width || height < settings.height)
    return Outcome::Fail("picture smaller than the stream");
  return Outcome::Ok();
}

Outcome AviWriter::Impl::FreePicture(AVFrame*& picture) {
  picture = pictures[0].get();
  for (auto& candidate : pictures)
    if (av_frame_is_writable(candidate.get())) {
      picture = candidate.get();
      break;
    }
  if (int err = av_frame_make_writable(picture); err < 0)
    return Outcome::Fail("picture buffer: " + AvError(err));
  return Outcome::Ok();
}

Outcome AviWriter::Impl::Encode(int64_t index, AVFrame* picture) {
  picture->pts = index;
  if (int err = avcodec_send_frame(encoder.get(), picture); err < 0)
    return Outcome::Fail("encoding: " + AvError(err));
  lastIndex = index;
  if (Outcome s = DrainEncoder(); !s.ok()) {
    failed = true;
    return s;
  }
  CheckDisk();
  return Outcome::Ok();
}

Outcome AviWriter::WriteVideo(int64_t index, const capture::Frame& frame) {
  Impl& m = *impl_;
  if (Outcome s = m.CheckPicture(index, frame.width(), frame.height()); !s.ok()) return s;
  if (!m.frameConverter) {
    m.frameConverter.reset(sws_getContext(m.settings.width, m.settings.height, AV_PIX_FMT_BGR24,
                                          m.settings.width, m.settings.height, AV_PIX_FMT_YUV420P,
                                          SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!m.frameConverter) return Outcome::Fail("no BGR24 to YUV 4:2:0 converter");
  }
  AVFrame* picture = nullptr;
  if (Outcome s = m.FreePicture(picture); !s.ok()) return s;
  // The frame is stored bottom-up: start at its last row and walk backwards.
  const int stride = static_cast<int>(frame.stride());
  const uint8_t* src[1] = {frame.pixels() + static_cast<size_t>(frame.height() - 1) * stride};
  const int srcStride[1] = {-stride};
  sws_scale(m.frameConverter.get(), src, srcStride, 0, m.settings.height, picture->data,
            picture->linesize);
  return m.Encode(index, picture);
}

Outcome AviWriter::WriteVideo(int64_t index, const capture::BgrxView& in) {
  Impl& m = *impl_;
  if (Outcome s = m.CheckPicture(index, in.width, in.height); !s.ok()) return s;
  AVFrame* picture = nullptr;
  if (Outcome s = m.FreePicture(picture); !s.ok()) return s;
  capture::BgrxToYuv420({in.data, in.stride, m.settings.width, m.settings.height},
                        {picture->data[0], picture->data[1], picture->data[2],
                         picture->linesize[0], picture->linesize[1], picture->linesize[2]});
  return m.Encode(index, picture);
}

bool AviWriter::diskFull() const { return impl_->diskFull; }
int64_t AviWriter::audioPosition() const { return impl_->audioPosition; }
int64_t AviWriter::videoPacketsWritten() const { return impl_->videoPackets; }

Outcome AviWriter::Finish() {
  Impl& m = *impl_;
  if (m.finished) return Outcome::Ok();
  m.finished = true;
  Outcome result = Outcome::Ok();
  if (!m.failed) {
    avcodec_send_frame(m.encoder.get(), nullptr);
    result = m.DrainEncoder();
  }
  // The trailer is attempted even after a failed write: with the header
  // rewritten, a player still finds what reached the disk.
  if (int err = av_write_trailer(m.format.get()); err < 0 && result.ok())
    result = Outcome::Fail("finishing " + m.path + ": " + AvError(err));
  if (m.failed && result.ok()) result = Outcome::Fail("an earlier write to " + m.path + " failed");
  m.sink->Close();
  return result;
}

}  // namespace recording
