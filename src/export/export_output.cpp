#include "export/export_streams.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <climits>
#include <cstdlib>

namespace exporter {
namespace {

// Tuned for speed over size: an export should not take much longer than the
// call itself, on a two-core machine.
void TuneVideo(AVCodecContext* c, const std::string& name, int bitRate) {
  c->bit_rate = bitRate;
  c->thread_count = 0;
  if (name == "libx264") {
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
  } else if (name == "libvpx-vp9") {
    av_opt_set(c->priv_data, "deadline", "realtime", 0);
    av_opt_set_int(c->priv_data, "cpu-used", 8, 0);
    av_opt_set_int(c->priv_data, "row-mt", 1, 0);
  } else if (name == "msmpeg4" && bitRate <= 0) {
    // The recorder's own quality when no rate is chosen.
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * 3;
  }
  c->gop_size = 250;
  if (name == "msmpeg4") c->gop_size = 25;  // its decoders seek by key frame
}

int BestSampleRate(const AVCodec* codec, int wanted) {
  if (!codec->supported_samplerates) return wanted;
  int best = 0;
  for (const int* r = codec->supported_samplerates; *r; ++r)
    if (*r == wanted) return wanted;
    else if (std::abs(*r - wanted) < std::abs(best - wanted)) best = *r;
  return best > 0 ? best : wanted;
}

AVSampleFormat BestSampleFormat(const AVCodec* codec) {
  if (!codec->sample_fmts) return AV_SAMPLE_FMT_S16;
  for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == AV_SAMPLE_FMT_S16) return *f;  // no conversion after the volume
  return codec->sample_fmts[0];
}

}  // namespace

bool Output::Failed(int code, const char* what, std::string* error) const {
  *error = std::string(what) + ": " + ErrorText(code) + ".";
  return false;
}

bool Output::Open(const std::string& path, const OutputFormat& format, const VideoSettings* video,
                  const AudioSettings* audio, std::string* error) {
  AVFormatContext* raw = nullptr;
  int code = avformat_alloc_output_context2(&raw, nullptr, format.container.c_str(), path.c_str());
  if (code < 0 || !raw) return Failed(code, "The output format is not available", error);
  format_.reset(raw);
  const bool globalHeader = raw->oformat->flags & AVFMT_GLOBALHEADER;
  if (video) {
    const AVCodec* codec = avcodec_find_encoder_by_name(format.videoCodec.c_str());
    if (!codec) {
      *error = "The picture encoder \"" + format.videoCodec + "\" is not available.";
      return false;
    }
    video_.reset(avcodec_alloc_context3(codec));
    video_->width = video->width;
    video_->height = video->height;
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->framerate = video->frameRate;
    video_->time_base = av_inv_q(video->frameRate);
    video_->sample_aspect_ratio = {1, 1};
    TuneVideo(video_.get(), format.videoCodec, format.videoBitRate);
    if (globalHeader) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((code = avcodec_open2(video_.get(), codec, nullptr)) < 0)
      return Failed(code, "The picture encoder does not start", error);
    videoStream_ = avformat_new_stream(raw, nullptr);
    if (!videoStream_) return Failed(AVERROR(ENOMEM), "No stream", error);
    videoStream_->time_base = video_->time_base;
    videoStream_->avg_frame_rate = video->frameRate;
    videoStream_->sample_aspect_ratio = video_->sample_aspect_ratio;
    avcodec_parameters_from_context(videoStream_->codecpar, video_.get());
  }
  if (audio) {
    const AVCodec* codec = avcodec_find_encoder_by_name(format.audioCodec.c_str());
    if (!codec) {
      *error = "The sound encoder \"" + format.audioCodec + "\" is not available.";
      return false;
    }
    audio_.reset(avcodec_alloc_context3(codec));
    audio_->sample_rate = BestSampleRate(codec, audio->sampleRate);
    audio_->sample_fmt = BestSampleFormat(codec);
    av_channel_layout_default(&audio_->ch_layout, audio->channels);
    audio_->time_base = {1, audio_->sample_rate};
    audio_->bit_rate = format.audioBitRate;
    if (globalHeader) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((code = avcodec_open2(audio_.get(), codec, nullptr)) < 0)
      return Failed(code, "The sound encoder does not start", error);
    audioStream_ = avformat_new_stream(raw, nullptr);
    if (!audioStream_) return Failed(AVERROR(ENOMEM), "No stream", error);
    audioStream_->time_base = audio_->time_base;
    avcodec_parameters_from_context(audioStream_->codecpar, audio_.get());
  }
  if ((code = avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
    return Failed(code, ("The file \"" + path + "\" cannot be made").c_str(), error);
  if ((code = avformat_write_header(raw, nullptr)) < 0)
    return Failed(code, "The file cannot be written", error);
  return true;
}

bool Output::Encode(AVCodecContext* codec, AVStream* stream, const AVFrame* frame,
                    std::string* error) {
  int code = avcodec_send_frame(codec, frame);
  if (code < 0 && !(code == AVERROR_EOF && !frame))
    return Failed(code, "Encoding failed", error);
  while ((code = avcodec_receive_packet(codec, packet_.get())) >= 0) {
    av_packet_rescale_ts(packet_.get(), codec->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    code = av_interleaved_write_frame(format_.get(), packet_.get());
    if (code < 0) return Failed(code, "The file cannot be written", error);
  }
  if (code != AVERROR(EAGAIN) && code != AVERROR_EOF)
    return Failed(code, "Encoding failed", error);
  if (format_->pb && format_->pb->error < 0)
    return Failed(format_->pb->error, "The file cannot be written", error);
  return true;
}

bool Output::WriteVideo(const AVFrame* frame, std::string* error) {
  return Encode(video_.get(), videoStream_, frame, error);
}

bool Output::WriteAudio(const AVFrame* frame, std::string* error) {
  return Encode(audio_.get(), audioStream_, frame, error);
}

bool Output::Finish(std::string* error) {
  if (video_ && !WriteVideo(nullptr, error)) return false;
  if (audio_ && !WriteAudio(nullptr, error)) return false;
  int code = av_write_trailer(format_.get());
  if (code < 0) return Failed(code, "The file cannot be finished", error);
  if (!format_->pb) return true;  // a format that writes no file of its own
  if (format_->pb->error < 0)
    return Failed(format_->pb->error, "The file cannot be written", error);
  code = avio_closep(&format_->pb);
  if (code < 0) return Failed(code, "The file cannot be closed", error);
  return true;
}

}  // namespace exporter
