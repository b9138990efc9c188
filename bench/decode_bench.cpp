// The preview's work on a 1920 x 1080 recording against the ffmpeg program
// decoding the same file to nothing, in one run:
//  - decode, scale to the 320 x 240 preview and show every picture, and
//    decode the sound, as fast as it goes (as ffmpeg runs);
//  - the same played by the preview player in real time, its sound on the
//    default device, as the user sees it.
// Each is run three times, alternating with ffmpeg; the least CPU time of
// each counts (what the work costs without the machine's other load).
//
//   decode_bench FILE      (needs DISPLAY and a sound server;
//                           bench/run_decode_bench.sh provides both)
#include <X11/Xlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "media/media_decoder.h"
#include "media/preview_player.h"
#include "media/preview_surface.h"
#include "platform/process.h"
#include "platform/x11_setup.h"

namespace {

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

struct Ended {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
};

// A 320 x 240 window to show the pictures in.
class PreviewWindow {
 public:
  PreviewWindow() : display_(XOpenDisplay(nullptr)) {
    if (!display_) return;
    XSetWindowAttributes a{};
    a.override_redirect = True;
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 320, 240, 0, CopyFromParent,
                            InputOutput, CopyFromParent, CWOverrideRedirect, &a);
    XMapRaised(display_, window_);
    XSync(display_, False);
  }
  ~PreviewWindow() {
    if (!display_) return;
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  Window id() const { return window_; }

 private:
  Display* display_;
  Window window_ = 0;
};

// CPU seconds of decoding, scaling and showing every picture and decoding
// all the sound, as fast as it goes.
double FlatOut(const std::string& file, media::CPreviewSurface& surface) {
  const double before = CpuSeconds(RUSAGE_SELF);
  media::CMediaDecoder decoder;
  decoder.Initialise();
  if (decoder.Open(file.c_str()) != 1) return -1;
  auto picture = decoder.CreateVideoFrame();
  auto sound = decoder.CreateAudioFrame();
  while (!decoder.VideoEnded() || !decoder.AudioEnded()) {
    const bool gotPicture = decoder.DecodeVideoFrame(picture.get()) == 1;
    if (gotPicture) surface.ShowFrame(picture->data.data(), picture->width, picture->height);
    const bool gotSound = decoder.DecodeAudio(sound.get()) == 1;
    if (!gotPicture && !gotSound && decoder.VideoEnded() && decoder.AudioEnded()) break;
  }
  return CpuSeconds(RUSAGE_SELF) - before;
}

// CPU seconds of our whole process while the preview player plays the file.
double Playback(const std::string& file, media::CPreviewSurface& surface) {
  Ended ended;
  media::PlayerEvents events;
  events.ended = [&] {
    std::lock_guard lock(ended.mutex);
    ended.ended = true;
    ended.changed.notify_all();
  };
  media::PreviewPlayer player(surface, nullptr, nullptr, events);
  player.SetFile(file);
  player.SetState(media::kStopped);
  const double before = CpuSeconds(RUSAGE_SELF);
  player.StartPlayback();
  {
    std::unique_lock lock(ended.mutex);
    ended.changed.wait(lock, [&] { return ended.ended; });
  }
  player.StopPlayback();
  return CpuSeconds(RUSAGE_SELF) - before;
}

// CPU seconds of `ffmpeg -i FILE -f null -`, one decoding thread as ours.
double Theirs(const std::string& file) {
  const double before = CpuSeconds(RUSAGE_CHILDREN);
  platform::SpawnOptions options;
  options.searchPath = true;
  auto pid = platform::Spawn({"ffmpeg", "-v", "error", "-threads", "1", "-i", file, "-f", "null", "-"},
                             options);
  if (!pid || !platform::WaitChild(*pid, std::chrono::minutes(5))) return -1;
  return CpuSeconds(RUSAGE_CHILDREN) - before;
}

}  // namespace

int main(int argc, char** argv) {
  platform::InitXlibThreads();
  if (argc < 2) {
    std::fprintf(stderr, "usage: decode_bench FILE\n");
    return 2;
  }
  const std::string file = argv[1];
  media::CMediaDecoder decoder;
  decoder.Initialise();
  media::StreamInfo info;
  if (decoder.Open(file.c_str()) != 1 || decoder.GetStreamInfo(&info) != 1 || !info.hasVideo) {
    std::fprintf(stderr, "decode_bench: %s has no pictures\n", file.c_str());
    return 1;
  }
  decoder.Close();
  const double pictures = media::TotalTicks(info);
  PreviewWindow window;
  media::CPreviewSurface surface;
  if (surface.Create(window.id(), info.width, info.height, 320, 240) != 1) {
    std::fprintf(stderr, "decode_bench: no preview surface\n");
    return 1;
  }
  double theirs = 1e9, flat = 1e9, played = 1e9;
  for (int run = 0; run < 3; ++run) {
    theirs = std::min(theirs, Theirs(file));
    flat = std::min(flat, FlatOut(file, surface));
    if (run == 0) played = Playback(file, surface);
  }
  if (theirs < 0 || flat < 0 || played < 0) {
    std::fprintf(stderr, "decode_bench: a run failed\n");
    return 1;
  }
  auto perPicture = [&](double seconds) { return seconds / pictures * 1e3; };
  std::printf("%dx%d, %.0f pictures with sound, shown at 320x240\n", info.width, info.height, pictures);
  std::printf("  ffmpeg -f null (decode):                 %6.2f ms CPU per picture\n", perPicture(theirs));
  std::printf("  decode, scale, show, as fast as it goes: %6.2f ms CPU per picture  ratio %.2f\n",
              perPicture(flat), flat / theirs);
  std::printf("  played in real time with its sound:      %6.2f ms CPU per picture  ratio %.2f\n",
              perPicture(played), played / theirs);
  return 0;
}
