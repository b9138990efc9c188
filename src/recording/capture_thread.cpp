#include "recording/capture_thread.h"

#include <unistd.h>

#include <exception>
#include <thread>

#include "base/log.h"
#include "recording/avi_writer.h"
#include "recording/frame_clock.h"
#include "recording/output_file.h"

namespace recording {

using base::Outcome;

using Clock = std::chrono::steady_clock;

namespace {
CaptureOutcome Interrupted(std::string why) {
  CaptureOutcome o;
  o.interrupted = true;
  o.error = std::move(why);
  return o;
}
// After the last picture: the sound up to the end of its slot, waiting for
// what is still on its way from the devices, at most `config.soundTail`.
Outcome WriteSoundTail(const CaptureConfig& config, AviWriter& writer, Clock::time_point start,
                      Clock::time_point end) {
  const int64_t endFrames =
      std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count() * kAudioRate /
      1000;
  const Clock::time_point giveUp = Clock::now() + config.soundTail;
  for (;;) {
    const bool last = Clock::now() >= giveUp;
    if (Outcome s = writer.WriteAudio([&](const AudioMemory& memory) {
          return config.audio->ChunkUpTo(end, last, memory);
        });
        !s.ok())
      return s;
    if (writer.audioPosition() >= endFrames || last) return Outcome::Ok();
    // The capture loop's own pace: a device's next quarter second comes in
    // well under it.
    std::this_thread::sleep_for(std::chrono::milliseconds(config.frameIntervalMs));
  }
}

}  // namespace

CaptureThread::CaptureThread(CaptureConfig config) : config_(std::move(config)) {
  worker_ = std::thread([this] {
    try {
      Run();
    } catch (const std::exception& e) {
      Finish(Interrupted(std::string("capture thread: ") + e.what()));
    } catch (...) {
      Finish(Interrupted("capture thread: unknown failure"));
    }
  });
}

CaptureThread::~CaptureThread() {
  Stop();
  Join();
}

void CaptureThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    recording_ = false;
  }
  wake_.notify_all();
}

bool CaptureThread::recording() const {
  std::lock_guard lock(mutex_);
  return recording_;
}

bool CaptureThread::finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

void CaptureThread::Join() {
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

CaptureOutcome CaptureThread::outcome() const {
  std::lock_guard lock(mutex_);
  return outcome_;
}

bool CaptureThread::WaitUntil(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  wake_.wait_until(lock, deadline, [this] { return !recording_; });
  return recording_;
}

void CaptureThread::Finish(CaptureOutcome outcome) {
  if (!outcome.error.empty()) base::Log(base::Level::kError, "recording", outcome.error);
  {
    std::lock_guard lock(mutex_);
    outcome_ = outcome;
    finished_ = true;
  }
  if (config_.observer) config_.observer->OnFinished(outcome);
}

void CaptureThread::Run() {
  CaptureOutcome result;
  auto fail = [&](std::string why) {
    result.interrupted = true;
    result.error = std::move(why);
    Finish(result);
  };

  // 1. The area, in whole groups of four pixels, and a first picture of it.
  // Everything that can refuse the recording is checked before a file is
  // made, so a refused recording leaves nothing behind.
  const capture::ScreenRect r = capture::Normalise(config_.rect);
  int x = r.left, y = r.top;
  const int width = capture::RoundDownTo4(r.width());
  const int height = capture::RoundDownTo4(r.height());
  if (width == 0 || height == 0) return fail("capture area smaller than 4 x 4 pixels");
  std::unique_ptr<capture::ScreenGrabber> grabber =
      config_.openGrabber ? config_.openGrabber() : capture::OpenScreenGrabber();
  if (!grabber) return fail("cannot open the display for grabbing");
  // The grabber's own pixels, valid from one grab to the next: the picture
  // goes to the encoder without a copy of its own.
  capture::BgrxView frame;
  if (!capture::GrabFrame(*grabber, config_.markerWindow, x, y, width, height, true, frame))
    return fail("the first grab failed");

  // 2. The file: the stamped name, else a few "~temp" names.
  CreatedFile file;
  if (Outcome s = CreateOutputFile(config_.outputFolder, config_.outputName, config_.randomSeed, file);
      !s.ok())
    return fail(s.message());
  // A second handle on the file: should its folder be deleted while this
  // recording runs, the finished file is still reachable through it.
  UniqueFd kept(::dup(file.fd.get()));

  // 3. The writer. A file it cannot start is no recording: it goes again.
  FrameClock clock(config_.frameIntervalMs);
  std::unique_ptr<AviWriter> writer;
  if (Outcome s = AviWriter::Create(std::move(file.fd), file.path,
                                   {.width = width, .height = height,
                                    .framesPerSecond = clock.framesPerSecond(),
                                    .keyFrameInterval = config_.keyFrameInterval},
                                   writer);
      !s.ok()) {
    ::unlink(file.path.c_str());
    return fail(s.message());
  }
  result.path = file.path;
  if (config_.observer)
    config_.observer->OnStarted({x, y, x + width - 1, y + height - 1}, result.path);

  // 4. The loop.
  Outcome status = Outcome::Ok();
  const Clock::time_point start = Clock::now();
  bool first = true;
  int64_t lastHalfSecond = 0;
  while (recording()) {
    const int64_t elapsedMs =
        first ? 0
              : std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (first && config_.audio) config_.audio->BeginCollecting(start);
    if (config_.markerMove)
      if (auto moved = config_.markerMove->Take()) x = moved->x, y = moved->y;
    if (!capture::GrabFrame(*grabber, config_.markerWindow, x, y, width, height, false, frame)) {
      status = Outcome::Fail("a grab failed: the display is gone");
      break;
    }
    const int64_t index = clock.IndexAt(elapsedMs);
    first = false;
    if (clock.ShouldWrite(index)) {
      if (config_.audio) {
        status = writer->WriteAudio(
            [&](const AudioMemory& memory) { return config_.audio->NextChunk(memory); });
        if (!status.ok()) break;
      }
      status = writer->WriteVideo(index, frame);
      if (!status.ok()) break;
      clock.Written(index);
      if (elapsedMs / 500 != lastHalfSecond) {
        lastHalfSecond = elapsedMs / 500;
        if (config_.observer) config_.observer->OnHalfSecond();
      }
      if (writer->diskFull()) {
        status = Outcome::Fail("the disk is full: recording ended at " +
                              std::to_string(elapsedMs) + " ms");
        break;
      }
    }
    if (!WaitUntil(start + std::chrono::milliseconds(clock.NextDueMs()))) break;
  }

  // 5. The sound of the last pictures, still on its way from the devices.
  if (status.ok() && config_.audio && writer->videoPacketsWritten() > 0)
    status = WriteSoundTail(config_, *writer, start,
                            start + std::chrono::milliseconds(clock.NextDueMs()));

  // 6. The end: the file is complete whatever ended the loop.
  Outcome finished = writer->Finish();
  if (finished.ok() && kept) {
    const std::string before = result.path;
    finished = RestoreUnlinkedFile(kept.get(), config_.outputFolder, config_.randomSeed + 1,
                                   result.path);
    if (result.path != before)
      base::Log(base::Level::kWarning, "recording",
                before + " was deleted while recording; written again as " + result.path);
  }
  result.picturesWritten = writer->videoPacketsWritten();
  result.lastIndex = clock.lastWritten();
  result.audioFrames = writer->audioPosition();
  if (!status.ok()) {
    result.interrupted = true;
    result.error = status.message();
  } else if (!finished.ok()) {
    result.interrupted = true;
    result.error = finished.message();
  }
  Finish(result);
}

}  // namespace recording
