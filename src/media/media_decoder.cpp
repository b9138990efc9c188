#include "media/media_decoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

#include "base/codec_log.h"
#include "media/ffmpeg_handles.h"

namespace media {

namespace {

constexpr size_t kMaxNameLength = 259;

struct SwrFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
using InputPtr = std::unique_ptr<AVFormatContext, ffmpeg::InputClose>;
using CodecPtr = std::unique_ptr<AVCodecContext, ffmpeg::CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, ffmpeg::FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, ffmpeg::PacketFree>;
using SwsPtr = std::unique_ptr<SwsContext, ffmpeg::SwsFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;

// (stamp - stream start) in seconds; the start counts only when known.
double Seconds(int64_t stamp, const AVStream* stream) {
  const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  return static_cast<double>(stamp - start) * av_q2d(stream->time_base);
}

// The decoder settings every stream gets: robust against damaged input
// (recordings a crash cut short), fast, one thread so each call does its
// work at once and in order.
CodecPtr OpenDecoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return nullptr;
  CodecPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0) return nullptr;
  ctx->pkt_timebase = stream->time_base;
  ctx->workaround_bugs = FF_BUG_AUTODETECT;
  ctx->err_recognition = AV_EF_CAREFUL;
  ctx->error_concealment = FF_EC_GUESS_MVS | FF_EC_DEBLOCK;
  ctx->flags2 |= AV_CODEC_FLAG2_FAST;
  ctx->lowres = 0;
  ctx->idct_algo = FF_IDCT_AUTO;
  ctx->skip_frame = AVDISCARD_DEFAULT;
  ctx->skip_idct = AVDISCARD_DEFAULT;
  ctx->skip_loop_filter = AVDISCARD_DEFAULT;
  ctx->debug = 0;
  ctx->thread_count = 1;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return ctx;
}

}  // namespace

// One of the two inputs: its own context, its one stream and decoder.
struct DecoderInput {
  InputPtr format;
  CodecPtr codec;
  AVStream* stream = nullptr;
  int streamIndex = -1;
  bool ended = false;     // reading a packet failed
  bool draining = false;  // the decoder was told the packets are over

  explicit operator bool() const { return format != nullptr; }
  bool Fail() {
    Reset();
    return false;
  }
  bool AtEnd() const { return ended || (format->pb && format->pb->eof_reached); }
  void Reset() {
    codec.reset();
    format.reset();
    stream = nullptr;
    streamIndex = -1;
  }
};

class MediaDecoderImpl {
 public:
  int Open(const char* fileName);
  int GetStreamInfo(StreamInfo* info) const;
  int Seek(double fraction);
  int DecodeVideoFrame(DecodedFrame* frame);
  int DecodeAudio(DecodedFrame* frame);
  bool VideoEnded() const { return video_ && video_.AtEnd(); }
  bool AudioEnded() const { return audio_ && audio_.AtEnd(); }
  bool HasVideo() const { return video_.streamIndex >= 0; }
  bool HasAudio() const { return audio_.streamIndex >= 0; }
  int VideoWidth() const { return HasVideo() ? video_.stream->codecpar->width : 0; }
  int VideoHeight() const { return HasVideo() ? video_.stream->codecpar->height : 0; }
  void Close();

  bool generatePts = false;
  int64_t startOffset = 0;  // microseconds

 private:
  bool OpenInput(DecoderInput* input, AVMediaType type);
  int SeekInput(DecoderInput* input, int64_t target, bool toEnd);
  // The next decoded frame of `input`; false when none comes of the packet
  // read (the decoder is filling its pipeline) or the input is exhausted.
  // `stamp` gets the read packet's time.
  enum class Next { kFrame, kNoFrame, kExhausted };
  Next NextFrame(DecoderInput* input, AVFrame* out, bool video, double* stamp);
  bool ConvertPicture(const AVFrame* picture, DecodedFrame* frame);
  int ConvertSound(const AVFrame* sound, DecodedFrame* frame);
  int DrainSound(DecodedFrame* frame);

