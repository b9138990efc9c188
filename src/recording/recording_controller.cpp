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
  writtenPath_.clear();
  ports_.StartClock();
  ports_.SetStatus("Recording");
  ports_.CloseStreams();
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
  // A previous recording still closing its file must be done before the next
  // one takes the rings.
  finishing_.reset();
  session_ = ports_.StartCapture(captureRect_, outputName_);
  ports_.ArmConverter();
}

bool RecordingController::Stop() {
  if (state_ != RecorderState::Capturing) return false;
  ports_.StopClock();
  EndCapture();
  ports_.CloseStreams();
  AddToList();
  ports_.SetStatus("Ready");
  state_ = RecorderState::Idle;
  return true;
}

void RecordingController::OnCaptureStarted(const std::string& path) { writtenPath_ = path; }

void RecordingController::OnCaptureInterrupted(const std::string& writtenPath) {
  if (state_ != RecorderState::Capturing) return;
  // The capture ended by itself (a write failed, no file could be made): the
  // recording is over, so the program returns to Idle and the list shows
  // what really reached the disk.
  if (!writtenPath.empty()) writtenPath_ = writtenPath;
  ports_.StopClock();
  EndCapture();
  ports_.CloseStreams();
  if (!writtenPath.empty()) AddToList();
  ports_.SetStatus("Ready");
  state_ = RecorderState::Idle;
}

void RecordingController::OnCaptureFinished() { finishing_.reset(); }

void RecordingController::FinishForExit() {
  Stop();
  if (state_ != RecorderState::Idle) BackToIdle();
  finishing_.reset();  // waits for the file to be complete
}

void RecordingController::EndCapture() {
  ports_.UninstallCursorHook();
  if (session_) {
    session_->Stop();
    finishing_ = std::move(session_);
  }
  ports_.RestoreMain();
}

void RecordingController::BackToIdle() {
  ports_.StopClock();
  ports_.CloseStreams();
  state_ = RecorderState::Idle;
}

void RecordingController::AddToList() {
  const std::string& path = writtenPath_.empty() ? outputPath_ : writtenPath_;
  ports_.AppendRecording(path, BaseName(path), ports_.ElapsedText());
}

}  // namespace recording
