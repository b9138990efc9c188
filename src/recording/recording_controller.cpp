#include "recording/recording_controller.h"

#include <algorithm>

namespace recording {

namespace {
constexpr capture::ScreenRect kDefaultRect{100, 100, 419, 339};  // 320 x 240

std::string BaseName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

capture::ScreenRect FixedCaptureRect(const std::optional<capture::ScreenRect>& window,
                                     int screenWidth, int screenHeight) {
  capture::ScreenRect r = kDefaultRect;
  if (window) {
    int w = window->right - window->left + 1, h = window->bottom - window->top + 1;
    if (w >= 0 && w <= screenWidth && h >= 0 && h <= screenHeight) r = *window;
  }
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, screenWidth - 1);
  r.bottom = std::min(r.bottom, screenHeight - 1);
  return capture::Normalise(r);
}

std::string RecordingFileName(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char stamp[31];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &local);
  return std::string(stamp) + ".avi";
}

RecordingController::~RecordingController() = default;

void RecordingController::RecordFixed(std::time_t now) {
  // Ignored while a recording is under way in any stage, so a second command
  // never opens a second pair of streams.
  if (state_ != RecorderState::Idle) return;
  auto window = ports_.BringCallWindowForward();
  ports_.MinimiseMain();
  captureRect_ = FixedCaptureRect(window, screenWidth_, screenHeight_);
  state_ = RecorderState::Armed;
  ports_.PostRecordStart();
  CommonStart(now);
}

void RecordingController::RecordCustom(std::time_t now) {
  if (state_ != RecorderState::Idle) return;
  state_ = RecorderState::Selecting;
  ports_.ShowSelection();
  CommonStart(now);
}

void RecordingController::CommonStart(std::time_t now) {
  std::string folder = ports_.OutputFolderText();
  outputName_ = RecordingFileName(now);
  outputPath_ = folder + "/" + outputName_;
  ports_.StartClock();
  ports_.SetStatus("Recording");
  // The previous capture may still be writing out its file while it takes
  // the last of the rings; the rings are emptied for this recording only
  // once it has let go of them.
  WaitForFinishingCapture();
  ports_.OpenStreams();
}

void RecordingController::SelectionCommitted(const capture::ScreenRect& rect) {
  if (state_ != RecorderState::Selecting) return;
  captureRect_ = capture::Normalise(rect);
  state_ = RecorderState::Armed;
  ports_.PostRecordStart();
}

void RecordingController::SelectionCancelled() {
  if (state_ != RecorderState::Selecting) return;
  // The streams and the clock started with the command; nothing is recorded,
  // so all of it goes back as it was.
  BackToIdle();
  ports_.SetStatus("Ready");
}

void RecordingController::OnRecordStart() {
  if (state_ != RecorderState::Armed) return;
  ports_.MinimiseMain();
  ports_.InstallCursorHook();
  state_ = RecorderState::Capturing;
  current_ = Capture{};
  current_.id = ++lastId_;
  current_.session = ports_.StartCapture(current_.id, captureRect_, outputName_);
  ports_.ArmConverter();
}

bool RecordingController::Stop() {
  if (state_ != RecorderState::Capturing) return false;
  ports_.StopClock();
  const std::string duration = ports_.ElapsedText();
  // The streams stay open until the capture has closed its file: the sound of
  // its last pictures is still on its way from the devices.
  EndCapture();
  // No file reported yet (a stop right after the start): the row waits for
  // the capture to say which file it writes, rather than naming a file that
  // may not be the one on disk.
  finishing_.rowDuration = duration;
  ListOrDefer(finishing_);
  ports_.SetStatus("Ready");
  state_ = RecorderState::Idle;
  return true;
}

void RecordingController::OnCaptureStarted(SessionId id, const std::string& path) {
  for (Capture* c : {&current_, &finishing_}) {
    if (c->id != id || id == 0) continue;
    c->writtenPath = path;
    if (c->rowPending) ListOrDefer(*c);
  }
}

void RecordingController::OnCaptureInterrupted(SessionId id, const std::string& writtenPath) {
  if (state_ != RecorderState::Capturing || (id != 0 && id != current_.id)) return;
  // The capture ended by itself (a write failed, no file could be made): the
  // recording is over, and the list shows what really reached the disk.
  current_.writtenPath = writtenPath;
  ports_.StopClock();
  finishing_.rowDuration = ports_.ElapsedText();
  EndCapture();
  ports_.CloseStreams();
  if (!finishing_.writtenPath.empty()) ListOrDefer(finishing_);
  ports_.SetStatus("Ready");
  state_ = RecorderState::Idle;
}

void RecordingController::OnCaptureFinished(SessionId id, const std::string& path) {
  if (id == 0 || id != finishing_.id) return;  // still current: it is told to stop first
  if (finishing_.rowPending && !path.empty()) {
    finishing_.writtenPath = path;
    ListOrDefer(finishing_);
  }
  finishing_ = Capture{};
  if (state_ == RecorderState::Idle) ports_.CloseStreams();
}

void RecordingController::FinishForExit() {
  Stop();
  if (state_ != RecorderState::Idle) BackToIdle();
  WaitForFinishingCapture();
}

void RecordingController::EndCapture() {
  ports_.UninstallCursorHook();
  if (current_.session) current_.session->Stop();
  WaitForFinishingCapture();  // at most one capture closes its file at a time
  finishing_ = std::move(current_);
  current_ = Capture{};
  ports_.RestoreMain();
}

void RecordingController::WaitForFinishingCapture() {
  // A row still owed is listed from the file the capture finished (its own
  // report may still be on its way through the event queue).
  if (finishing_.session) {
    const std::string path = finishing_.session->Finish();
    if (finishing_.rowPending && !path.empty()) {
      finishing_.writtenPath = path;
      ListOrDefer(finishing_);
    }
    ports_.CloseStreams();
  }
  finishing_ = Capture{};
}

void RecordingController::BackToIdle() {
  ports_.StopClock();
  ports_.CloseStreams();
  state_ = RecorderState::Idle;
}

void RecordingController::ListOrDefer(Capture& capture) {
  capture.rowPending = capture.writtenPath.empty();
  if (!capture.rowPending) AddRow(capture.writtenPath, capture.rowDuration);
}

void RecordingController::AddRow(const std::string& path, const std::string& duration) {
  ports_.AppendRecording(path, BaseName(path), duration);
}

}  // namespace recording
