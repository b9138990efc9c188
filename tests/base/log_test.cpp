// The log file stays bounded while it keeps taking lines, a file that cannot
// be written costs nothing but the file, and a burst is cut to its budget.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "base/log.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

int CountOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

struct LogTo {
  explicit LogTo(const std::string& path) { base::SetLogFile(path); }
  ~LogTo() { base::SetLogFile(""); }
};

TEST(Log, RotatesAtItsLimitKeepingOneOldFileAndTheNewestLines) {
  TempDir dir;
  const std::string file = dir / "cache/murmurant.log";  // its folder is made on the first line
  LogTo to(file);
  const std::string filler(1000, 'x');
  // Three limits' worth: the file rotates at least twice, the oldest lines go.
  for (int i = 0; i < 3 * 1100; ++i)
    base::LogToFileOnly(base::Level::kInfo, "test", "line " + std::to_string(i) + " " + filler);
  base::LogToFileOnly(base::Level::kWarning, "test", "the last line");

  ASSERT_TRUE(fs::exists(file));
  ASSERT_TRUE(fs::exists(file + ".1"));
  EXPECT_FALSE(fs::exists(file + ".2"));
  EXPECT_LT(fs::file_size(file), base::kLogFileLimit + 2000);
  EXPECT_LT(fs::file_size(file + ".1"), base::kLogFileLimit + 2000);
  EXPECT_GE(fs::file_size(file + ".1"), base::kLogFileLimit);
  const std::string current = ReadFile(file);
  EXPECT_NE(current.find(" warning test: the last line\n"), std::string::npos);
  EXPECT_EQ(ReadFile(file + ".1").find("line 0 "), std::string::npos) << "the oldest lines were kept";
  EXPECT_EQ(base::LogFilePath(), file);
}

TEST(Log, AFileThatCannotBeOpenedLosesNoStderrLineAndIsReportedOnce) {
  TempDir dir;
  WriteFile(dir / "plain", "a file, so nothing can be made under it");
  LogTo to(dir / "plain/murmurant.log");
  testing::internal::CaptureStderr();
  base::Logf(base::Level::kError, "test", "first %d", 1);
  base::Log(base::Level::kError, "test", "second");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(": first 1\n"), std::string::npos) << err;
  EXPECT_NE(err.find(": second\n"), std::string::npos) << err;
  EXPECT_EQ(CountOf(err, "could not be opened"), 1) << err;
}

TEST(Log, ABudgetLetsItsLinesThroughAndSumsUpTheRest) {
  TempDir dir;
  LogTo to(dir / "murmurant.log");
  {
    base::LogBudget budget("storm", 5, std::chrono::hours(1), true);
    for (int i = 0; i < 10000; ++i) budget.Log(base::Level::kWarning, "the same failure");
  }  // the budget's end sums up what it held back
  const std::string text = ReadFile(dir / "murmurant.log");
  EXPECT_EQ(CountOf(text, "storm: the same failure\n"), 5) << text;
  EXPECT_EQ(CountOf(text, "storm: ... and 9995 more like it\n"), 1) << text;

  // A new window lets lines through again, after the count of the last one.
  base::LogBudget quick("quick", 1, std::chrono::milliseconds(0));
  testing::internal::CaptureStderr();
  quick.Log(base::Level::kInfo, "one");
  quick.Log(base::Level::kInfo, "two");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(": one\n"), std::string::npos);
  EXPECT_NE(err.find(": two\n"), std::string::npos);
}

}  // namespace
