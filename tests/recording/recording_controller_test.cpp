#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "recording/recording_controller.h"

using capture::ScreenRect;
using recording::RecorderState;
using recording::RecordingController;

namespace {

// Records what the controller asks of the window, the sound and the disk.
struct FakePorts : recording::RecordingPorts {
  std::vector<std::string> log;
  std::optional<ScreenRect> callWindow;
  int streamsOpen = 0;
  bool clockRunning = false;
  int sessionsAlive = 0, sessionsStopped = 0, sessionsUnfinished = 0;
  int openedWhileAnotherCaptureWrote = 0;
  std::string finishedPath = "/out/written.avi";  // what a session says it wrote
  ScreenRect startedRect{};
  struct Row {
    std::string path, name, duration;
  };
  std::vector<Row> rows;
  std::string status;

  struct Session : recording::CaptureSession {
    FakePorts& p;
    bool finished = false;
    explicit Session(FakePorts& ports) : p(ports) {
      ++p.sessionsAlive;
      ++p.sessionsUnfinished;
    }
    ~Session() override {
      Finish();
      --p.sessionsAlive;
    }
    void Stop() override { ++p.sessionsStopped; }
    std::string Finish() override {
      if (!finished) --p.sessionsUnfinished;
      finished = true;
      return p.finishedPath;
    }
  };

  std::optional<ScreenRect> BringCallWindowForward() override { return callWindow; }
  void MinimiseMain() override { log.push_back("minimise"); }
  void RestoreMain() override { log.push_back("restore"); }
  void ShowSelection() override { log.push_back("selection"); }
  void PostRecordStart() override { log.push_back("post-start"); }
  std::string OutputFolderText() override { return "/out"; }
  void StartClock() override { clockRunning = true; }
  void StopClock() override { clockRunning = false; }
  std::string ElapsedText() override { return "00:00:05"; }
  void SetStatus(const std::string& text) override { status = text; }
  void OpenStreams() override {
    // The rings are emptied here: no capture may still be reading them.
    if (sessionsUnfinished > 0) ++openedWhileAnotherCaptureWrote;
    streamsOpen = 2;
  }
  void CloseStreams() override { streamsOpen = 0; }
  void InstallCursorHook() override { log.push_back("hook"); }
  void UninstallCursorHook() override { log.push_back("unhook"); }
  void ArmConverter() override { log.push_back("arm"); }
  recording::SessionId lastId = 0;
  std::unique_ptr<recording::CaptureSession> StartCapture(recording::SessionId id,
                                                          const ScreenRect& rect,
                                                          const std::string&) override {
    lastId = id;
    startedRect = rect;
    return std::make_unique<Session>(*this);
  }
  void AppendRecording(const std::string& path, const std::string& name,
                       const std::string& duration) override {
    rows.push_back({path, name, duration});
  }
};

constexpr std::time_t kWhen = 1'700'000'000;

}  // namespace

TEST(FixedCaptureRect, ClampsOrFallsBack) {
  EXPECT_EQ(recording::FixedCaptureRect(std::nullopt, 1280, 1024), (ScreenRect{100, 100, 419, 339}));
  // Partly off-screen: only the on-screen part.
  EXPECT_EQ(recording::FixedCaptureRect(ScreenRect{-20, 900, 299, 1199}, 1280, 1024),
            (ScreenRect{0, 900, 299, 1023}));
  // Larger than the screen: the default.
  EXPECT_EQ(recording::FixedCaptureRect(ScreenRect{0, 0, 1400, 500}, 1280, 1024),
            (ScreenRect{100, 100, 419, 339}));
}

TEST(RecordingController, RecordFixedRunsToAListRowAndIgnoresSecondCommands) {
  FakePorts ports;
  ports.callWindow = ScreenRect{10, 20, 649, 499};
  RecordingController c(ports, 1280, 1024);

  c.RecordFixed(kWhen);
  EXPECT_EQ(c.state(), RecorderState::Armed);
  EXPECT_EQ(c.outputName(), recording::RecordingFileName(kWhen));
  EXPECT_EQ(c.outputPath(), "/out/" + c.outputName());
  EXPECT_EQ(ports.status, "Recording");
  EXPECT_TRUE(ports.clockRunning);
  EXPECT_EQ(ports.streamsOpen, 2);
  EXPECT_FALSE(c.Stop());  // nothing captures yet: stop does nothing

  c.OnRecordStart();
  EXPECT_TRUE(c.recording());
  EXPECT_EQ(ports.startedRect, (ScreenRect{10, 20, 649, 499}));
  c.OnCaptureStarted(ports.lastId, c.outputPath());
  c.RecordFixed(kWhen + 1);  // ignored
  c.RecordCustom(kWhen + 1);
  EXPECT_EQ(ports.sessionsAlive, 1);
  EXPECT_EQ(c.outputName(), recording::RecordingFileName(kWhen));

  EXPECT_TRUE(c.Stop());
  EXPECT_EQ(c.state(), RecorderState::Idle);
  EXPECT_EQ(ports.status, "Ready");
  EXPECT_FALSE(ports.clockRunning);
  EXPECT_EQ(ports.sessionsStopped, 1);
  ASSERT_EQ(ports.rows.size(), 1u);
  EXPECT_EQ(ports.rows[0].path, c.outputPath());
  EXPECT_EQ(ports.rows[0].duration, "00:00:05");
  // The stop path does not wait: the session lives until its file is closed.
  EXPECT_EQ(ports.sessionsAlive, 1);
  // The streams stay open until the file has the sound of its last pictures.
  EXPECT_EQ(ports.streamsOpen, 2);
  c.OnCaptureFinished(ports.lastId, c.outputPath());
  EXPECT_EQ(ports.sessionsAlive, 0);
  EXPECT_EQ(ports.streamsOpen, 0);
  EXPECT_FALSE(c.Stop());  // F9 while idle
}

