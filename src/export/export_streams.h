#pragma once
// The two ends of an export: the recording read with its decoders, and the
// new file with its encoders and muxer. Errors come back as plain words for
// the user.
#include <memory>
#include <string>

#include "export/export_engine.h"
#include "media/ffmpeg_handles.h"

namespace exporter {

using InputPtr = std::unique_ptr<AVFormatContext, ffmpeg::InputClose>;
using OutputPtr = std::unique_ptr<AVFormatContext, ffmpeg::OutputFree>;
using CodecPtr = std::unique_ptr<AVCodecContext, ffmpeg::CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, ffmpeg::FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, ffmpeg::PacketFree>;

// FFmpeg's words for an error code.
std::string ErrorText(int code);

struct InputStream {
  AVStream* stream = nullptr;  // null: the recording has none of this kind
  CodecPtr decoder;
  explicit operator bool() const { return stream != nullptr; }
};

struct Input {
  InputPtr format;
  InputStream video, audio;
  double duration = 0.0;   // seconds; 0 when the file does not say
  double frameRate = 0.0;  // pictures per second of the video stream

  // Opens `path` and the decoders of its first picture and sound streams.
  bool Open(const std::string& path, std::string* error);
  // Seconds on the recording's time line (its first stamp is 0).
  double Seconds(const AVFrame* frame, const AVStream* stream) const;
  // To the key frame at or before `seconds`; false leaves reading at the start.
  bool SeekTo(double seconds);
};

struct VideoSettings {
  int width = 0, height = 0;
  AVRational frameRate{25, 1};
};

struct AudioSettings {
  int sampleRate = 44100;
  int channels = 2;
};

class Output {
 public:
  // Makes the file at `path` (nothing else is created). Either settings may
  // be null: that stream is left out.
  bool Open(const std::string& path, const OutputFormat& format, const VideoSettings* video,
            const AudioSettings* audio, std::string* error);
  AVCodecContext* video() const { return video_.get(); }
  AVCodecContext* audio() const { return audio_.get(); }
  // Encodes one frame (null: drains the encoder) and writes its packets.
  bool WriteVideo(const AVFrame* frame, std::string* error);
  bool WriteAudio(const AVFrame* frame, std::string* error);
  // Drains both encoders, writes the trailer and closes the file, reporting
  // any write that failed on the way (a full disk shows here at the latest).
  bool Finish(std::string* error);

 private:
  bool Encode(AVCodecContext* codec, AVStream* stream, const AVFrame* frame, std::string* error);
  bool Failed(int code, const char* what, std::string* error) const;

  OutputPtr format_;
  CodecPtr video_, audio_;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
  PacketPtr packet_{av_packet_alloc()};
};

}  // namespace exporter
