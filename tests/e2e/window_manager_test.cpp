// The recorder's helper windows under a real window manager: the floating Stop
// window while the main window is minimised, dragging it by its body, and the
// close requests a desktop sends (Alt+F4, a task bar's close item) to the
// region selection, the marker and the floating Stop window.
//
// These run on the harness's second X server, where openbox manages the
// windows (MURMURANT_WM_DISPLAY); the other tests keep a server without one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "e2e_support.h"
#include "support/program.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kBin = MURMURANT_BIN_DIR;

std::optional<xtest::WindowInfo> Shown(const std::string& title) {
  for (const auto& w : xtest::FindWindowsByTitle(title))
    if (w.viewable) return w;
  return std::nullopt;
}

bool OnTop(unsigned long window) {
  const auto order = xtest::StackingOrder();
  return !order.empty() && order.back() == window;
}

class UnderWindowManager : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* wm = std::getenv("MURMURANT_WM_DISPLAY");
    if (!wm || !*wm) GTEST_SKIP() << "no X server with a window manager (run under the harness)";
    if (const char* display = std::getenv("DISPLAY")) savedDisplay_ = display;
    // Everything below, the programs started and the test's own X requests,
    // goes to the managed server.
    ::setenv("DISPLAY", wm, 1);
    xtest::MovePointer(1200, 1000);
  }
  void TearDown() override {
    if (HasFailure() && recorder_) {
      std::printf("--- murmurant.log:\n%s\n", ReadFile(box_.dir / "murmurant.log").c_str());
      std::printf("--- windows on %s:\n%s\n", std::getenv("DISPLAY"),
                  e2e::CommandOutput("xwininfo -root -tree | grep '\"'").c_str());
    }
    recorder_.reset();
    if (!savedDisplay_.empty()) ::setenv("DISPLAY", savedDisplay_.c_str(), 1);
  }

  // The recorder with its audio engine; its main window is up and managed.
  void StartRecorder() {
    recorder_ = std::make_unique<ChildProgram>(std::vector<std::string>{kBin + "/murmurant"},
                                               box_.env(), box_.dir / "murmurant.log");
    ASSERT_TRUE(recorder_->started());
    auto main = xtest::WaitForWindow("Murmurant", 20000);
    ASSERT_TRUE(main) << "no main window";
    mainWindow_ = main->id;
    ASSERT_TRUE(e2e::WaitForLoopbackSink(8000)) << "the audio engine made no loopback device";
  }

  // "record fixed"; the floating Stop window once the capture has begun.
  std::optional<xtest::WindowInfo> RecordFixed() {
    e2e::Click(37, 55);
    return xtest::WaitForWindow("Stop Record", 5000);
  }

  bool Running() { return recorder_ && recorder_->running(); }

  // The size of the one recording being written grows: the capture goes on.
  bool RecordingGrows() {
    auto size = [this]() -> std::uintmax_t {
      auto files = box_.Recordings();
      std::error_code ec;
      return files.size() == 1 ? fs::file_size(files[0], ec) : 0;
    };
    const auto before = size();
    return e2e::WaitFor([&] { return size() > before; }, 3000);
  }

  // Checks the finished recording and moves it out of the output folder, so
  // the next one is the only file there again.
  void ExpectFinishedAndSetAside() {
    auto recording = e2e::WaitForFinishedRecording(box_, 8000);
    ASSERT_TRUE(recording) << "no finished recording";
    e2e::ExpectPlayable(*recording);
    fs::rename(recording->path, box_.dir / recording->path.filename());
  }

  Sandbox box_;
  std::unique_ptr<ChildProgram> recorder_;
  unsigned long mainWindow_ = 0;
  std::string savedDisplay_;
};

}  // namespace

TEST_F(UnderWindowManager, FloatingStopStaysVisibleAndOnTopWhileTheMainWindowIsMinimised) {
  StartRecorder();
  if (HasFatalFailure()) return;
  auto floating = RecordFixed();
  ASSERT_TRUE(floating) << "the recording did not start";
  ASSERT_TRUE(e2e::WaitFor([&] { return xtest::Iconic(mainWindow_); }, 3000))
      << "the main window was not minimised";
  EXPECT_TRUE(e2e::WaitFor([&] { return OnTop(floating->id); }, 2000));

  // The user brings the main window up during the recording and minimises
  // it again: the Stop button must neither go under it nor go with it.
  xtest::RequestActivate(mainWindow_);
  ASSERT_TRUE(e2e::WaitFor([&] { return xtest::ActiveWindow() == mainWindow_; }, 3000));
  EXPECT_TRUE(OnTop(floating->id)) << "the main window came up over the Stop button";
  xtest::RequestMinimise(mainWindow_);
  ASSERT_TRUE(e2e::WaitFor([&] { return xtest::Iconic(mainWindow_); }, 3000));
  EXPECT_TRUE(Shown("Stop Record")) << "the Stop button went with the minimised main window";
  EXPECT_TRUE(OnTop(floating->id));

  std::this_thread::sleep_for(1s);  // a recording long enough to check
  xtest::Key("F9");
  ExpectFinishedAndSetAside();
  EXPECT_TRUE(Running());
}

