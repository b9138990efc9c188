#include "av_sync.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "avi_check.h"

namespace avsync {
namespace {

constexpr double kBeepHz = 1000;
// A flash stands this far above the usual picture, in brightness levels.
constexpr double kMinFlashRise = 60;
// Quieter than this is no beep at all, whatever the rest of the sound.
constexpr double kMinBeepAmplitude = 2000;
// Runs of 1 kHz shorter than this are speech, not a beep (beeps last 120 ms).
constexpr double kMinBeepMs = 40;
// Dips shorter than this inside a beep (speech mixed in) do not split it.
constexpr double kBridgeMs = 5;
// A beep holds its level; speech through a 1 ms window flickers far below
// its mean between pulses of the voice.
constexpr double kSteadiness = 0.5;
// Pairing: a beep is looked for within half the flashes' 14 s cycle, and a
// neighbouring flash agrees with an offset when its beep lies this close.
constexpr double kSearchMs = 7000;
constexpr double kAgreeMs = 100;
constexpr int kNeighbours = 3;
constexpr double kPictureMs = 40;  // 25 pictures a second

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool BeepNear(const std::vector<double>& beeps, double ms) {
  auto it = std::lower_bound(beeps.begin(), beeps.end(), ms - kAgreeMs);
  return it != beeps.end() && *it <= ms + kAgreeMs;
}

}  // namespace

std::vector<double> FindFlashes(const std::vector<Brightness>& pictures) {
  std::vector<double> flashes;
  if (pictures.size() < 2) return flashes;
  std::vector<double> levels;
  for (const auto& p : pictures) levels.push_back(p.level);
  const double usual = Median(levels);
  const double brightest = *std::max_element(levels.begin(), levels.end());
  if (brightest - usual < kMinFlashRise) return flashes;
  const double threshold = (usual + brightest) / 2;
  for (std::size_t i = 1; i < pictures.size(); ++i)
    if (pictures[i].level > threshold && pictures[i - 1].level <= threshold)
      flashes.push_back(pictures[i].ms);
  return flashes;
}

std::vector<double> FindBeeps(std::span<const std::int16_t> interleaved, int channels, int channel,
                              int rate) {
  std::vector<double> beeps;
  // The window is one period of the beep: the demodulated signal's
  // double-frequency part then sums to nothing, and the envelope rises over
  // exactly one millisecond from a beep's first sample.
  const int window = rate / static_cast<int>(kBeepHz);
  if (channels <= 0 || window <= 0 || rate % static_cast<int>(kBeepHz) != 0) return beeps;
  const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
  std::vector<double> cosine(window), sine(window);
  for (int k = 0; k < window; ++k) {
    cosine[k] = std::cos(2 * M_PI * k / window);
    sine[k] = std::sin(2 * M_PI * k / window);
  }
  std::vector<float> envelope(frames, 0.f);
  std::vector<double> historyI(window, 0), historyQ(window, 0);
  double sumI = 0, sumQ = 0;
  for (std::size_t n = 0; n < frames; ++n) {
    const double x = interleaved[n * channels + channel];
    const std::size_t k = n % window;
    const double i = x * cosine[k], q = x * sine[k];
    sumI += i - historyI[k];
    sumQ += q - historyQ[k];
    historyI[k] = i;
    historyQ[k] = q;
    envelope[n] = static_cast<float>(2 * std::hypot(sumI, sumQ) / window);
  }
  if (frames == 0) return beeps;
  const double peak = *std::max_element(envelope.begin(), envelope.end());
  if (peak < kMinBeepAmplitude) return beeps;
  const double threshold = peak / 2;
  const auto bridge = static_cast<std::size_t>(kBridgeMs * rate / 1000);
  const auto shortest = static_cast<std::size_t>(kMinBeepMs * rate / 1000);
  std::size_t n = 0;
  while (n < frames) {
    if (envelope[n] <= threshold) {
      ++n;
      continue;
    }
    const std::size_t start = n;
    std::size_t end = n, below = 0;  // end: one past the last sample above
    for (; n < frames && below <= bridge; ++n) {
      if (envelope[n] > threshold) {
        end = n + 1;
        below = 0;
      } else {
        ++below;
      }
    }
    if (end - start < shortest) continue;
    // Steadiness over the middle of the run, away from its ramps.
    const std::size_t margin = bridge;
    double sum = 0, lowest = peak;
    for (std::size_t m = start + margin; m + margin < end; ++m) {
      sum += envelope[m];
      lowest = std::min<double>(lowest, envelope[m]);
    }
    const double mean = sum / static_cast<double>(end - start - 2 * margin);
    if (lowest < kSteadiness * mean) continue;
    // Half the window's rise lies between the first sample and the crossing
    // of half the level.
    const double onset = static_cast<double>(start) - window / 2;
    beeps.push_back(onset * 1000.0 / rate);
  }
  return beeps;
}

std::vector<Pair> PairEvents(const std::vector<double>& flashes, const std::vector<double>& beeps) {
  std::vector<Pair> pairs;
  const int count = static_cast<int>(flashes.size());
  for (int j = 0; j < count; ++j) {
    int neighbours = 0;
    for (int k = std::max(0, j - kNeighbours); k <= std::min(count - 1, j + kNeighbours); ++k)
      neighbours += k != j;
    int bestScore = -1;
    double bestBeep = 0;
    for (double beep : beeps) {
      const double offset = beep - flashes[j];
      if (std::abs(offset) > kSearchMs) continue;
      int score = 0;
      for (int k = std::max(0, j - kNeighbours); k <= std::min(count - 1, j + kNeighbours); ++k)
        if (k != j && BeepNear(beeps, flashes[k] + offset)) ++score;
      if (score > bestScore ||
          (score == bestScore && std::abs(offset) < std::abs(bestBeep - flashes[j]))) {
        bestScore = score;
        bestBeep = beep;
      }
    }
    // At least half the neighbours must agree: one of them may agree with a
    // wrong beep by chance, most of them cannot. A lone flash takes the
    // nearest beep.
    if (bestScore >= 0 && 2 * bestScore >= neighbours) pairs.push_back({flashes[j], bestBeep});
  }
  return pairs;
}

Analysis Analyse(const std::string& path) {
  Analysis a;
  std::vector<Brightness> pictures;
  auto contents = avicheck::Read(path, [&](const avicheck::Picture& p) {
    double sum = 0;
    const std::size_t pixels = p.bgr.size() / 3;
    for (std::size_t i = 0; i < pixels; ++i)
      sum += 0.114 * p.bgr[3 * i] + 0.587 * p.bgr[3 * i + 1] + 0.299 * p.bgr[3 * i + 2];
    pictures.push_back({static_cast<double>(p.pts) * kPictureMs, pixels ? sum / pixels : 0});
  });
  a.opened = contents.opened;
  if (!a.opened) return a;
  a.flashesMs = FindFlashes(pictures);
  if (contents.channels > 0 && contents.sampleRate > 0)
    a.beepsMs = FindBeeps(contents.samples, contents.channels, 0, contents.sampleRate);
  a.pairs = PairEvents(a.flashesMs, a.beepsMs);
  return a;
}

Summary Summarise(const std::vector<Pair>& pairs) {
  Summary s;
  s.count = pairs.size();
  if (pairs.empty()) return s;
  std::vector<double> offsets;
  for (const auto& p : pairs) offsets.push_back(p.offsetMs());
  s.medianMs = Median(offsets);
  s.minMs = *std::min_element(offsets.begin(), offsets.end());
  s.maxMs = *std::max_element(offsets.begin(), offsets.end());
  return s;
}

std::string Describe(const Analysis& a) {
  const Summary s = Summarise(a.pairs);
  char text[200];
  std::snprintf(text, sizeof text,
                "%zu pairs of %zu flashes, %zu beeps: median %.1f ms, min %.1f ms, max %.1f ms",
                s.count, a.flashesMs.size(), a.beepsMs.size(), s.medianMs, s.minMs, s.maxMs);
  return text;
}

}  // namespace avsync
