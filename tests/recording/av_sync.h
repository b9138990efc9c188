#pragma once
// How far apart picture and sound are in a recording of the call-client
// double's call: its picture flashes white at the instant its sound starts
// a loud 1 kHz beep. Each flash is found as the first bright picture, each
// beep as the onset of 1 kHz in the left channel (the far side), and each
// flash is paired with its own beep.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace avsync {

// A picture's time and its mean brightness (0..255).
struct Brightness {
  double ms = 0;
  double level = 0;
};

// Times of the pictures where a flash begins: the first of a run of pictures
// much brighter than usual, after one that is not.
std::vector<double> FindFlashes(const std::vector<Brightness>& pictures);

// Onsets of 1 kHz beeps in one channel of interleaved 16-bit sound, to about
// a millisecond, in ms from the first sample.
std::vector<double> FindBeeps(std::span<const std::int16_t> interleaved, int channels, int channel,
                              int rate);

struct Pair {
  double flashMs = 0, beepMs = 0;
  double offsetMs() const { return beepMs - flashMs; }
};

// Each flash with the beep that belongs to it. The flashes come at uneven
// intervals, so the right beep is the one after which the neighbouring
// flashes (at least half of the three on each side) find beeps at the same
// offset; a beep seconds late still pairs with its own flash and not with a
// neighbour's. Flashes with no such beep stay unpaired.
std::vector<Pair> PairEvents(const std::vector<double>& flashesMs,
                             const std::vector<double>& beepsMs);

struct Analysis {
  bool opened = false;
  std::vector<double> flashesMs, beepsMs;
  std::vector<Pair> pairs;
};

// Reads and decodes the recording (25 pictures a second) and finds all of
// the above.
Analysis Analyse(const std::string& path);

struct Summary {
  std::size_t count = 0;
  double medianMs = 0, minMs = 0, maxMs = 0;
};
Summary Summarise(const std::vector<Pair>& pairs);

// "12 pairs of 12 flashes, 12 beeps: median 3.1 ms, min -12.0 ms, max 18.4 ms"
std::string Describe(const Analysis& analysis);

}  // namespace avsync
