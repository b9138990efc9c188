#include "playback_support.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <pulse/simple.h>

#include <chrono>

#include "platform/arrival_clock.h"
#include "platform/wave_device.h"

namespace playtest {

double NowMs() { return static_cast<double>(platform::MonotonicNowNs()) / 1e6; }

namespace {

xtest::Image Read(Display* d, Window w, int width, int height) {
  xtest::Image out;
  XImage* img = XGetImage(d, w, 0, 0, width, height, AllPlanes, ZPixmap);
  if (!img) return out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned long p = XGetPixel(img, x, y);
      out.pixels[static_cast<size_t>(y) * width + x] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
    }
  XDestroyImage(img);
  return out;
}

}  // namespace

struct TestWindow::Connection {
  Display* display = XOpenDisplay(nullptr);
  ~Connection() {
    if (display) XCloseDisplay(display);
  }
};

TestWindow::TestWindow(int x, int y, int width, int height)
    : connection_(std::make_unique<Connection>()), width_(width), height_(height) {
  Display* d = connection_->display;
  if (!d) return;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(d, DefaultScreen(d));
  window_ = XCreateWindow(d, DefaultRootWindow(d), x, y, width, height, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
  XSelectInput(d, window_, StructureNotifyMask);
  XMapRaised(d, window_);
  XEvent e;
  do XNextEvent(d, &e);
  while (e.type != MapNotify);
  XSync(d, False);
}

TestWindow::~TestWindow() {
  if (connection_->display && window_) XDestroyWindow(connection_->display, window_);
}

xtest::Image TestWindow::Pixels() const {
  return Read(connection_->display, window_, width_, height_);
}

MonitorRecording::MonitorRecording(std::string device) {
  thread_ = std::thread([this, device = std::move(device)] {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 48'000, 2};
    constexpr uint32_t kBlockBytes = 480 * 4;  // 10 ms: each arrival tells the time closely
    pa_buffer_attr attr{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                        static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), kBlockBytes};
    int error = 0;
    pa_simple* s = pa_simple_new(nullptr, "playback test", PA_STREAM_RECORD, device.c_str(),
                                 "monitor", &spec, nullptr, &attr, &error);
    if (!s) return;
    ok_ = true;
    platform::ArrivalClock clock(48'000.0 * 4);
    std::vector<int16_t> block(kBlockBytes / 2);
    std::vector<int16_t> all;
    while (!stop_) {
      if (pa_simple_read(s, block.data(), kBlockBytes, &error) < 0) break;
      all.insert(all.end(), block.begin(), block.end());
      clock.Arrived(static_cast<int64_t>(all.size()) * 2, platform::MonotonicNowNs());
    }
    pa_simple_free(s);
    firstMs_ = static_cast<double>(clock.CapturedAt(0)) / 1e6;
    sound_ = std::move(all);
  });
}

MonitorRecording::~MonitorRecording() { Stop(); }

void MonitorRecording::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

BrightnessWatch::BrightnessWatch(unsigned long window) {
  thread_ = std::thread([this, window] {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    XWindowAttributes a{};
    XGetWindowAttributes(d, window, &a);
    while (!stop_) {
      const double at = NowMs();
      const xtest::Image img = Read(d, window, a.width, a.height);
      double sum = 0;
      for (const auto& p : img.pixels) sum += (p.r + p.g + p.b) / 3.0;
      samples_.push_back({at, img.pixels.empty() ? 0 : sum / img.pixels.size()});
    }
    XCloseDisplay(d);
  });
}

BrightnessWatch::~BrightnessWatch() { Stop(); }

std::vector<avsync::Brightness> BrightnessWatch::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return samples_;
}

}  // namespace playtest
