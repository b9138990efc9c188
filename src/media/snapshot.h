#pragma once
// Saves a planar YUV 4:2:0 picture as a 24-bit bottom-up BMP file named
// after a recording and the first free number: "<name>_<n>.bmp".
#include <cstdint>
#include <string>

#include "base/result.h"

namespace media {

// Why no snapshot was taken: nothing on show is no failure, the rest is.
enum class SnapshotError { kNothingLoaded, kFailed };

// Writes the picture (Y, then U and V of (width / 2) x (height / 2)) into
// `folder` as "<name>_<n>.bmp", n the first number (from 1) whose file does
// not exist, so a number freed by deleting a file is used again first. An
// existing file is never
// overwritten: a name taken meanwhile moves on to the next number.
// The result is the file written.
base::Result<std::string> SaveSnapshot(const std::string& folder, const std::string& name,
                                       const uint8_t* picture, int width, int height);

}  // namespace media
