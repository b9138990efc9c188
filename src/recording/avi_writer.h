#pragma once
// One recording file: a 25 fps "MP43" video stream and a 48 kHz 16-bit stereo
// PCM stream in an AVI container (OpenDML past 1 GiB), written through
// libavformat and libavcodec. Used by one thread at a time.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "base/result.h"
#include "capture/frame.h"
#include "capture/pixel_pipeline.h"
#include "recording/audio_memory.h"
#include "recording/unique_fd.h"

namespace recording {

struct AviSettings {
  int width = 0, height = 0;  // multiples of 4
  int framesPerSecond = 25;
  int keyFrameInterval = 25;
};

// Sound as the call mixer hands it out: interleaved signed 16-bit stereo at
// 48 kHz, 4 bytes a frame.
inline constexpr int kAudioRate = 48000;
inline constexpr int kAudioFrameBytes = 4;

class AviWriter {
 public:
  // Writes the file's header into `file` (open for writing, empty). The
  // writer owns the descriptor from then on; `path` is for messages only.
  static base::Outcome Create(UniqueFd file, const std::string& path, const AviSettings& settings,
                       std::unique_ptr<AviWriter>& out);
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Appends one sound chunk (whole 4-byte frames) at the current audio
  // position, which then advances by its length in frames.
  base::Outcome WriteAudio(std::span<const uint8_t> chunk);
  // The same, with the chunk made straight into the packet that goes to the
  // muxer, so its sound is not copied once more on the way.
  base::Outcome WriteAudio(const AudioChunkMaker& make);

  // Compresses and appends the picture as frame `index` of the video stream.
  // Indices must grow; the ones skipped play back as the previous picture.
  base::Outcome WriteVideo(int64_t index, const capture::Frame& frame);
  // The same from the grabber's BGRX pixels, converted straight into the
  // encoder's picture: what the capture loop writes.
  base::Outcome WriteVideo(int64_t index, const capture::BgrxView& picture);

  // True once the disk can no longer hold the next frame and the file's end
  // (the space for those is held in reserve while recording). The caller
  // stops writing and calls Finish, which then still fits.
  bool diskFull() const;

  // Drains the encoder and writes the index and final header. The file is
  // complete and closed afterwards, also after a failed write.
  base::Outcome Finish();

  int64_t audioPosition() const;  // in 4-byte frames
  int64_t videoPacketsWritten() const;

  struct Impl;

 private:
  explicit AviWriter(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace recording
