#pragma once
// Media files for the playback tests, made on first use with the ffmpeg
// program from its generated sources (never checked-in files), once per test
// process, in a folder removed at its end.
#include <cstdint>
#include <string>
#include <vector>

namespace testmedia {

// Runs a program found on PATH; true when it exits 0 within a minute.
bool Run(const std::vector<std::string>& argv);

// Makes `name` in the media folder with `ffmpeg -v error -y <args> <path>`
// unless an earlier call made it; its path, or empty when ffmpeg failed.
std::string Make(const std::string& name, const std::vector<std::string>& args);

// The folder itself, for files a test makes by other means.
std::string Folder();

// The first `count` pictures of `path` as ffmpeg decodes them, planar YUV
// 4:2:0 in ffmpeg's own layout (chroma rows of ceil(width / 2)).
std::vector<uint8_t> ReferencePictures(const std::string& path, int count);

// The file's sound as ffmpeg decodes it: interleaved 16-bit of `channels`.
std::vector<int16_t> ReferenceSound(const std::string& path, int channels);

}  // namespace testmedia