  std::string fileName_;
  DecoderInput video_;
  DecoderInput audio_;
  PacketPtr packet_{av_packet_alloc()};
  FramePtr decoded_{av_frame_alloc()};
  SwsPtr scaler_;
  SwrPtr resampler_;
  int resamplerRate_ = 0;
  int resamplerFormat_ = -1;
  AVChannelLayout resamplerLayout_{};
  double lastVideoTime_ = 0.0;
};

bool MediaDecoderImpl::OpenInput(DecoderInput* input, AVMediaType type) {
  base::RouteCodecMessagesToLog();
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, fileName_.c_str(), nullptr, nullptr) < 0) return false;
  input->format.reset(raw);
  AVFormatContext* ctx = raw;
  if (generatePts) ctx->flags |= AVFMT_FLAG_GENPTS;
  if (avformat_find_stream_info(ctx, nullptr) < 0) return input->Fail();
  // Probing may have read to the end of a short file.
  if (ctx->pb) ctx->pb->eof_reached = 0;
  // Reading begins at the file's start by itself, the packets read while
  // probing first. Seeking there anyway would cost codecs with a pre-roll
  // their first block (AAC comes out with 21 ms of silence), so only a
  // start offset of the caller's is sought: to the key frame at or before.
  if (startOffset != AV_NOPTS_VALUE && startOffset != 0) {
    int64_t target = startOffset;
    if (ctx->start_time != AV_NOPTS_VALUE) target += ctx->start_time;
    av_seek_frame(ctx, -1, target, AVSEEK_FLAG_BACKWARD);
  }
  int chosen = -1;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    if (ctx->streams[i]->codecpar->codec_type == type) {
      chosen = static_cast<int>(i);
      break;
    }
  }
  if (chosen < 0) return input->Fail();
  // The demuxer skips the other streams' packets without handing them out.
  for (unsigned i = 0; i < ctx->nb_streams; ++i)
    if (static_cast<int>(i) != chosen) ctx->streams[i]->discard = AVDISCARD_ALL;
  input->codec = OpenDecoder(ctx->streams[chosen]);
  if (!input->codec) return input->Fail();
  input->stream = ctx->streams[chosen];
  input->streamIndex = chosen;
  input->ended = false;
  input->draining = false;
  return true;
}

int MediaDecoderImpl::Open(const char* fileName) {
  // A name that cannot be one of ours leaves what is open alone.
  if (!fileName || std::strlen(fileName) > kMaxNameLength) return -1;
  Close();
  fileName_ = fileName;
  const bool video = OpenInput(&video_, AVMEDIA_TYPE_VIDEO);
  const bool audio = OpenInput(&audio_, AVMEDIA_TYPE_AUDIO);
  return video || audio ? 1 : -1;
}

void MediaDecoderImpl::Close() {
  video_.Reset();
  audio_.Reset();
  scaler_.reset();
  resampler_.reset();
  av_channel_layout_uninit(&resamplerLayout_);
  resamplerRate_ = 0;
  resamplerFormat_ = -1;
  lastVideoTime_ = 0.0;
}

int MediaDecoderImpl::GetStreamInfo(StreamInfo* info) const {
  if (!info) return -1;
  *info = StreamInfo{};
  if ((!video_ && !audio_) || (!HasVideo() && !HasAudio())) return -1;
  info->hasVideo = HasVideo() ? 1 : 0;
  info->hasAudio = HasAudio() ? 1 : 0;
  if (HasVideo()) {
    info->width = VideoWidth();
    info->height = VideoHeight();
    const AVRational rate = video_.stream->r_frame_rate;
    info->frameRate = rate.den ? av_q2d(rate) : 0.0;
  }
  int64_t duration = AV_NOPTS_VALUE;
  if (video_ && video_.format->duration > 0) duration = video_.format->duration;
  else if (audio_ && audio_.format->duration > 0) duration = audio_.format->duration;
  info->duration = duration == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(duration) * 0.000001;
  if (HasAudio()) {
    info->sampleRate = audio_.codec->sample_rate;
    info->channels = audio_.codec->ch_layout.nb_channels == 1 ? 1 : 2;
  }
  return 1;
}

