#pragma once
// Rebuilds a recording whose writer was killed (power cut, kill -9) so that
// players find its length, its index and every picture and sound chunk in it.
// The chunks are copied as they are, with their timestamps, into a new AVI
// written beside the original under a name no recordings list shows; only
// once that file is complete and on the disk does it take the original's
// place. Whatever fails, the original stays as it was.
#include <cstdint>
#include <stop_token>
#include <string>

#include "base/result.h"

namespace media {

// What a repair did when it went through.
struct Repaired {
  bool rebuilt = false;    // false: a finished file, nothing to do
  int64_t pictures = 0;    // rebuilt: pictures in the rebuilt file
  double soundSeconds = 0; // rebuilt: length of its sound
};

// Why a file was left as it was; the error's message says more.
enum class RepairError {
  kNotOurs,    // not an AVI, or an unfinished one we did not write
  kDamaged,    // one of ours with nothing to save
  kFailed,     // the rebuild failed; the original is untouched
  kCancelled,  // stopped on request; the original is untouched
};

// The name the rebuilt file has until it replaces `path` (with six random
// characters in place of the X's). It never ends in ".avi".
inline constexpr const char* kRepairSuffix = ".repair-XXXXXX";

// Inspects `path` and rebuilds it when it is an unfinished recording of ours.
// Blocking; checks `stop` between chunks. Safe to call from any thread.
base::Result<Repaired> RepairRecording(const std::string& path, std::stop_token stop = {});

}  // namespace media
