#pragma once
// Recordings left behind the way a crash leaves them: the real AVI writer runs
// in a child process, and once the child says it has handed over the planned
// pictures and sound the parent kills it with SIGKILL, so nothing of the
// writer's own ending (index, final header) reaches the file.
#include <cstdint>
#include <string>
#include <vector>

namespace killtest {

struct Plan {
  int width = 320, height = 240;
  int pictures = 150;               // frame indices 0 .. pictures-1 ...
  std::vector<int64_t> skipped;     // ... except these, left to the writer's gap handling
  double leftHz = 440, rightHz = 1000;  // a tone on each side, every picture's 40 ms of it
  int audioChunkFrames = 1920;      // sound handed over per picture (40 ms)
  bool finish = false;              // end the file properly instead of being killed
};

struct Outcome {
  bool ok = false;
  std::string error;
  int64_t picturesWritten = 0;  // video packets the encoder produced
  int64_t audioFrames = 0;      // 4-byte sample frames handed over
};

// Writes `plan` into the new file `path` from a forked child.
Outcome Record(const std::string& path, const Plan& plan);

}  // namespace killtest