int MediaDecoderImpl::SeekInput(DecoderInput* input, int64_t target, bool toEnd) {
  AVFormatContext* ctx = input->format.get();
  // The first key frame at or after the target; where there is none after
  // it (the target lies in the last stretch of the file), the one before.
  int r = av_seek_frame(ctx, -1, target, 0);
  if (r < 0) r = av_seek_frame(ctx, -1, target, AVSEEK_FLAG_BACKWARD);
  if (r < 0) return -1;
  if (input->codec) avcodec_flush_buffers(input->codec.get());
  input->ended = false;
  input->draining = false;
  if (toEnd) {
    // At the very end: what is left after that key frame is read away, so
    // the next read reports the end of the input.
    while (av_read_frame(ctx, packet_.get()) >= 0) av_packet_unref(packet_.get());
    input->ended = true;
  }
  return 1;
}

int MediaDecoderImpl::Seek(double fraction) {
  const DecoderInput* timing = video_ ? &video_ : audio_ ? &audio_ : nullptr;
  if (!timing) return -1;
  const AVFormatContext* ctx = timing->format.get();
  const double duration = ctx->duration > 0 ? static_cast<double>(ctx->duration) : 0.0;
  const int64_t start = ctx->start_time == AV_NOPTS_VALUE ? 0 : ctx->start_time;
  const int64_t target = static_cast<int64_t>(fraction * duration) + start;
  const bool toEnd = fraction >= 1.0;
  int result = 1;
  if (video_) result = SeekInput(&video_, target, toEnd) == 1 ? result : -1;
  if (audio_) {
    result = SeekInput(&audio_, target, toEnd) == 1 ? result : -1;
    resampler_.reset();  // sound buffered from before the seek is dropped
  }
  return result;
}

MediaDecoderImpl::Next MediaDecoderImpl::NextFrame(DecoderInput* input, AVFrame* out, bool video,
                                                   double* stamp) {
  AVCodecContext* codec = input->codec.get();
  // A packet may have given more than one frame.
  int r = avcodec_receive_frame(codec, out);
  if (r == 0) return Next::kFrame;
  if (r == AVERROR_EOF) return Next::kExhausted;
  AVPacket* packet = packet_.get();
  for (;;) {
    if (av_read_frame(input->format.get(), packet) < 0) {
      input->ended = true;
      // The frames the decoder still holds come out before the end.
      if (!input->draining) {
        avcodec_send_packet(codec, nullptr);
        input->draining = true;
      }
      return avcodec_receive_frame(codec, out) == 0 ? Next::kFrame : Next::kExhausted;
    }
    if (packet->stream_index == input->streamIndex) break;
    av_packet_unref(packet);
  }
  if (video) {
    *stamp = packet->dts == AV_NOPTS_VALUE ? 0.0 : Seconds(packet->dts, input->stream);
  } else {
    *stamp = packet->pts == AV_NOPTS_VALUE ? -1.0 : Seconds(packet->pts, input->stream);
  }
  // A damaged packet is skipped; the decoder goes on with the next.
  r = avcodec_send_packet(codec, packet);
  av_packet_unref(packet);
  if (r < 0) return Next::kNoFrame;
  return avcodec_receive_frame(codec, out) == 0 ? Next::kFrame : Next::kNoFrame;
}

int MediaDecoderImpl::DecodeVideoFrame(DecodedFrame* frame) {
  if (!HasVideo() || !frame || frame->width != VideoWidth() || frame->height != VideoHeight())
    return -1;
  av_frame_unref(decoded_.get());
  double stamp = lastVideoTime_;
  const Next next = NextFrame(&video_, decoded_.get(), true, &stamp);
  // The packet's time counts even when it gave no picture.
  lastVideoTime_ = stamp;
  frame->time = stamp;
  if (next != Next::kFrame) return -1;
  const bool converted = ConvertPicture(decoded_.get(), frame);
  av_frame_unref(decoded_.get());
  return converted ? 1 : -1;
}

