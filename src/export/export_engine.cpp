#include "export/export_engine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/imgutils.h>
}

#include "base/codec_log.h"
#include "base/log.h"
#include "export/export_streams.h"
#include "export/picture_stage.h"
#include "export/sound_stage.h"

namespace exporter {
namespace {

// A recording that ends this much before the chosen end was cut short
// (truncated while we read it): the file would be silently incomplete.
constexpr double kShortfallSeconds = 0.5;

// The partial file: removed unless the export finished and renamed it.
class PartFile {
 public:
  explicit PartFile(std::string path) : path_(std::move(path)) {}
  ~PartFile() {
    if (!kept_) std::remove(path_.c_str());
  }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;
  const std::string& path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

class Job {
 public:
  Job(const ExportRequest& request, const std::function<void(int)>& progress,
      const std::atomic<bool>& cancel)
      : request_(request), edits_(Sanitise(request.edits)), progress_(progress), cancel_(cancel) {}
  base::Outcome Run();

 private:
  bool OpenOutput(const std::string& path, std::string* error);
  bool Pump(std::string* error);
  bool Decode(InputStream& in, const AVPacket* packet, std::string* error);
  bool TakeVideo(const AVFrame* frame, std::string* error);
  bool TakeAudio(const AVFrame* frame, bool flush, std::string* error);
  bool Finished() const {
    return (!useVideo_ || videoDone_) && (!useAudio_ || !sound_ || sound_->Done());
  }
  void Report(double seconds);

