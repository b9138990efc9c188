// Grab + convert + encode + mux of the capture thread against ffmpeg's own
// screen grabber writing the same codec, size, rate, key-frame interval and
// quantiser, on the same moving screen, one after the other in one run.
//
//   capture_bench [seconds]      (needs DISPLAY; bench/run_capture_bench.sh
//                                 starts a 1920 x 1080 Xvfb for it)
//
// For each size it prints CPU time per written picture and pictures per
// second for both, and their ratio; then, on pictures grabbed beforehand, what
// our writer costs alone and how much of that is the encoder's.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "capture/yuv420.h"
#include "platform/process.h"
#include "platform/screen_grabber.h"
#include "recording/avi_writer.h"
#include "recording/capture_thread.h"

using namespace std::chrono_literals;

namespace {

double CpuSeconds(const rusage& u) {
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Keeps the screen moving from a child process, so its drawing costs neither
// side: a gradient with bars sliding across it, 50 times a second.
[[noreturn]] void Paint() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) std::_Exit(1);
  const int w = DisplayWidth(d, 0), h = DisplayHeight(d, 0);
  Window root = DefaultRootWindow(d);
  GC gc = XCreateGC(d, root, 0, nullptr);
  for (int frame = 0;; ++frame) {
    for (int y = 0; y < h; y += 8) {
      XSetForeground(d, gc, ((y * 255 / h) << 16) | (((y + frame) & 255) << 8) | 0x40);
      XFillRectangle(d, root, gc, 0, y, w, 8);
    }
    for (int i = 0; i < 12; ++i) {
      XSetForeground(d, gc, 0xffffff ^ (i * 0x151515));
      XFillRectangle(d, root, gc, (frame * (i + 3) * 4 + i * 160) % w, i * h / 12, 120, h / 14);
    }
    XSync(d, False);
    std::this_thread::sleep_for(20ms);
  }
}

struct Result {
  double cpuSeconds = 0;     // the whole run, set-up included
  double cpuPerPicture = 0;  // seconds, with the set-up taken out
  double picturesPerSecond = 0;
  long pictures = 0;
};

class NullObserver : public recording::CaptureObserver {
 public:
  void OnStarted(const capture::ScreenRect&, const std::string&) override {}
  void OnHalfSecond() override {}
  void OnFinished(const recording::CaptureOutcome& o) override { outcome = o; }
  recording::CaptureOutcome outcome;
};

Result Ours(int w, int h, double seconds, const std::string& folder) {
  auto observer = std::make_shared<NullObserver>();
  recording::CaptureConfig config;
  config.rect = {0, 0, w - 1, h - 1};
  config.outputName = "ours.avi";
  config.outputFolder = [folder] { return folder; };
  config.observer = observer;
  std::remove((folder + "/ours.avi").c_str());
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  {
    recording::CaptureThread thread(std::move(config));
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    thread.Stop();
  }  // joined: the file is finished
  getrusage(RUSAGE_SELF, &after);
  const auto& o = observer->outcome;
  if (o.interrupted) std::fprintf(stderr, "capture failed: %s\n", o.error.c_str());
  Result r;
  r.pictures = o.picturesWritten;
  r.cpuSeconds = CpuSeconds(after) - CpuSeconds(before);
  r.picturesPerSecond = r.pictures * 25.0 / std::max<int64_t>(1, o.lastIndex + 1);
  return r;
}