TEST(RecordingController, ListNamesTheFileReallyWrittenEvenAfterAFastStop) {
  FakePorts ports;
  RecordingController c(ports, 1280, 1024);
  c.RecordFixed(kWhen);
  c.OnRecordStart();
  c.OnCaptureStarted(ports.lastId, "/fallback/~temp123.avi");
  c.Stop();
  ASSERT_EQ(ports.rows.size(), 1u);
  EXPECT_EQ(ports.rows[0].path, "/fallback/~temp123.avi");
  EXPECT_EQ(ports.rows[0].name, "~temp123.avi");

  // Stopped before the capture said which file it writes: the row waits for
  // the file, and never names the output field's path.
  c.RecordFixed(kWhen + 10);
  c.OnRecordStart();
  const auto fast = ports.lastId;
  c.Stop();
  EXPECT_EQ(ports.rows.size(), 1u);
  c.OnCaptureStarted(fast, "/program/~temp9.avi");
  ASSERT_EQ(ports.rows.size(), 2u);
  EXPECT_EQ(ports.rows[1].path, "/program/~temp9.avi");
  EXPECT_EQ(ports.rows[1].duration, "00:00:05");
  c.OnCaptureFinished(fast, "/program/~temp9.avi");
  EXPECT_EQ(ports.rows.size(), 2u);  // listed once

  // Its report still in the queue when the next recording starts: the next
  // command waits for the file and lists it from there.
  c.RecordFixed(kWhen + 20);
  c.OnRecordStart();
  c.Stop();
  ports.finishedPath = "/out/third.avi";
  c.RecordFixed(kWhen + 30);
  ASSERT_EQ(ports.rows.size(), 3u);
  EXPECT_EQ(ports.rows[2].path, "/out/third.avi");
}

TEST(RecordingController, AStaleInterruptionNeverEndsANewerRecording) {
  FakePorts ports;
  RecordingController c(ports, 1280, 1024);
  c.RecordFixed(kWhen);
  c.OnRecordStart();
  const auto first = ports.lastId;
  c.Stop();
  c.RecordFixed(kWhen + 1);
  c.OnRecordStart();
  ASSERT_TRUE(c.recording());
  // The first capture's failure report arrives late.
  c.OnCaptureInterrupted(first, "/out/first.avi");
  c.OnCaptureFinished(first, "/out/first.avi");
  EXPECT_TRUE(c.recording());
  EXPECT_TRUE(ports.clockRunning);
  EXPECT_EQ(ports.streamsOpen, 2);
  EXPECT_TRUE(c.Stop());
}

TEST(RecordingController, RingsAreRefilledOnlyAfterThePreviousCaptureLetGo) {
  FakePorts ports;
  RecordingController c(ports, 1280, 1024);
  c.RecordFixed(kWhen);
  c.OnRecordStart();
  c.Stop();  // the capture goes on closing its file
  EXPECT_EQ(ports.sessionsUnfinished, 1);
  c.RecordCustom(kWhen + 1);
  EXPECT_EQ(ports.openedWhileAnotherCaptureWrote, 0);
  EXPECT_EQ(ports.sessionsUnfinished, 0);
  EXPECT_EQ(ports.streamsOpen, 2);
}

TEST(RecordingController, CustomSelectionCommitsCancelsAndInterruptionsReturnToIdle) {
  FakePorts ports;
  RecordingController c(ports, 1280, 1024);
  c.RecordCustom(kWhen);
  EXPECT_EQ(c.state(), RecorderState::Selecting);
  EXPECT_FALSE(c.Stop());  // before the release: nothing to stop
  c.SelectionCommitted(ScreenRect{330, 260, 10, 20});
  EXPECT_EQ(c.captureRect(), (ScreenRect{10, 20, 330, 260}));
  c.OnRecordStart();
  EXPECT_EQ(ports.startedRect, (ScreenRect{10, 20, 330, 260}));

  // The capture thread fails on its own: Idle, and the partial file is listed.
  c.OnCaptureInterrupted(ports.lastId, "/out/partial.avi");
  EXPECT_EQ(c.state(), RecorderState::Idle);
  EXPECT_FALSE(ports.clockRunning);
  EXPECT_EQ(ports.streamsOpen, 0);
  ASSERT_EQ(ports.rows.size(), 1u);
  EXPECT_EQ(ports.rows[0].path, "/out/partial.avi");

  // No file at all: nothing listed.
  c.RecordFixed(kWhen);
  c.OnRecordStart();
  c.OnCaptureInterrupted(ports.lastId, "");
  EXPECT_EQ(ports.rows.size(), 1u);
  EXPECT_EQ(c.state(), RecorderState::Idle);

  // A cancelled selection starts nothing and leaves nothing running.
  c.RecordCustom(kWhen);
  c.SelectionCancelled();
  EXPECT_EQ(c.state(), RecorderState::Idle);
  EXPECT_FALSE(ports.clockRunning);
  EXPECT_EQ(ports.streamsOpen, 0);
  c.OnRecordStart();  // a stale start message does nothing
  EXPECT_FALSE(c.recording());
}

TEST(RecordingController, ExitWhileRecordingFinishesTheFileFirst) {
  FakePorts ports;
  RecordingController c(ports, 1280, 1024);
  c.RecordFixed(kWhen);
  c.OnRecordStart();
  c.FinishForExit();
  EXPECT_EQ(ports.sessionsStopped, 1);
  EXPECT_EQ(ports.sessionsAlive, 0);  // waited for the file
  EXPECT_EQ(ports.rows.size(), 1u);
}
