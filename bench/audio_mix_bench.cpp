// The capture thread's audio step against plain memory copying of the same
// bytes, in one run, with the ratio printed at the end.
//
// One step here is what happens per stream buffer while recording: a
// 48,000-byte block goes from where the device filled it into each side's
// ring with its capture time (the drain thread's part), then the capture
// thread mixes both rings straight into the chunk's packet memory (here a
// block of the largest chunk's size, allocated once, as the packet's
// allocation is not the mix's cost).
// The baseline copies the same 96,000 bytes of sound with memcpy.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "audio/audio_ring.h"
#include "audio/call_mixer.h"

namespace {

constexpr std::size_t kBlock = 48'000;  // one stream buffer: a quarter second of stereo

std::vector<std::uint8_t> Noise(std::size_t n, unsigned seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((seed + i * 2654435761u) >> 13);
  return v;
}

void BM_RingWriteDrainAndMix(benchmark::State& state) {
  audio::CallSide farSide, nearSide;
  audio::SideWriter farIn(farSide), nearIn(nearSide);
  audio::AudioMixer mixer;
  std::int64_t capturedEnd = 1'000'000'000'000;
  mixer.Begin(capturedEnd, farSide, nearSide);
  const auto far = Noise(kBlock, 1), near = Noise(kBlock, 2);
  std::vector<std::uint8_t> packet(audio::AudioMixer::kMaxChunkBytes);
  const audio::ChunkMemory memory = [&](std::size_t bytes) {
    return std::span<std::uint8_t>(packet.data(), bytes);
  };
  for (auto _ : state) {
    capturedEnd += audio::NsForBytes(kBlock);
    farIn.Write(far, capturedEnd);
    nearIn.Write(near, capturedEnd);
    benchmark::DoNotOptimize(mixer.DrainAndMix(farSide, nearSide, memory));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * kBlock);
}
BENCHMARK(BM_RingWriteDrainAndMix);

void BM_MixOnly(benchmark::State& state) {
  const auto far = Noise(kBlock, 1), near = Noise(kBlock, 2);
  std::vector<std::uint8_t> out(kBlock);
  for (auto _ : state) {
    audio::MixFrames(far.data(), near.data(), out.data(), kBlock / 4);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * kBlock);
}
BENCHMARK(BM_MixOnly);

void BM_Memcpy(benchmark::State& state) {
  const auto src = Noise(2 * kBlock, 3);
  std::vector<std::uint8_t> dst(2 * kBlock);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * kBlock);
}
BENCHMARK(BM_Memcpy);

// Prints as usual and keeps each benchmark's throughput for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    auto rate = [&](const char* name) {
      auto it = rates_.find(name);
      return it == rates_.end() ? 0.0 : it->second;
    };
    const double copy = rate("BM_Memcpy");
    if (copy <= 0) return;
    for (const char* name : {"BM_RingWriteDrainAndMix", "BM_MixOnly"})
      std::printf("%-26s %8.2f GB/s = %.3f x memcpy (%.2f GB/s); CPU time per quarter second "
                  "of call sound: %.1f us\n",
                  name, rate(name) / 1e9, rate(name) / copy, copy / 1e9,
                  rate(name) > 0 ? 2.0 * kBlock / rate(name) * 1e6 : 0.0);
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
