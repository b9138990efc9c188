#include "export/sound_stage.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>

#include "edit/picture_effects.h"

namespace exporter {
namespace {

void FreeFrame(AVFrame* f) { av_frame_free(&f); }

// Frame size for encoders that take any (PCM): small enough to interleave
// finely with the pictures.
constexpr int kVariableFrameSamples = 1024;

// A channel layout of our own; custom layouts own memory.
struct LayoutCopy {
  explicit LayoutCopy(const AVChannelLayout& from) { av_channel_layout_copy(&layout, &from); }
  ~LayoutCopy() { av_channel_layout_uninit(&layout); }
  LayoutCopy(const LayoutCopy&) = delete;
  LayoutCopy& operator=(const LayoutCopy&) = delete;
  AVChannelLayout layout{};
};

}  // namespace

void SoundStage::SwrFreeDeleter::operator()(SwrContext* s) const { swr_free(&s); }
void SoundStage::FifoFreeDeleter::operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }

SoundStage::SoundStage(const AVCodecContext* decoder, const AVCodecContext* encoder,
                       int32_t volume, double start, double end)
    : encoder_(encoder), volume_(volume), start_(start), end_(end) {
  inRate_ = decoder->sample_rate;
  channels_ = encoder->ch_layout.nb_channels;
  AVChannelLayout s16Layout;
  av_channel_layout_default(&s16Layout, channels_);
  // Copies: this FFmpeg's converter takes its layouts as non-const.
  LayoutCopy in(decoder->ch_layout), out(encoder->ch_layout);
  AVChannelLayout& inLayout = in.layout;
  AVChannelLayout& outLayout = out.layout;
  SwrContext* raw = nullptr;
  // The source's channels as they are (1 or 2; more are mixed down to the
  // encoder's two): far side left and near side right pass unchanged.
  if (swr_alloc_set_opts2(&raw, &s16Layout, AV_SAMPLE_FMT_S16, inRate_, &inLayout,
                          decoder->sample_fmt, inRate_, 0, nullptr) < 0 ||
      swr_init(raw) < 0) {
    swr_free(&raw);
    error_ = "the sound cannot be converted";
    return;
  }
  toS16_.reset(raw);
  raw = nullptr;
  if (swr_alloc_set_opts2(&raw, &outLayout, encoder->sample_fmt, encoder->sample_rate,
                          &s16Layout, AV_SAMPLE_FMT_S16, inRate_, 0, nullptr) < 0 ||
      swr_init(raw) < 0) {
    swr_free(&raw);
    error_ = "the sound cannot be converted for the encoder";
    return;
  }
  toEncoder_.reset(raw);
  fifo_.reset(av_audio_fifo_alloc(encoder->sample_fmt, channels_, 4096));
  if (!fifo_) error_ = "out of memory";
}

SoundStage::~SoundStage() = default;

double SoundStage::Written() const {
  return static_cast<double>(written_) / std::max(1, encoder_->sample_rate);
}

bool SoundStage::Push(const AVFrame* decoded, double time) {
  if (done_) return true;
  // Room for what the frame makes at the same rate, plus the converter's delay.
  const int room = decoded->nb_samples + 256;
  s16_.resize(size_t(room) * channels_);
  uint8_t* out[1] = {reinterpret_cast<uint8_t*>(s16_.data())};
  const int made = swr_convert(toS16_.get(), out, room,
                               const_cast<const uint8_t**>(decoded->extended_data),
                               decoded->nb_samples);
  if (made < 0) {
    error_ = "the sound cannot be converted";
    return false;
  }
  // The first frame places the running count; after that the count follows
  // the samples, so stamps that jitter by a sample or two neither drop nor
  // repeat any.
  if (position_ < 0) position_ = std::isnan(time) ? 0 : std::llround(time * inRate_);
  const int64_t first = std::llround(start_ * inRate_);
  const int64_t last = std::isinf(end_) ? INT64_MAX : std::llround(end_ * inRate_);
  const int64_t begin = std::max<int64_t>(position_, first);
  const int64_t end = std::min<int64_t>(position_ + made, last);
  if (position_ + made >= last) done_ = true;
  const int64_t from = begin - position_;
  position_ += made;
  if (end <= begin) return true;
  int16_t* kept = s16_.data() + from * channels_;
  const int count = static_cast<int>(end - begin);
  edit::ApplyVolume(volume_, kept, count * channels_);
  return Convert(kept, count);
}

bool SoundStage::Convert(const int16_t* samples, int count) {
  const int room = swr_get_out_samples(toEncoder_.get(), count);
  if (room <= 0) return true;
  const bool planar = av_sample_fmt_is_planar(encoder_->sample_fmt);
  const int planeCount = planar ? channels_ : 1;
  const int bytes = av_get_bytes_per_sample(encoder_->sample_fmt) * room * (planar ? 1 : channels_);
  planeData_.resize(size_t(planeCount));
  planes_.resize(size_t(planeCount));
  for (int p = 0; p < planeCount; ++p) {
    planeData_[p].resize(size_t(bytes));
    planes_[p] = planeData_[p].data();
  }
  const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
  const int made = swr_convert(toEncoder_.get(), planes_.data(), room, samples ? in : nullptr,
                               count);
  if (made < 0 || (made > 0 && av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(
                                                                    planes_.data()),
                                                   made) < made)) {
    error_ = "the sound cannot be converted for the encoder";
    return false;
  }
  return true;
}

std::unique_ptr<AVFrame, void (*)(AVFrame*)> SoundStage::Pull(bool flush) {
  std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(nullptr, FreeFrame);
  if (flush && error_.empty()) Convert(nullptr, 0);  // what the converter still holds
  const bool variable = encoder_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
  const int size = encoder_->frame_size > 0 && !variable ? encoder_->frame_size
                                                         : kVariableFrameSamples;
  const int available = av_audio_fifo_size(fifo_.get());
  if (available <= 0 || (available < size && !flush)) return frame;
  frame.reset(av_frame_alloc());
  if (!frame) return frame;
  frame->nb_samples = std::min(size, available);
  frame->format = encoder_->sample_fmt;
  frame->sample_rate = encoder_->sample_rate;
  if (av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout) < 0 ||
      av_frame_get_buffer(frame.get(), 0) < 0 ||
      av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->extended_data),
                         frame->nb_samples) < frame->nb_samples) {
    frame.reset();
    return frame;
  }
  frame->pts = written_;
  written_ += frame->nb_samples;
  return frame;
}

}  // namespace exporter