  const ExportRequest& request_;
  ExportEdits edits_;
  const std::function<void(int)>& progress_;
  const std::atomic<bool>& cancel_;
  Input input_;
  Output output_;
  std::optional<PictureStage> picture_;
  std::unique_ptr<SoundStage> sound_;
  AVBufferPool* pool_ = nullptr;
  std::unique_ptr<AVBufferPool, void (*)(AVBufferPool*)> poolOwner_{nullptr, [](AVBufferPool* p) {
                                                                      av_buffer_pool_uninit(&p);
                                                                    }};
  bool useVideo_ = false, useAudio_ = false, videoDone_ = false;
  double start_ = 0.0, end_ = INFINITY, frameSeconds_ = 0.04;
  double span_ = 0.0;  // seconds the trimmed span should last; 0: unknown
  int64_t nextPts_ = 0;
  double videoWritten_ = 0.0;
  int lastPercent_ = -1;
  bool cancelled_ = false;
};

}  // namespace

ExportEdits Sanitise(const ExportEdits& in) {
  ExportEdits e = in;
  const auto fraction = [](double v, double fallback) {
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : fallback;
  };
  e.trimStartFraction = fraction(in.trimStartFraction, 0.0);
  e.trimEndFraction = fraction(in.trimEndFraction, 1.0);
  // Start after end is taken as the two points given the wrong way round;
  // an empty span (both the same) keeps the whole recording.
  if (e.trimStartFraction > e.trimEndFraction)
    std::swap(e.trimStartFraction, e.trimEndFraction);
  if (e.trimStartFraction == e.trimEndFraction) {
    e.trimStartFraction = 0.0;
    e.trimEndFraction = 1.0;
  }
  e.crop = edit::Sanitised(in.crop);
  if (static_cast<int>(e.zoom) < 0 || static_cast<int>(e.zoom) > 2) e.zoom = Zoom::Letterbox;
  edit::EffectSettings& s = e.effects;
  if (s.effect < 0 || s.effect > 2) s.effect = 0;
  s.brightness = std::clamp(s.brightness, -100, 100);
  s.contrast = std::clamp(s.contrast, 0, 200);
  s.saturation = std::clamp(s.saturation, -100, 100);
  s.volume = std::clamp(s.volume, 0, 200);
  return e;
}

base::Outcome Export(const ExportRequest& request, const std::function<void(int percent)>& progress,
                    const std::atomic<bool>& cancel) {
  base::RouteCodecMessagesToLog();
  base::Outcome result = Job(request, progress, cancel).Run();
  // Every caller shows the failure its own way; the log has each one once.
  if (result.Is(ExportError::kFailed))
    base::Log(base::Level::kError, "export",
              "export of " + request.input + " to " + request.output + " failed: " + result.message());
  return result;
}

namespace {

base::Outcome Job::Run() {
  const auto failed = [](std::string why) {
    return base::Outcome::Fail(ExportError::kFailed, std::move(why));
  };
  if (request_.output.empty() || SameFile(request_.input, request_.output))
    return failed("The output must be a new file, not the recording itself.");
  std::string error;
  if (!input_.Open(request_.input, &error)) return failed(error);
  useVideo_ = input_.video && !request_.format.videoCodec.empty();
  useAudio_ = input_.audio && !request_.format.audioCodec.empty();
  if (!useVideo_ && !useAudio_)
    return failed("The recording has nothing this format can hold (" +
                  std::string(input_.video ? "no sound" : "no picture") + ").");
  if (input_.duration > 0.0) {
    start_ = edits_.trimStartFraction * input_.duration;
    // Kept to the end of the file, not of its stated length: a recording
    // whose header undercounts loses nothing.
    end_ = edits_.trimEndFraction >= 1.0 ? INFINITY : edits_.trimEndFraction * input_.duration;
    span_ = (edits_.trimEndFraction - edits_.trimStartFraction) * input_.duration;
  }
  {
    PartFile part(request_.output + ".part");
    if (!OpenOutput(part.path(), &error) || !Pump(&error)) {
      output_ = Output();  // closes the file before it is removed
      return cancelled_ ? base::Outcome::Fail(ExportError::kCancelled, error) : failed(error);
    }
    if (std::rename(part.path().c_str(), request_.output.c_str()) != 0)
      return failed("The finished file cannot be renamed to \"" + request_.output + "\".");
    part.Keep();
  }
  Report(INFINITY);
  return base::Outcome::Ok();
}

bool Job::OpenOutput(const std::string& path, std::string* error) {
  VideoSettings video;
  AudioSettings audio;
  if (useVideo_) {
    const AVCodecContext* d = input_.video.decoder.get();
    const Placement placement =
        PlacePicture(d->width, d->height, edits_.crop, edits_.zoom, request_.format.width,
                     request_.format.height);
    picture_.emplace(placement, edits_.effects);
    video.width = placement.outWidth;
    video.height = placement.outHeight;
    video.frameRate = av_d2q(input_.frameRate, 100000);
    frameSeconds_ = 1.0 / input_.frameRate;
    pool_ = av_buffer_pool_init(picture_->OutputBytes(), nullptr);
    poolOwner_.reset(pool_);
  }
  if (useAudio_) {
    const AVCodecContext* d = input_.audio.decoder.get();
    audio.sampleRate = d->sample_rate;
    audio.channels = std::clamp(d->ch_layout.nb_channels, 1, 2);
  }
  if (!output_.Open(path, request_.format, useVideo_ ? &video : nullptr,
                    useAudio_ ? &audio : nullptr, error))
    return false;
  if (useAudio_) {
    sound_ = std::make_unique<SoundStage>(input_.audio.decoder.get(), output_.audio(),
                                          edits_.effects.volume, start_, end_);
    if (!sound_->error().empty()) {
      *error = "The sound cannot be prepared: " + sound_->error() + ".";
      return false;
    }
  }
  return true;
}

bool Job::Pump(std::string* error) {
  // From the key frame before the start; what comes before it is decoded
  // and dropped, so the cut falls on the exact picture and sample.
  input_.SeekTo(start_);
  PacketPtr packet(av_packet_alloc());
  int code = 0;
  while (!Finished()) {
    if (cancel_.load()) {
      cancelled_ = true;
      *error = "The export was cancelled.";
      return false;
    }
    code = av_read_frame(input_.format.get(), packet.get());
    if (code < 0) break;
    bool ok = true;
    if (useVideo_ && packet->stream_index == input_.video.stream->index)
      ok = Decode(input_.video, packet.get(), error);
    else if (useAudio_ && packet->stream_index == input_.audio.stream->index)
      ok = Decode(input_.audio, packet.get(), error);
    av_packet_unref(packet.get());
    if (!ok) return false;
  }
  if (code < 0 && code != AVERROR_EOF) {
    *error = "The recording cannot be read to its end: " + ErrorText(code) + ".";
    return false;
  }
  if ((useVideo_ && !Decode(input_.video, nullptr, error)) ||
      (useAudio_ && !Decode(input_.audio, nullptr, error)) ||
      (useAudio_ && !TakeAudio(nullptr, true, error)))
    return false;
  const double reached = std::max(videoWritten_, sound_ ? sound_->Written() : 0.0);
  if (span_ - reached > kShortfallSeconds) {
    *error = "The recording ended early (was it cut short or deleted?): " +
             std::to_string(static_cast<int>(reached)) + " s of " +
             std::to_string(static_cast<int>(span_)) + " s were exported.";
    return false;
  }
  return output_.Finish(error);
}

bool Job::Decode(InputStream& in, const AVPacket* packet, std::string* error) {
  AVCodecContext* decoder = in.decoder.get();
  // A damaged packet is skipped, as the player does; the length check at the
  // end catches a recording that stops making sense altogether.
  if (avcodec_send_packet(decoder, packet) < 0 && !packet) return true;
  FramePtr frame(av_frame_alloc());
  int code;
  while ((code = avcodec_receive_frame(decoder, frame.get())) >= 0) {
    const bool ok = &in == &input_.video ? TakeVideo(frame.get(), error)
                                         : TakeAudio(frame.get(), false, error);
    av_frame_unref(frame.get());
    if (!ok) return false;
  }
  return true;
}

bool Job::TakeVideo(const AVFrame* decoded, std::string* error) {
  const double t = input_.Seconds(decoded, input_.video.stream);
  // Half a picture's slack either way: a picture belongs to the span when its
  // time rounds into it.
  const double slack = frameSeconds_ / 2;
  if (videoDone_ || (std::isfinite(t) && t < start_ - slack)) return true;
  if (std::isfinite(t) && t >= end_ - slack) {
    videoDone_ = true;
    return true;
  }
  FramePtr frame(av_frame_alloc());
  AVBufferRef* buffer = av_buffer_pool_get(pool_);
  if (!frame || !buffer) {
    av_buffer_unref(&buffer);
    *error = "Out of memory.";
    return false;
  }
  frame->buf[0] = buffer;
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = output_.video()->width;
  frame->height = output_.video()->height;
  av_image_fill_arrays(frame->data, frame->linesize, buffer->data, AV_PIX_FMT_YUV420P,
                       frame->width, frame->height, 1);
  if (!picture_->Process(decoded, buffer->data)) {
    *error = "A picture of the recording cannot be converted.";
    return false;
  }
  // Numbered by time, so dropped source pictures leave their gap; never two
  // on one number.
  const int64_t pts = std::isfinite(t) ? std::llround((t - start_) / frameSeconds_) : nextPts_;
  frame->pts = std::max(pts, nextPts_);
  nextPts_ = frame->pts + 1;
  videoWritten_ = static_cast<double>(nextPts_) * frameSeconds_;
  if (!output_.WriteVideo(frame.get(), error)) return false;
  Report(videoWritten_);
  return true;
}

bool Job::TakeAudio(const AVFrame* decoded, bool flush, std::string* error) {
  if (decoded && !sound_->Push(decoded, input_.Seconds(decoded, input_.audio.stream))) {
    *error = "The sound cannot be converted: " + sound_->error() + ".";
    return false;
  }
  while (auto frame = sound_->Pull(flush))
    if (!output_.WriteAudio(frame.get(), error)) return false;
  if (!useVideo_) Report(sound_->Written());
  return true;
}

void Job::Report(double seconds) {
  if (!progress_) return;
  int percent = 100;
  if (std::isfinite(seconds) && span_ > 0) percent = std::clamp(int(seconds * 100 / span_), 0, 99);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  progress_(percent);
}

}  // namespace
}  // namespace exporter
