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

namespace media {

enum class RepairOutcome {
  Repaired,   // rebuilt in place
  Complete,   // a finished file: nothing to do
  NotOurs,    // not an AVI, or an unfinished one we did not write: left alone
  Damaged,    // one of ours with nothing to save: left alone
  Failed,     // the rebuild failed (see detail); the original is untouched
  Cancelled,  // stopped on request; the original is untouched
};

struct RepairResult {
  std::string path;
  RepairOutcome outcome = RepairOutcome::Failed;
  std::string detail;        // the cause when left alone or failed
  int64_t pictures = 0;      // Repaired: pictures in the rebuilt file
  double soundSeconds = 0;   // Repaired: length of its sound
};

// The name the rebuilt file has until it replaces `path` (with six random
// characters in place of the X's). It never ends in ".avi".
inline constexpr const char* kRepairSuffix = ".repair-XXXXXX";

// Inspects `path` and rebuilds it when it is an unfinished recording of ours.
// Blocking; checks `stop` between chunks. Safe to call from any thread.
RepairResult RepairRecording(const std::string& path, std::stop_token stop = {});

}  // namespace media
