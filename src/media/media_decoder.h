#pragma once
// Turns a recording (our own AVI, a WAV, anything FFmpeg reads) into pictures
// and sound for the preview players: one planar YUV 4:2:0 picture at the
// stream's own size per call, one block of interleaved signed 16-bit samples
// (at most two channels) per call.
//
// The file is opened twice, as two independent inputs: one serves only the
// video stream's packets, the other only the audio stream's, so each is read
// at the player's own pace and neither queues packets for the other.
//
// Results are 1 for success and -1 for failure, as the players expect.
// Not thread-safe: one decoder belongs to one thread at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

struct StreamInfo {
  int hasVideo = 0;
  int hasAudio = 0;
  int width = 0;   // coded picture size of the video stream
  int height = 0;
  double duration = 0.0;   // seconds: the video input's, else the audio input's, else 0
  double frameRate = 0.0;  // the video stream's real base frame rate
  int sampleRate = 0;      // of the decoded sound
  int channels = 0;        // of the decoded sound, 1 or 2
};

// A decoded picture or block of samples; made by the decoder, owned by the
// caller.
struct DecodedFrame {
  static constexpr int kAudioCapacitySamples = 192'000;  // 16-bit samples, all channels
  std::vector<uint8_t> data;  // video: Y, then U, then V; audio: interleaved int16
  int width = 0;   // video: picture width; audio: kAudioCapacitySamples
  int height = 0;  // video: picture height
  int count = 0;   // audio: 16-bit samples delivered by the last decode (all channels)
  double time = 0.0;  // seconds: stamp of the packet that produced the data
};

class MediaDecoderImpl;

class CMediaDecoder {
 public:
  CMediaDecoder();
  ~CMediaDecoder();
  CMediaDecoder(const CMediaDecoder&) = delete;
  CMediaDecoder& operator=(const CMediaDecoder&) = delete;

  int Initialise();
  // -1 for a null name, a name of 260 characters or more, or when neither
  // input opens; a null name leaves what is open untouched.
  int Open(const char* fileName);
  int GetStreamInfo(StreamInfo* info) const;
  // A fraction of the duration, 0.0 to 1.0.
  int Seek(double fraction);
  // Null when there is no video stream (or its size is not positive).
  std::unique_ptr<DecodedFrame> CreateVideoFrame() const;
  std::unique_ptr<DecodedFrame> CreateAudioFrame() const;
  int DecodeVideoFrame(DecodedFrame* frame);
  int DecodeAudio(DecodedFrame* frame);
  bool VideoEnded() const;
  bool AudioEnded() const;
  void Close();

 private:
  std::unique_ptr<MediaDecoderImpl> impl_;
};

}  // namespace media
