// `cmake --install` into a fresh prefix, then the installed programs run from
// there: the recorder shows its window out of a folder it cannot write, and
// the converter converts. Needs the harness's X server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/program.h"
#include "support/sandbox.h"
#include "support/x_screen.h"
#include "test_media.h"

namespace fs = std::filesystem;

static int ExitCode(ChildProgram& child, int ms) {
  auto status = child.WaitExit(ms);
  return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

TEST(Install, InstalledRecorderStartsAndInstalledConverterConverts) {
  TempDir prefix;
  {
    ChildProgram install({MURMURANT_CMAKE, "--install", MURMURANT_BUILD_DIR, "--prefix", prefix.path()},
                         {}, prefix / "install.log");
    ASSERT_EQ(ExitCode(install, 60'000), 0) << ReadFile(prefix / "install.log");
  }
  const fs::path folder = prefix / "lib/murmurant";
  EXPECT_EQ(fs::canonical(prefix / "bin/murmurant"), folder / "murmurant");
  EXPECT_EQ(fs::canonical(folder / "VideoConverter.exe"), folder / "murmurant-convert");
  for (const char* part : {"audiotrans", "libhook.so", "skin/res/128.png"})
    EXPECT_TRUE(fs::is_regular_file(folder / part)) << part;
  EXPECT_TRUE(fs::is_regular_file(prefix / "share/icons/hicolor/32x32/apps/murmurant.png"));
  const std::string entry = ReadFile(prefix / "share/applications/murmurant.desktop");
  EXPECT_NE(entry.find("\nExec=" + prefix.path() + "/bin/murmurant\n"), std::string::npos) << entry;

  // As installed system-wide: nobody may write into the program folder.
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  Sandbox sandbox;
  {
    ChildProgram recorder({prefix / "bin/murmurant"}, sandbox.env(), prefix / "recorder.log");
    auto window = xtest::WaitForWindow("Murmurant", 15'000);
    ASSERT_TRUE(window) << ReadFile(prefix / "recorder.log");
    EXPECT_TRUE(recorder.running());
  }
  EXPECT_FALSE(fs::exists(folder / "config.ini"));

  const std::string source = testmedia::Make(
      "one-second.avi", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-t", "1",
                         "-c:v", "mjpeg"});
  ASSERT_FALSE(source.empty());
  const std::string out = sandbox.dir / "home/out.webm";
  ChildProgram convert({prefix / "bin/murmurant-convert", source, "-o", out}, sandbox.env(),
                       prefix / "convert.log");
  EXPECT_EQ(ExitCode(convert, 30'000), 0) << ReadFile(prefix / "convert.log");
  EXPECT_GT(fs::file_size(out), 0u);
}
