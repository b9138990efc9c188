#pragma once
// Owners of FFmpeg's handles: each deleter frees the handle the way FFmpeg
// wants it freed, so a handle held in a std::unique_ptr never leaks on an
// early return. Shared by every file that speaks FFmpeg.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace ffmpeg {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
// An output context whose I/O belongs to someone else.
struct FormatContextFree {
  void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
// An output context that opened its own file.
struct OutputFree {
  void operator()(AVFormatContext* c) const {
    if (c->pb) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};
struct InputClose {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
// A custom I/O context and the buffer it was given.
struct IoContextFree {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
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

}  // namespace ffmpeg
