// The converter's argument rules and progress line, without the engine.
#include <gtest/gtest.h>

#include <filesystem>

#include "convert_options.h"
#include "progress_line.h"
#include "support/temp_dir.h"

using convert::ParseArguments;

static std::string ErrorOf(const std::vector<std::string>& args) {
  auto r = ParseArguments(args);
  return r.options ? std::string("(accepted)") : r.error;
}

TEST(ConvertOptions, ReadsEveryOptionWhateverItsPlace) {
  auto r = ParseArguments({"--volume", "50", "-o", "out.webm", "--trim", "00:00:05-1:02:03.5",
                           "in.avi", "--crop", "10,20,300,200", "--zoom", "panscan",
                           "--brightness", "-40", "--contrast", "150", "--saturation", "-100",
                           "--effect", "negative", "--resolution", "854x480"});
  ASSERT_TRUE(r.options) << r.error;
  const auto& o = *r.options;
  EXPECT_EQ(o.input, "in.avi");
  EXPECT_EQ(edit::StandardProfiles().At(o.profile)->extension, "webm");  // from the name
  EXPECT_EQ(edit::StandardProfiles().At(o.profile)->resolution.entries[size_t(o.resolution)], "854x480");
  EXPECT_DOUBLE_EQ(o.trimStart, 5.0);
  EXPECT_DOUBLE_EQ(o.trimEnd, 3723.5);
  EXPECT_EQ(o.crop.left + o.crop.top + o.crop.right + o.crop.bottom, 10 + 20 + 300 + 200);
  EXPECT_EQ(o.zoom, exporter::Zoom::PanAndScan);
  EXPECT_EQ(o.effects, (edit::EffectSettings{2, -40, 150, -100, 50}));

  auto plain = ParseArguments({"in.avi", "-o", "out"});  // no known extension: mp4
  EXPECT_EQ(edit::StandardProfiles().At(plain.options.value().profile)->extension, "mp4");
}

TEST(ConvertOptions, RefusesMissingUnknownContradictoryAndOutOfRange) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "no input"},
      {{"in.avi"}, "no output"},
      {{"in.avi", "-o"}, "needs a value"},
      {{"in.avi", "-o", "a.mp4", "--speed", "2"}, "unknown option --speed"},
      {{"in.avi", "b.avi", "-o", "a.mp4"}, "one input"},
      {{"in.avi", "-o", "a.mp4", "-o", "b.mp4"}, "twice"},
      {{"in.avi", "-o", "a.mp4", "--profile", "mkv"}, "--profile is"},
      {{"in.avi", "-o", "a.webm", "--profile", "mp4"}, "ends in .webm"},
      {{"in.avi", "-o", "a.m4a", "--crop", "0,0,160,120"}, "keeps only the sound"},
      {{"in.avi", "-o", "a.mp4", "--resolution", "800x600"}, "--resolution is"},
      {{"in.avi", "-o", "a.mp4", "--trim", "00:01:00-00:00:10"}, "after its end"},
      {{"in.avi", "-o", "a.mp4", "--trim", "00:00:75-00:02:00"}, "HH:MM:SS"},
      {{"in.avi", "-o", "a.mp4", "--crop", "300,0,10,240"}, "keeps nothing"},
      {{"in.avi", "-o", "a.mp4", "--crop", "0,0,321,240"}, "outside"},
      {{"in.avi", "-o", "a.mp4", "--zoom", "stretch"}, "--zoom is"},
      {{"in.avi", "-o", "a.mp4", "--volume", "1000"}, "0 to 200"},
      {{"in.avi", "-o", "a.mp4", "--contrast", "1.5"}, "0 to 200"},
      {{"in.avi", "-o", "a.mp4", "--effect", "sepia"}, "--effect is"},
  };
  for (const auto& [args, expected] : cases)
    EXPECT_NE(ErrorOf(args).find(expected), std::string::npos)
        << "args ending " << (args.empty() ? "" : args.back()) << ": " << ErrorOf(args);
}

TEST(ConvertOptions, PathsAndTrimAgainstTheRealFiles) {
  TempDir dir;
  WriteFile(dir / "in.avi", "x");
  WriteFile(dir / "taken.mp4", "y");
  auto check = [&](std::vector<std::string> args) {
    auto r = ParseArguments(args);
    return r.options ? convert::CheckPaths(*r.options) : "parse: " + r.error;
  };
  EXPECT_EQ(check({dir / "in.avi", "-o", dir / "new.mp4"}), "");
  EXPECT_NE(check({dir / "missing.avi", "-o", dir / "new.mp4"}).find("cannot read"), std::string::npos);
  EXPECT_NE(check({dir / "in.avi", "-o", dir.path() + "/./in.avi", "--profile", "avi"}).find("input itself"),
            std::string::npos);
  EXPECT_NE(check({dir / "in.avi", "-o", dir / "taken.mp4"}).find("--overwrite"), std::string::npos);
  EXPECT_EQ(check({dir / "in.avi", "-o", dir / "taken.mp4", "--overwrite"}), "");
  EXPECT_NE(check({dir / "in.avi", "-o", dir / "no/such/new.mp4"}).find("does not exist"), std::string::npos);

  auto trimmed = *ParseArguments({"in.avi", "-o", "o.mp4", "--trim", "00:00:05-00:00:15"}).options;
  auto t = convert::TrimToFractions(trimmed, 20.0);
  EXPECT_EQ(t.error, "");
  EXPECT_DOUBLE_EQ(t.start, 0.25);
  EXPECT_DOUBLE_EQ(t.end, 0.75);
  EXPECT_NE(convert::TrimToFractions(trimmed, 12.0).error.find("past the input's end"), std::string::npos);
  EXPECT_NE(convert::TrimToFractions(trimmed, 0.0).error.find("unknown"), std::string::npos);
}

TEST(ConvertProgress, OneRedrawnLineOnATerminalTenLinesElsewhere) {
  TempDir dir;
  for (bool terminal : {true, false}) {
    const std::string path = dir / (terminal ? "tty" : "log");
    std::FILE* f = std::fopen(path.c_str(), "w");
    convert::ProgressLine line(f, terminal);
    for (int p : {0, 0, 3, 3, 9, 10, 55, 54, 100, 100}) line.Update(p);
    line.Finish();
    std::fclose(f);
    const std::string text = ReadFile(path);
    if (terminal) {
      EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 7);  // repeats are not redrawn
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
      EXPECT_TRUE(text.ends_with(convert::ProgressLine::Bar(100) + "\n"));
    } else {
      EXPECT_EQ(text, "0%\n10%\n50%\n100%\n");
    }
  }
}
