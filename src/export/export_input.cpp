#include "export/export_streams.h"

#include <cmath>

namespace exporter {
namespace {

bool OpenDecoder(AVFormatContext* format, AVMediaType type, InputStream* out) {
  const int index = av_find_best_stream(format, type, -1, -1, nullptr, 0);
  if (index < 0) return true;  // none of this kind: not an error
  AVStream* stream = format->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return false;
  CodecPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0) return false;
  ctx->pkt_timebase = stream->time_base;
  // Frame threads would only add latency at this size; slices are free.
  ctx->thread_count = 0;
  ctx->thread_type = FF_THREAD_SLICE;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return false;
  out->stream = stream;
  out->decoder = std::move(ctx);
  return true;
}

}  // namespace

std::string ErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool Input::Open(const std::string& path, std::string* error) {
  AVFormatContext* raw = nullptr;
  int code = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
  if (code < 0) {
    *error = "The recording \"" + path + "\" cannot be opened: " + ErrorText(code) + ".";
    return false;
  }
  format.reset(raw);
  code = avformat_find_stream_info(raw, nullptr);
  if (code < 0) {
    *error = "The recording \"" + path + "\" cannot be read: " + ErrorText(code) + ".";
    return false;
  }
  if (!OpenDecoder(raw, AVMEDIA_TYPE_VIDEO, &video) ||
      !OpenDecoder(raw, AVMEDIA_TYPE_AUDIO, &audio)) {
    *error = "The recording \"" + path + "\" uses a format that cannot be decoded.";
    return false;
  }
  if (video && (video.decoder->width <= 0 || video.decoder->height <= 0)) video = {};
  if (!video && !audio) {
    *error = "The recording \"" + path + "\" holds neither picture nor sound.";
    return false;
  }
  if (raw->duration != AV_NOPTS_VALUE && raw->duration > 0)
    duration = static_cast<double>(raw->duration) / AV_TIME_BASE;
  if (video) {
    const AVRational rate = av_guess_frame_rate(raw, video.stream, nullptr);
    frameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 25.0;
  }
  return true;
}

double Input::Seconds(const AVFrame* frame, const AVStream* stream) const {
  const int64_t stamp = frame->best_effort_timestamp;
  if (stamp == AV_NOPTS_VALUE) return NAN;
  const int64_t start = format->start_time == AV_NOPTS_VALUE
                            ? 0
                            : av_rescale_q(format->start_time, AV_TIME_BASE_Q, stream->time_base);
  return static_cast<double>(stamp - start) * av_q2d(stream->time_base);
}

bool Input::SeekTo(double seconds) {
  if (seconds <= 0.0) return true;
  int64_t target = static_cast<int64_t>(seconds * AV_TIME_BASE);
  if (format->start_time != AV_NOPTS_VALUE) target += format->start_time;
  if (av_seek_frame(format.get(), -1, target, AVSEEK_FLAG_BACKWARD) < 0) return false;
  if (video) avcodec_flush_buffers(video.decoder.get());
  if (audio) avcodec_flush_buffers(audio.decoder.get());
  return true;
}

}  // namespace exporter