long CountVideoPackets(const std::string& path) {
  const std::string out = path + ".count";
  auto pid = platform::Spawn({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                              "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path},
                             {.extraEnv = {}, .outputFile = out, .searchPath = true});
  if (!pid || !platform::WaitChild(*pid, 60s)) return 0;
  FILE* f = std::fopen(out.c_str(), "r");
  long n = 0;
  if (f) {
    if (std::fscanf(f, "%ld", &n) != 1) n = 0;
    std::fclose(f);
  }
  std::remove(out.c_str());
  return n;
}

Result Theirs(int w, int h, double seconds, const std::string& folder) {
  const std::string path = folder + "/theirs.avi";
  const std::string size = std::to_string(w) + "x" + std::to_string(h);
  const std::string display = std::string(std::getenv("DISPLAY")) + "+0,0";
  char secs[32];
  std::snprintf(secs, sizeof secs, "%.2f", seconds);
  std::vector<std::string> argv = {
      "ffmpeg", "-v", "error", "-y", "-f", "x11grab", "-framerate", "25", "-video_size", size,
      "-draw_mouse", "1", "-i", display, "-t", secs, "-c:v", "msmpeg4v3", "-vtag", "MP43",
      "-pix_fmt", "yuv420p", "-q:v", "2", "-qmin", "2", "-qmax", "2", "-g", "25", "-an", path};
  // posix_spawn + wait4 for the child's own CPU time.
  auto pid = platform::Spawn(argv, {.extraEnv = {}, .outputFile = folder + "/ffmpeg.log",
                                    .searchPath = true});
  Result r;
  if (!pid) return r;
  int status = 0;
  rusage usage{};
  if (wait4(*pid, &status, 0, &usage) != *pid) return r;
  r.pictures = CountVideoPackets(path);
  r.cpuSeconds = CpuSeconds(usage);
  r.picturesPerSecond = r.pictures / seconds;
  return r;
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Where our time goes apart from the grab, on pictures grabbed beforehand from
// the same moving screen 40 ms apart: the conversion alone, and the writer
// (conversion, encoder, muxer) alone. The writer's cost beyond the conversion
// is the encoder's, which ffmpeg pays too at the same settings, so that share
// of ffmpeg's figure is as low as the ratio can go without a cheaper encoding.
struct Breakdown {
  double convertSeconds = 0, writerSeconds = 0;  // per picture
};

Breakdown WhereOursGoes(int w, int h, const std::string& folder) {
  constexpr int kPictures = 50;
  Breakdown b;
  auto grabber = capture::OpenScreenGrabber();
  if (!grabber) return b;
  std::vector<std::vector<uint8_t>> grabs;
  size_t stride = 0;
  for (int i = 0; i < kPictures; ++i) {
    capture::BgrxView view;
    if (!grabber->Grab(0, 0, w, h, view)) break;
    stride = view.stride;
    grabs.emplace_back(view.data, view.data + stride * h);
    std::this_thread::sleep_for(40ms);
  }
  if (grabs.empty()) return b;
  auto view = [&](size_t i) { return capture::BgrxView{grabs[i].data(), stride, w, h}; };

  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  std::vector<uint8_t> y(static_cast<size_t>(w) * h), u(static_cast<size_t>(cw) * ch), v(u.size());
  const capture::Yuv420Planes planes{y.data(), u.data(), v.data(), w, cw, cw};
  double start = ThreadCpuSeconds();
  for (size_t i = 0; i < grabs.size(); ++i) capture::BgrxToYuv420(view(i), planes);
  b.convertSeconds = (ThreadCpuSeconds() - start) / grabs.size();

  const std::string path = folder + "/alone.avi";
  std::remove(path.c_str());
  recording::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  std::unique_ptr<recording::AviWriter> writer;
  if (!fd || !recording::AviWriter::Create(std::move(fd), path, {w, h, 25, 25}, writer).ok())
    return b;
  start = ThreadCpuSeconds();
  for (size_t i = 0; i < grabs.size(); ++i)
    if (!writer->WriteVideo(static_cast<int64_t>(i), view(i)).ok()) return b;
  b.writerSeconds = (ThreadCpuSeconds() - start) / grabs.size();
  (void)writer->Finish();
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--paint") Paint();
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "capture_bench: needs DISPLAY (see bench/run_capture_bench.sh)\n");
    return 2;
  }
  const double seconds = argc > 1 ? std::atof(argv[1]) : 6.0;
  char folderTemplate[] = "/tmp/capture-bench.XXXXXX";
  const std::string folder = mkdtemp(folderTemplate) ? folderTemplate : "/tmp";
  auto painter = platform::Spawn({"/proc/self/exe", "--paint"});
  std::this_thread::sleep_for(500ms);

  std::printf("%-10s | %-24s | %-24s | %s\n", "size", "ours: ms CPU/pic, pic/s",
              "ffmpeg: ms CPU/pic, pic/s", "CPU ratio ours/ffmpeg");
  const int sizes[][2] = {{640, 480}, {1280, 720}, {1920, 1080}};
  for (const auto& s : sizes) {
    // Each side's set-up (process start, encoder opening, the first picture)
    // is measured in a run of a single picture and taken out, so the figures
    // compare the steady per-picture cost.
    Result ours = Ours(s[0], s[1], seconds, folder);
    Result theirs = Theirs(s[0], s[1], seconds, folder);
    const Result oursOnce = Ours(s[0], s[1], 0.0, folder);
    const Result theirsOnce = Theirs(s[0], s[1], 0.04, folder);
    for (auto [run, once] : {std::pair{&ours, &oursOnce}, std::pair{&theirs, &theirsOnce}})
      run->cpuPerPicture = (run->cpuSeconds - once->cpuSeconds) /
                           std::max<long>(1, run->pictures - once->pictures);
    std::printf("%4dx%-5d | %8.2f ms  %6.1f /s    | %8.2f ms  %6.1f /s    | %.2f\n", s[0], s[1],
                ours.cpuPerPicture * 1e3, ours.picturesPerSecond, theirs.cpuPerPicture * 1e3,
                theirs.picturesPerSecond,
                theirs.cpuPerPicture > 0 ? ours.cpuPerPicture / theirs.cpuPerPicture : 0.0);
    const Breakdown where = WhereOursGoes(s[0], s[1], folder);
    const double encoder = where.writerSeconds - where.convertSeconds;
    std::printf("%10s   of ours: writer alone %.2f ms (conversion %.2f ms, encoder and muxer "
                "%.2f ms = %.2f of ffmpeg's)\n",
                "", where.writerSeconds * 1e3, where.convertSeconds * 1e3, encoder * 1e3,
                theirs.cpuPerPicture > 0 ? encoder / theirs.cpuPerPicture : 0.0);
    std::fflush(stdout);
  }
  if (painter) platform::EndChild(*painter, 500ms);
  std::filesystem::remove_all(folder);
  return 0;
}
