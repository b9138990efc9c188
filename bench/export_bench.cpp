// The export of a recording to MP4 with crop "Cut off all", Letterbox, the
// effects moved and the negative on, and volume 150, against the ffmpeg
// program doing the same crop, scale, eq + negate, volume and encode at the
// export's own encoder settings, in one run. The two take turns, `runs`
// times each, so both see the same load; the median of each counts, and
// every run is printed with the CPU time the rest of the machine took
// meanwhile. Both files are left in WORK_FOLDER to be compared.
//
//   export_bench FILE WORK_FOLDER [runs]   (bench/run_export_bench.sh makes FILE)
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "edit/format_profiles.h"
#include "export/export_engine.h"
#include "export/output_formats.h"
#include "platform/process.h"

namespace {

struct Cost {
  double wall = -1, cpu = -1;  // seconds; cpu is user + system of every thread
  double others = 0;           // CPU seconds the rest of the machine took meanwhile
  long long bytes = 0;         // of the file written
};

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long long FileBytes(const std::string& path) {
  struct stat s {};
  return stat(path.c_str(), &s) == 0 ? static_cast<long long>(s.st_size) : -1;
}

// CPU seconds the whole machine has been busy since it started. Other work
// may share the cores; what it took during a run says how far that run's
// wall time can be trusted.
double MachineBusySeconds() {
  std::ifstream in("/proc/stat");
  std::string cpu;
  long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  in >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
  return static_cast<double>(user + nice + system + irq + softirq) / sysconf(_SC_CLK_TCK);
}

// Wall time of `work`, CPU time of `who` (ourselves or our waited-for
// children) and what the rest of the machine took meanwhile. `work` fills in
// the bytes it wrote and says whether it succeeded; a failure has wall -1.
template <typename Work>
Cost Timed(int who, Work&& work) {
  Cost cost;
  const double cpu = CpuSeconds(who), busy = MachineBusySeconds(), wall = Now();
  const bool ok = work(&cost);
  cost.wall = Now() - wall;
  cost.cpu = CpuSeconds(who) - cpu;
  cost.others = std::max(0.0, MachineBusySeconds() - busy - cost.cpu);
  if (!ok) cost.wall = -1;
  return cost;
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

exporter::ExportEdits BenchEdits() {
  exporter::ExportEdits edits;
  edits.crop = edit::CropRect{40, 30, 280, 210};  // "Cut off all": the centre three quarters
  edits.zoom = exporter::Zoom::Letterbox;
  edits.effects.brightness = 20;
  edits.effects.contrast = 120;
  edits.effects.saturation = 30;
  edits.effects.effect = static_cast<int32_t>(edit::ColourEffect::Negative);
  edits.effects.volume = 150;
  return edits;
}

Cost Ours(const std::string& input, const std::string& output, const exporter::OutputFormat& format) {
  std::remove(output.c_str());
  exporter::ExportRequest request{input, output, BenchEdits(), format};
  const std::atomic<bool> cancel{false};
  return Timed(RUSAGE_SELF, [&](Cost* cost) {
    const base::Outcome result = exporter::Export(request, {}, cancel);
    if (!result.ok()) std::fprintf(stderr, "export_bench: the export failed: %s\n", result.message().c_str());
    cost->bytes = FileBytes(output);
    return result.ok();
  });
}

// The same work for the ffmpeg program. The crop is the one the export
// works out for a 1280 x 720 source; the eq values are the effects'
// arithmetic in eq's units (brightness in 256ths, chroma gain the
// saturation times the contrast); the encoder settings are the export's
// tuning of libx264 (veryfast, automatic threads, key frame every 250) with
// the profile's bit rates.
std::vector<std::string> TheirCommand(const std::string& input, const std::string& output,
                                      const exporter::OutputFormat& format) {
  return {"ffmpeg", "-v", "error", "-y", "-i", input,
          "-vf",
          "crop=960:540:160:90,scale=1280:720,"
          "eq=brightness=0.078:contrast=1.2:saturation=1.56,negate",
          "-af", "volume=1.5",
          "-c:v", format.videoCodec, "-preset", "veryfast", "-threads", "0", "-g", "250",
          "-b:v", std::to_string(format.videoBitRate), "-pix_fmt", "yuv420p",
          "-c:a", format.audioCodec, "-b:a", std::to_string(format.audioBitRate),
          "-f", format.container, output};
}

Cost Theirs(const std::vector<std::string>& command, const std::string& output) {
  std::remove(output.c_str());
  platform::SpawnOptions options;
  options.searchPath = true;
  return Timed(RUSAGE_CHILDREN, [&](Cost* cost) {
    auto pid = platform::Spawn(command, options);
    const auto status = pid ? platform::WaitChild(*pid, std::chrono::minutes(10)) : std::nullopt;
    if (pid && !status) platform::EndChild(*pid);
    const bool ok = status.value_or(-1) == 0;
    if (!ok) std::fprintf(stderr, "export_bench: ffmpeg failed\n");
    cost->bytes = FileBytes(output);
    return ok;
  });
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: export_bench FILE WORK_FOLDER [runs]\n");
    return 2;
  }
  const std::string input = argv[1], folder = argv[2];
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  av_log_set_level(AV_LOG_ERROR);  // as ffmpeg's -v error: the figures, not the encoder's chatter
  const edit::FormatProfileTable profiles = edit::StandardProfiles();
  const edit::FormatProfile* mp4 = profiles.At(0);
  if (!mp4) return 1;
  const exporter::OutputFormat format = exporter::FormatFor(*mp4, 0, -1, -1);  // "Same as recording"
  const std::string ours = folder + "/ours.mp4", theirs = folder + "/theirs.mp4";
  const auto command = TheirCommand(input, theirs, format);

  std::printf("%s: %s, %s %d k, %s %d k, load before %s\n", input.c_str(), mp4->name.c_str(),
              format.videoCodec.c_str(), format.videoBitRate / 1000, format.audioCodec.c_str(),
              format.audioBitRate / 1000, LoadAverage().c_str());
  std::vector<double> ourWall, ourCpu, theirWall, theirCpu;
  for (int run = 1; run <= runs; ++run) {
    const Cost t = Theirs(command, theirs);
    const Cost o = Ours(input, ours, format);
    if (t.wall < 0 || o.wall < 0) return 1;
    theirWall.push_back(t.wall);
    theirCpu.push_back(t.cpu);
    ourWall.push_back(o.wall);
    ourCpu.push_back(o.cpu);
    std::printf("  run %d  ffmpeg %6.2f s wall %6.2f s CPU %6lld kB (others %4.1f s CPU) | export "
                "%6.2f s wall %6.2f s CPU %6lld kB (others %4.1f s CPU) | wall ratio %.2f\n",
                run, t.wall, t.cpu, t.bytes / 1024, t.others, o.wall, o.cpu, o.bytes / 1024,
                o.others, o.wall / t.wall);
  }
  const double tw = Median(theirWall), tc = Median(theirCpu);
  const double ow = Median(ourWall), oc = Median(ourCpu);
  std::printf("median  ffmpeg %6.2f s wall %6.2f s CPU | export %6.2f s wall %6.2f s CPU\n", tw, tc,
              ow, oc);
  std::printf("export / ffmpeg: wall %.2f (goal <= 1.10), CPU %.2f; load after %s\n", ow / tw,
              oc / tc, LoadAverage().c_str());
  return 0;
}
