// The built converter as a user runs it: one real conversion checked with
// ffprobe, and the refusals' exit codes, messages and untouched files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "support/program.h"
#include "support/temp_dir.h"
#include "test_media.h"

namespace {

struct RunResult {
  int exitCode = -1;
  std::string output;  // standard output and error together
};

RunResult Convert(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), std::string(MURMURANT_BIN_DIR) + "/murmurant-convert");
  const std::string log = dir / "log.txt";
  std::remove(log.c_str());
  ChildProgram child(args, {}, log);
  auto status = child.WaitExit(30'000);
  RunResult run;
  if (status && WIFEXITED(*status)) run.exitCode = WEXITSTATUS(*status);
  run.output = ReadFile(log);
  return run;
}

// "codec_name=h264" and the like for every stream, then the duration.
std::string Probe(const TempDir& dir, const std::string& path) {
  const std::string out = dir / "probe.txt";
  std::remove(out.c_str());
  ChildProgram probe({"/usr/bin/ffprobe", "-v", "error", "-show_entries",
                      "stream=codec_name,width,height,channels:format=duration", "-of",
                      "default=noprint_wrappers=1", path},
                     {}, out);
  probe.WaitExit(30'000);
  return ReadFile(out);
}

}  // namespace

TEST(ConvertProgram, ConvertsWithTrimAndSizeAndRefusesBadRuns) {
  const std::string source = testmedia::Make(
      "four-seconds.avi", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=10", "-f", "lavfi",
                           "-i", "sine=frequency=440:sample_rate=44100", "-ac", "2", "-t", "4",
                           "-c:v", "mjpeg", "-c:a", "pcm_s16le"});
  ASSERT_FALSE(source.empty());
  const std::string sourceBytes = ReadFile(source);
  TempDir dir;
  const std::string out = dir / "out.mp4";

  RunResult ok = Convert(dir, {source, "-o", out, "--trim", "00:00:01-00:00:03", "--resolution",
                         "640x360", "--effect", "gray", "--volume", "50"});
  ASSERT_EQ(ok.exitCode, 0) << ok.output;
  EXPECT_NE(ok.output.find("100%\n"), std::string::npos) << ok.output;  // not a terminal: lines
  const std::string probed = Probe(dir, out);
  EXPECT_NE(probed.find("codec_name=h264\nwidth=640\nheight=360"), std::string::npos) << probed;
  EXPECT_NE(probed.find("codec_name=aac\nchannels=2"), std::string::npos) << probed;
  const auto at = probed.find("duration=");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::stod(probed.substr(at + 9)), 2.0, 0.15) << probed;

  // Each refusal: exit 2, its reason on standard error, nothing written.
  const std::string fresh = dir / "fresh.mp4";
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{source}, "no output"},
      {{source, "-o", out}, "exists already"},
      {{source, "-o", source, "--overwrite"}, "input itself"},
      {{source, "-o", fresh, "--trim", "00:00:02-00:00:09"}, "past the input's end"},
  };
  for (const auto& [args, reason] : refused) {
    RunResult r = Convert(dir, args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_TRUE(r.output.starts_with("murmurant-convert: ")) << r.output;
    EXPECT_NE(r.output.find(reason), std::string::npos) << r.output;
  }
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_EQ(Probe(dir, out), probed);  // the refused overwrite left it alone

  // A file that is no recording fails in the export itself: exit 1, no output.
  WriteFile(dir / "junk.avi", std::string(4096, 'j'));
  RunResult failed = Convert(dir, {dir / "junk.avi", "-o", fresh});
  EXPECT_EQ(failed.exitCode, 1) << failed.output;
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_EQ(ReadFile(source), sourceBytes);
}
