// The real program under the harness's X server: one window, its pixels, and
// the single-instance rule.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/program.h"
#include "support/sandbox.h"
#include "support/temp_dir.h"
#include "support/x_screen.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = std::string(MURMURANT_BIN_DIR) + "/murmurant";
const std::string kSkin = std::string(MURMURANT_SOURCE_DIR) + "/skin/";


}  // namespace

TEST(MainWindowProgram, ShowsOneSkinnedWindowAtTheOriginAndRefusesASecondInstance) {
  Sandbox box;
  xtest::MovePointer(1200, 1000);  // keep the pointer off every button
  ChildProgram first({kProgram}, box.env());
  ASSERT_TRUE(first.started());
  auto window = xtest::WaitForWindow("Murmurant", 20000);
  ASSERT_TRUE(window) << "no main window appeared";
  EXPECT_EQ(window->x, 0);
  EXPECT_EQ(window->y, 0);
  EXPECT_EQ(window->width, 510);
  EXPECT_EQ(window->height, 620);

  // Let the first paint land, then compare with the skin files.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  xtest::Image screen = xtest::GrabScreen(0, 0, 510, 620);
  auto back = xtest::ReadBmp(kSkin + "back_ui.bmp");
  ASSERT_TRUE(back);
  // Free background between the list and the output row: no control, no text.
  EXPECT_EQ(xtest::CountDifferences(screen, 20, 470, *back, 20, 470, 470, 50), 0);
  // The title strip right of the title text and left of the minimise button.
  EXPECT_EQ(xtest::CountDifferences(screen, 300, 24, *back, 300, 24, 80, 6), 0);
  for (const auto& [name, x, y, w, h] :
       {std::tuple{"record_fixed", 10, 32, 54, 47}, std::tuple{"close", 480, 4, 20, 20},
        std::tuple{"change_folder", 400, 530, 92, 20}}) {
    auto face = xtest::ReadBmp(kSkin + name + std::string("_normal.bmp"));
    ASSERT_TRUE(face) << name;
    EXPECT_EQ(xtest::CountDifferences(screen, x, y, *face, 0, 0, w, h), 0) << name;
  }
  // The shape: the top-left corner pixel is outside the window, so the root shows.
  xtest::Image corner = xtest::GrabScreen(0, 0, 1, 1);
  EXPECT_NE(corner.at(0, 0), screen.at(5, 40));

  // The first folders exist.
  EXPECT_TRUE(fs::is_directory(box.dir / "home/PlovanderOutput/Snapshot"));
  EXPECT_TRUE(fs::is_directory(box.dir / "home/.local/share/Plovander/cache"));

  ChildProgram second({kProgram}, box.env(), box.dir / "second.log");
  ASSERT_TRUE(second.started());
  // A deadline, not a wait: a sanitized build on a busy machine takes
  // seconds just to start the toolkit and to check for leaks at exit.
  auto status = second.WaitExit(15000);
  ASSERT_TRUE(status) << "second instance did not end";
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_NE(ReadFile(box.dir / "second.log").find("another Murmurant is running"), std::string::npos);
  EXPECT_TRUE(first.running());
  EXPECT_EQ(xtest::FindWindowsByTitle("Murmurant").size(), 1u);
}

TEST(MainWindowProgram, StartsWithABrokenSkinAndBrokenSettings) {
  Sandbox box;
  // A program folder of our own: the program, a skin of missing and corrupt
  // files, and a settings file that is binary junk with a huge FilePath.
  std::string prog = box.dir / "prog";
  fs::create_directories(prog + "/skin");
  fs::copy_file(kProgram, prog + "/murmurant");
  WriteFile(prog + "/skin/back_ui.bmp", "BM this is not a bitmap");
  WriteFile(prog + "/skin/record_fixed_normal.bmp", std::string(100, '\xff'));
  WriteFile(prog + "/config.ini",
            std::string("\x00\x01[General]\nFilePath=", 20) + std::string(5000, 'x') + "\n");
  ChildProgram program({prog + "/murmurant"}, box.env());
  ASSERT_TRUE(program.started());
  auto window = xtest::WaitForWindow("Murmurant", 20000);
  ASSERT_TRUE(window);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(program.running());
  // The default folder is made whatever the settings say.
  EXPECT_TRUE(fs::is_directory(box.dir / "home/PlovanderOutput/Snapshot"));
}

namespace {
std::string DefaultSink() {
  std::string out;
  if (FILE* p = popen("pactl get-default-sink 2>/dev/null", "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}
// An audio engine of this sandbox's session: other test runs on the machine
// have engines of their own.
bool EngineRunning(const std::string& runtimeDir) {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string comm = ReadFile(entry.path() / "comm");
    if (comm != "audiotrans\n") continue;
    std::string environ = ReadFile(entry.path() / "environ");
    if (environ.find("XDG_RUNTIME_DIR=" + runtimeDir + '\0') != std::string::npos) return true;
  }
  return false;
}
}  // namespace

TEST(MainWindowProgram, RoutesPlaybackToTheLoopbackAndPutsItBackWhenTerminated) {
  Sandbox box;
  const std::string before = DefaultSink();
  ASSERT_FALSE(before.empty());
  {
    ChildProgram program({kProgram}, box.env());
    ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 20000));
    bool routed = false;
    for (int i = 0; i < 50 && !routed; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      routed = DefaultSink() == "plovander_loopline";
    }
    EXPECT_TRUE(routed) << DefaultSink();
    EXPECT_TRUE(EngineRunning(box.dir / "run"));
    // A terminate request ends the program the way its close button does.
    kill(program.pid(), SIGTERM);
    auto status = program.WaitExit(8000);
    ASSERT_TRUE(status) << "did not end on SIGTERM";
    EXPECT_TRUE(WIFEXITED(*status));
  }
  EXPECT_EQ(DefaultSink(), before);
  bool engineGone = false;
  for (int i = 0; i < 30 && !engineGone; ++i) {
    engineGone = !EngineRunning(box.dir / "run");
    if (!engineGone) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(engineGone);
}

TEST(MainWindowProgram, ReadOnlyProgramFolderKeepsSettingsInTheUserConfig) {
  // Root ignores permission bits, so the folder is made read-only for real: a
  // read-only bind mount in a mount namespace of the program's own.
  if (std::system("unshare -m true 2>/dev/null") != 0)
    GTEST_SKIP() << "cannot make a mount namespace here";
  Sandbox box;
  std::string prog = box.dir / "prog";
  fs::create_directories(prog);
  fs::copy_file(kProgram, prog + "/murmurant");
  fs::create_directory_symlink(std::string(MURMURANT_SOURCE_DIR) + "/skin", prog + "/skin");
  fs::create_directories(box.dir / "home/.config/Plovander");
  WriteFile(box.dir / "home/.config/Plovander/config.ini",
            "[General]\nFilePath=" + (box.dir / "calls") + "\n");
  std::string script = "mount --bind '" + prog + "' '" + prog + "' && mount -o remount,bind,ro '" +
                       prog + "' && exec '" + prog + "/murmurant'";
  ChildProgram program({"/usr/bin/unshare", "-m", "/bin/sh", "-c", script}, box.env());
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(xtest::WaitForWindow("Murmurant", 20000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(program.running());
  // The settings came from the user's config folder: the folder it names exists.
  EXPECT_TRUE(fs::is_directory(box.dir / "calls"));
  EXPECT_FALSE(fs::exists(prog + "/config.ini"));
}
