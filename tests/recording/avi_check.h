#pragma once
// Reads recordings back the way players do: ffprobe for what the file
// declares, libavformat and libavcodec for every packet and picture in it.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace avicheck {

// ffprobe's "flat" output of the streams and the format, keyed like
// "streams.stream.0.codec_name" (quotes removed). Empty when ffprobe failed.
std::map<std::string, std::string> Probe(const std::string& path);

struct Picture {
  int64_t pts = 0;      // in frames
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;  // top-down rows, 3 bytes a pixel, no padding
  const uint8_t* at(int x, int y) const { return &bgr[(static_cast<size_t>(y) * width + x) * 3]; }
};

struct Contents {
  bool opened = false;
  int videoStreams = 0, audioStreams = 0;
  int64_t videoPackets = 0;       // non-empty chunks
  int64_t audioPackets = 0;
  int64_t decodeErrors = 0;
  int64_t pictures = 0;
  int64_t lastVideoPts = -1;
  std::vector<int16_t> samples;   // interleaved stereo
  int sampleRate = 0, channels = 0;
};

// Decodes the whole file; `onPicture` sees every decoded picture.
Contents Read(const std::string& path, const std::function<void(const Picture&)>& onPicture = {});

}  // namespace avicheck
