#include "killed_recording.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "recording/avi_writer.h"

namespace killtest {
namespace {

struct Report {
  int64_t pictures = 0;
  int64_t audioFrames = 0;
  char error[200] = {};
};

capture::Frame Picture(int w, int h, int64_t index) {
  capture::Frame f(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = f.TopDownRow(y);
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(x + index * 3);
      row[3 * x + 1] = static_cast<uint8_t>(y + index);
      row[3 * x + 2] = static_cast<uint8_t>((x ^ y) + index * 7);
    }
  }
  return f;
}

// Runs in the child: never returns.
[[noreturn]] void WriteAndWait(const std::string& path, const Plan& plan, int reportFd) {
  Report report;
  auto fail = [&](const std::string& why) {
    std::snprintf(report.error, sizeof report.error, "%s", why.c_str());
    (void)!::write(reportFd, &report, sizeof report);
    ::_exit(1);
  };
  recording::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd) fail("cannot create " + path);
  std::unique_ptr<recording::AviWriter> writer;
  base::Outcome s = recording::AviWriter::Create(
      std::move(fd), path, {.width = plan.width, .height = plan.height}, writer);
  if (!s.ok()) fail(s.message());

  std::vector<uint8_t> chunk(static_cast<size_t>(plan.audioChunkFrames) * 4);
  int64_t sample = 0;
  for (int64_t index = 0; index < plan.pictures; ++index) {
    for (int k = 0; k < plan.audioChunkFrames; ++k, ++sample) {
      const double t = static_cast<double>(sample) / recording::kAudioRate;
      const int16_t lr[2] = {static_cast<int16_t>(10000 * std::sin(2 * M_PI * plan.leftHz * t)),
                             static_cast<int16_t>(10000 * std::sin(2 * M_PI * plan.rightHz * t))};
      std::memcpy(&chunk[static_cast<size_t>(k) * 4], lr, 4);
    }
    if (s = writer->WriteAudio(chunk); !s.ok()) fail(s.message());
    if (std::find(plan.skipped.begin(), plan.skipped.end(), index) != plan.skipped.end())
      continue;
    if (s = writer->WriteVideo(index, Picture(plan.width, plan.height, index)); !s.ok())
      fail(s.message());
  }
  if (plan.finish && !(s = writer->Finish()).ok()) fail(s.message());
  report.pictures = writer->videoPacketsWritten();
  report.audioFrames = writer->audioPosition();
  (void)!::write(reportFd, &report, sizeof report);
  // The writer stays open with its unfinished file until the kill.
  for (;;) ::pause();
}

}  // namespace

Outcome Record(const std::string& path, const Plan& plan) {
  Outcome out;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    out.error = "no pipe";
    return out;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    out.error = "cannot fork";
    return out;
  }
  if (child == 0) {
    ::close(fds[0]);
    WriteAndWait(path, plan, fds[1]);
  }
  ::close(fds[1]);
  Report report;
  pollfd p{fds[0], POLLIN, 0};
  const bool reported = ::poll(&p, 1, 60'000) == 1 &&
                        ::read(fds[0], &report, sizeof report) == sizeof report;
  ::close(fds[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!reported) {
    out.error = "the writer said nothing";
  } else if (report.error[0]) {
    out.error = report.error;
  } else if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
    out.error = "the writer ended before the kill";
  } else {
    out.ok = true;
    out.picturesWritten = report.pictures;
    out.audioFrames = report.audioFrames;
  }
  return out;
}

}  // namespace killtest