TEST_F(UnderWindowManager, FloatingStopIsDraggedByItsBodyAndAPlainClickStops) {
  StartRecorder();
  if (HasFatalFailure()) return;
  auto floating = RecordFixed();
  ASSERT_TRUE(floating) << "the recording did not start";
  const int cx = floating->x + floating->width / 2, cy = floating->y + floating->height / 2;

  // Press, move in steps as a hand does, release.
  xtest::MovePointer(cx, cy);
  std::this_thread::sleep_for(200ms);
  xtest::PressButton(1, true);
  for (int step = 1; step <= 10; ++step) {
    std::this_thread::sleep_for(30ms);
    xtest::MovePointer(cx + 15 * step, cy + 10 * step);
  }
  std::this_thread::sleep_for(100ms);
  xtest::PressButton(1, false);
  auto movedBy = [&](int dx, int dy) {
    auto now = Shown("Stop Record");
    return now && now->x == floating->x + dx && now->y == floating->y + dy;
  };
  auto where = [] {
    auto now = Shown("Stop Record");
    return now ? std::to_string(now->x) + "," + std::to_string(now->y) : std::string("hidden");
  };
  EXPECT_TRUE(e2e::WaitFor([&] { return movedBy(150, 100); }, 3000))
      << "the Stop button did not follow the drag from " << floating->x << "," << floating->y
      << " but is at " << where();
  EXPECT_TRUE(RecordingGrows()) << "the drag stopped the recording";
  EXPECT_TRUE(Shown("Stop Record"));

  // A press and a release where it now stands is the Stop click.
  e2e::Click(cx + 150, cy + 100);
  ExpectFinishedAndSetAside();
  EXPECT_TRUE(e2e::WaitFor([] { return !Shown("Stop Record"); }, 3000));
  EXPECT_TRUE(Running());
}

TEST_F(UnderWindowManager, AltF4OnTheSelectionCancelsItAndTheNextSelectionRecords) {
  StartRecorder();
  if (HasFatalFailure()) return;
  auto beginSelection = [] {
    e2e::Click(97, 55);  // record custom
    return xtest::WaitForWindow("Title", 5000);
  };
  auto selection = beginSelection();
  ASSERT_TRUE(selection) << "no selection window";
  // Alt+F4 goes to the focused window; make sure that is the selection and
  // not the main window under it.
  ASSERT_TRUE(e2e::WaitFor([&] { return xtest::ActiveWindow() == selection->id; }, 3000));
  xtest::KeyDown("Alt_L", true);
  xtest::Key("F4");
  xtest::KeyDown("Alt_L", false);
  ASSERT_TRUE(e2e::WaitFor([] { return !Shown("Title"); }, 3000)) << "Alt+F4 left the selection";
  ASSERT_TRUE(Running());
  EXPECT_TRUE(box_.Recordings().empty());

  selection = beginSelection();
  ASSERT_TRUE(selection) << "no selection window the second time";
  xtest::MovePointer(200, 200);
  std::this_thread::sleep_for(200ms);
  xtest::PressButton(1, true);
  for (int step = 1; step <= 8; ++step) {
    std::this_thread::sleep_for(30ms);
    xtest::MovePointer(200 + 40 * step, 200 + 30 * step);
  }
  xtest::PressButton(1, false);
  ASSERT_TRUE(xtest::WaitForWindow("Stop Record", 5000)) << "the selection started no recording";
  std::this_thread::sleep_for(2s);
  xtest::Key("F9");
  ExpectFinishedAndSetAside();
  EXPECT_TRUE(Running());
}

TEST_F(UnderWindowManager, CloseRequestsHideTheMarkerAndTheStopButtonAndTheRecordingGoesOn) {
  StartRecorder();
  if (HasFatalFailure()) return;
  auto floating = RecordFixed();
  ASSERT_TRUE(floating) << "the recording did not start";
  auto marker = xtest::WaitForWindow("Flashing", 3000);
  ASSERT_TRUE(marker) << "no marker";

  xtest::RequestClose(marker->id);
  xtest::RequestClose(floating->id);
  EXPECT_TRUE(e2e::WaitFor([] { return !Shown("Flashing") && !Shown("Stop Record"); }, 3000));
  // Long enough that a file cut short at the close requests shows.
  std::this_thread::sleep_for(2s);
  ASSERT_TRUE(Running());

  xtest::Key("F9");
  ExpectFinishedAndSetAside();
  ASSERT_TRUE(Running());
  ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 3000)) << "the main window did not come back";

  // The next recording has both again, and ends as well.
  ASSERT_TRUE(RecordFixed()) << "the next recording showed no Stop button";
  EXPECT_TRUE(xtest::WaitForWindow("Flashing", 3000)) << "the next recording showed no marker";
  std::this_thread::sleep_for(2s);
  xtest::Key("F9");
  ExpectFinishedAndSetAside();
  EXPECT_TRUE(Running());
}
