#include "avi_check.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/process.h"
#include "support/temp_dir.h"

namespace avicheck {

std::map<std::string, std::string> Probe(const std::string& path) {
  TempDir dir;
  const std::string out = dir / "probe.txt";
  auto pid = platform::Spawn({"ffprobe", "-v", "error", "-show_streams", "-show_format", "-of",
                              "flat", path},
                             {.extraEnv = {}, .outputFile = out, .searchPath = true});
  std::map<std::string, std::string> result;
  if (!pid) return result;
  auto status = platform::WaitChild(*pid, std::chrono::seconds(20));
  if (!status || *status != 0) return result;
  std::istringstream lines(ReadFile(out));
  for (std::string line; std::getline(lines, line);) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value = line.substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    result[line.substr(0, eq)] = value;
  }
  return result;
}

namespace {
struct FormatClose {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
}  // namespace

Contents Read(const std::string& path, const std::function<void(const Picture&)>& onPicture) {
  Contents c;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return c;
  std::unique_ptr<AVFormatContext, FormatClose> format(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) return c;
  c.opened = true;
  int videoIndex = -1, audioIndex = -1;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVCodecParameters* p = raw->streams[i]->codecpar;
    if (p->codec_type == AVMEDIA_TYPE_VIDEO) ++c.videoStreams, videoIndex = static_cast<int>(i);
    if (p->codec_type == AVMEDIA_TYPE_AUDIO) ++c.audioStreams, audioIndex = static_cast<int>(i);
  }
  std::unique_ptr<AVCodecContext, CodecFree> decoder;
  if (videoIndex >= 0) {
    const AVCodecParameters* p = raw->streams[videoIndex]->codecpar;
    decoder.reset(avcodec_alloc_context3(avcodec_find_decoder(p->codec_id)));
    avcodec_parameters_to_context(decoder.get(), p);
    // Damage that the decoder would conceal must count as a failure here.
    decoder->err_recognition |= AV_EF_EXPLODE | AV_EF_CRCCHECK | AV_EF_BITSTREAM;
    if (avcodec_open2(decoder.get(), decoder->codec, nullptr) < 0) decoder.reset();
  }
  if (audioIndex >= 0) {
    c.sampleRate = raw->streams[audioIndex]->codecpar->sample_rate;
    c.channels = raw->streams[audioIndex]->codecpar->ch_layout.nb_channels;
  }
  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  std::unique_ptr<SwsContext, SwsFree> toBgr;
  Picture picture;
  auto receive = [&] {
    while (decoder && avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
      ++c.pictures;
      if (frame->decode_error_flags) ++c.decodeErrors;
      if (!onPicture) continue;
      picture.width = frame->width;
      picture.height = frame->height;
      picture.pts = frame->best_effort_timestamp;
      picture.bgr.resize(static_cast<size_t>(frame->width) * frame->height * 3);
      toBgr.reset(sws_getContext(frame->width, frame->height,
                                 static_cast<AVPixelFormat>(frame->format), frame->width,
                                 frame->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr,
                                 nullptr));
      uint8_t* dst[1] = {picture.bgr.data()};
      int dstStride[1] = {frame->width * 3};
      sws_scale(toBgr.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride);
      onPicture(picture);
    }
  };
  while (av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == videoIndex) {
      // The demuxer hides the empty chunks of skipped indices; their gaps
      // show in the timestamps.
      if (packet->size > 0) {
        ++c.videoPackets;
        c.lastVideoPts = std::max(c.lastVideoPts, packet->pts);
        if (decoder && avcodec_send_packet(decoder.get(), packet.get()) < 0) ++c.decodeErrors;
        receive();
      }
    } else if (packet->stream_index == audioIndex) {
      ++c.audioPackets;
      const auto* s = reinterpret_cast<const int16_t*>(packet->data);
      c.samples.insert(c.samples.end(), s, s + packet->size / 2);
    }
    av_packet_unref(packet.get());
  }
  if (decoder) {
    avcodec_send_packet(decoder.get(), nullptr);
    receive();
  }
  return c;
}

}  // namespace avicheck