bool MediaDecoderImpl::ConvertPicture(const AVFrame* picture, DecodedFrame* frame) {
  const int w = frame->width, h = frame->height;
  uint8_t* planes[3] = {frame->data.data(), frame->data.data() + w * h,
                        frame->data.data() + w * h + (w / 2) * (h / 2)};
  const int widths[3] = {w, w / 2, w / 2};
  const int heights[3] = {h, h / 2, h / 2};
  auto copyPlanes = [&](const AVFrame* from) {
    for (int p = 0; p < 3; ++p)
      av_image_copy_plane(planes[p], widths[p], from->data[p], from->linesize[p], widths[p],
                          heights[p]);
  };
  if (picture->format == AV_PIX_FMT_YUV420P && picture->width == w && picture->height == h) {
    copyPlanes(picture);
    return true;
  }
  // Any other format or size goes through the scaler.
  scaler_.reset(sws_getCachedContext(scaler_.release(), picture->width, picture->height,
                                     static_cast<AVPixelFormat>(picture->format), w, h,
                                     AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!scaler_) return false;
  if (w % 2 == 0 && h % 2 == 0) {
    const int strides[3] = {w, w / 2, w / 2};
    return sws_scale(scaler_.get(), picture->data, picture->linesize, 0, picture->height, planes,
                     strides) > 0;
  }
  // The scaler writes chroma rounded up; an odd-sized picture's last chroma
  // column and row have no place in the frame and are left out.
  FramePtr scratch(av_frame_alloc());
  scratch->format = AV_PIX_FMT_YUV420P;
  scratch->width = w;
  scratch->height = h;
  if (av_frame_get_buffer(scratch.get(), 0) < 0) return false;
  if (sws_scale(scaler_.get(), picture->data, picture->linesize, 0, picture->height,
                scratch->data, scratch->linesize) <= 0)
    return false;
  copyPlanes(scratch.get());
  return true;
}

int MediaDecoderImpl::DecodeAudio(DecodedFrame* frame) {
  if (!HasAudio() || !frame) return -1;
  if (frame->data.size() < DecodedFrame::kAudioCapacitySamples * sizeof(int16_t)) return -1;
  // Sound left over when a block did not fit the frame comes first.
  if (const int drained = DrainSound(frame); drained > 0) return 1;
  for (;;) {
    av_frame_unref(decoded_.get());
    double stamp = frame->time;
    const Next next = NextFrame(&audio_, decoded_.get(), false, &stamp);
    frame->time = stamp;
    if (next == Next::kExhausted) return -1;
    if (next == Next::kNoFrame) continue;
    const int samples = ConvertSound(decoded_.get(), frame);
    av_frame_unref(decoded_.get());
    if (samples > 0) return 1;
  }
}

int MediaDecoderImpl::ConvertSound(const AVFrame* sound, DecodedFrame* frame) {
  AVChannelLayout in{};
  if (sound->ch_layout.nb_channels > 0 && sound->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_copy(&in, &sound->ch_layout);
  else
    av_channel_layout_default(&in, std::max(1, sound->ch_layout.nb_channels));
  // The resampler is made for the first block and again whenever the
  // stream changes its format on the way.
  if (!resampler_ || resamplerRate_ != sound->sample_rate || resamplerFormat_ != sound->format ||
      av_channel_layout_compare(&resamplerLayout_, &in) != 0) {
    AVChannelLayout out{};
    av_channel_layout_default(&out, in.nb_channels == 1 ? 1 : 2);
    SwrContext* raw = nullptr;
    if (swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, sound->sample_rate, &in,
                            static_cast<AVSampleFormat>(sound->format), sound->sample_rate, 0,
                            nullptr) < 0 ||
        swr_init(raw) < 0) {
      swr_free(&raw);
      resampler_.reset();
      av_channel_layout_uninit(&in);
      return 0;
    }
    resampler_.reset(raw);
    resamplerRate_ = sound->sample_rate;
    resamplerFormat_ = sound->format;
    av_channel_layout_uninit(&resamplerLayout_);
    av_channel_layout_copy(&resamplerLayout_, &in);
  }
  av_channel_layout_uninit(&in);
  const int channels = resamplerLayout_.nb_channels == 1 ? 1 : 2;
  uint8_t* outData[1] = {frame->data.data()};
  const int capacity = DecodedFrame::kAudioCapacitySamples / channels;
  const int got = swr_convert(resampler_.get(), outData, capacity,
                              const_cast<const uint8_t**>(sound->extended_data), sound->nb_samples);
  frame->count = got > 0 ? got * channels : 0;
  return frame->count;
}

int MediaDecoderImpl::DrainSound(DecodedFrame* frame) {
  if (!resampler_ || swr_get_delay(resampler_.get(), resamplerRate_) <= 0) return 0;
  const int channels = resamplerLayout_.nb_channels == 1 ? 1 : 2;
  uint8_t* outData[1] = {frame->data.data()};
  const int got = swr_convert(resampler_.get(), outData,
                              DecodedFrame::kAudioCapacitySamples / channels, nullptr, 0);
  frame->count = got > 0 ? got * channels : 0;
  return frame->count;
}

// ---- CMediaDecoder ----

CMediaDecoder::CMediaDecoder() = default;
CMediaDecoder::~CMediaDecoder() = default;

int CMediaDecoder::Initialise() {
  // Formats and codecs need no registration in this FFmpeg. Missing time
  // stamps are not made up: a packet without one is stamped as such.
  impl_ = std::make_unique<MediaDecoderImpl>();
  impl_->generatePts = false;
  impl_->startOffset = 0;
  return 1;
}

int CMediaDecoder::Open(const char* fileName) { return impl_ ? impl_->Open(fileName) : -1; }

int CMediaDecoder::GetStreamInfo(StreamInfo* info) const {
  return impl_ ? impl_->GetStreamInfo(info) : -1;
}

int CMediaDecoder::Seek(double fraction) { return impl_ ? impl_->Seek(fraction) : -1; }

std::unique_ptr<DecodedFrame> CMediaDecoder::CreateVideoFrame() const {
  if (!impl_ || !impl_->HasVideo()) return nullptr;
  const int w = impl_->VideoWidth(), h = impl_->VideoHeight();
  if (w <= 0 || h <= 0) return nullptr;
  auto frame = std::make_unique<DecodedFrame>();
  frame->data.assign(static_cast<size_t>(w) * h + 2 * static_cast<size_t>(w / 2) * (h / 2), 0);
  frame->width = w;
  frame->height = h;
  return frame;
}

std::unique_ptr<DecodedFrame> CMediaDecoder::CreateAudioFrame() const {
  auto frame = std::make_unique<DecodedFrame>();
  frame->data.assign(DecodedFrame::kAudioCapacitySamples * sizeof(int16_t), 0);
  frame->width = DecodedFrame::kAudioCapacitySamples;
  return frame;
}

int CMediaDecoder::DecodeVideoFrame(DecodedFrame* frame) {
  return impl_ ? impl_->DecodeVideoFrame(frame) : -1;
}

int CMediaDecoder::DecodeAudio(DecodedFrame* frame) { return impl_ ? impl_->DecodeAudio(frame) : -1; }

bool CMediaDecoder::VideoEnded() const { return impl_ && impl_->VideoEnded(); }
bool CMediaDecoder::AudioEnded() const { return impl_ && impl_->AudioEnded(); }

void CMediaDecoder::Close() {
  if (impl_) impl_->Close();
}

}  // namespace media
