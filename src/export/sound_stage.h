#pragma once
// Decoded sound into the encoder's frames: brought to interleaved 16-bit at
// the source's rate (the samples the preview's volume hook works on), cut to
// the trimmed span on the exact sample, the volume applied, then converted
// to the encoder's format and rate and cut into its frame size.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVAudioFifo;
struct AVCodecContext;
struct AVFrame;
struct SwrContext;

namespace exporter {

class SoundStage {
 public:
  // Span in seconds of the source's time line; `end` may be infinite.
  SoundStage(const AVCodecContext* decoder, const AVCodecContext* encoder, int32_t volume,
             double start, double end);
  ~SoundStage();
  SoundStage(const SoundStage&) = delete;
  SoundStage& operator=(const SoundStage&) = delete;

  // Empty when ready, else what failed.
  const std::string& error() const { return error_; }
  // `time`: seconds of the frame's first sample (NaN: follows the last one).
  bool Push(const AVFrame* decoded, double time);
  // The next frame of the encoder's size, pts in samples from the start;
  // with `flush` also a last shorter one. Null when none is ready.
  std::unique_ptr<AVFrame, void (*)(AVFrame*)> Pull(bool flush);
  // True once samples at or past the end have been seen.
  bool Done() const { return done_; }
  // Seconds of sound handed to the encoder so far.
  double Written() const;

 private:
  struct SwrFreeDeleter {
    void operator()(SwrContext* s) const;
  };
  struct FifoFreeDeleter {
    void operator()(AVAudioFifo* f) const;
  };
  bool Convert(const int16_t* samples, int count);

  std::unique_ptr<SwrContext, SwrFreeDeleter> toS16_, toEncoder_;
  std::unique_ptr<AVAudioFifo, FifoFreeDeleter> fifo_;
  std::vector<int16_t> s16_;
  std::vector<uint8_t*> planes_;
  std::vector<std::vector<uint8_t>> planeData_;
  const AVCodecContext* encoder_;
  int32_t volume_;
  int inRate_ = 0, channels_ = 0;
  double start_, end_;
  int64_t position_ = -1;  // samples of the source since time 0
  int64_t written_ = 0;    // samples at the encoder's rate
  bool done_ = false;
  std::string error_;
};

}  // namespace exporter
