#pragma once
// What the playback tests look and listen with: a plain X window for the
// preview to draw in, its pixels read back, the default playback device's
// monitor recorded with the time of each sample, and the brightness of a
// window followed over time. Times are on the steady clock, in ms.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recording/av_sync.h"
#include "support/x_screen.h"

namespace playtest {

double NowMs();

// A mapped top-level window of its own connection, without a window manager
// placed exactly where asked.
class TestWindow {
 public:
  TestWindow(int x, int y, int width, int height);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  unsigned long id() const { return window_; }
  // The window's pixels as the server has them now (XGetImage of it).
  xtest::Image Pixels() const;

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
  unsigned long window_ = 0;
  int width_, height_;
};

// Records a capture device (by default what the harness's speakers play),
// 48 kHz 16-bit stereo, from construction until Stop(). Named, not "the
// default device's monitor": with the loopback routed that is not what the
// user hears, and PipeWire takes that name for the default record device.
class MonitorRecording {
 public:
  explicit MonitorRecording(std::string device = "speakers.monitor");
  ~MonitorRecording();
  void Stop();
  bool ok() const { return ok_; }
  // Interleaved stereo; valid after Stop().
  const std::vector<int16_t>& sound() const { return sound_; }
  // When the first sample was heard; valid after Stop().
  double firstSampleMs() const { return firstMs_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> ok_{false};
  std::vector<int16_t> sound_;
  double firstMs_ = 0;
  std::thread thread_;
};

// The mean brightness of a window, sampled as fast as it can be read.
class BrightnessWatch {
 public:
  explicit BrightnessWatch(unsigned long window);
  ~BrightnessWatch();
  std::vector<avsync::Brightness> Stop();

 private:
  std::atomic<bool> stop_{false};
  std::vector<avsync::Brightness> samples_;
  std::thread thread_;
};

}  // namespace playtest
