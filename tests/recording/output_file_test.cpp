#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "recording/output_file.h"
#include "support/temp_dir.h"

using recording::CreatedFile;
using recording::CreateOutputFile;

TEST(OutputFile, StampedNameFirstAndAnExistingFileIsNeverTouched) {
  TempDir dir;
  auto folder = [&] { return dir.path(); };
  CreatedFile first;
  ASSERT_TRUE(CreateOutputFile(folder, "2024-01-02 03-04-05.avi", 7, first).ok());
  EXPECT_EQ(first.path, dir / "2024-01-02 03-04-05.avi");
  ASSERT_EQ(::write(first.fd.get(), "keep", 4), 4);

  CreatedFile second;
  ASSERT_TRUE(CreateOutputFile(folder, "2024-01-02 03-04-05.avi", 7, second).ok());
  const std::string name = std::filesystem::path(second.path).filename();
  EXPECT_EQ(name.rfind("~temp", 0), 0u) << name;
  EXPECT_EQ(name.substr(name.size() - 4), ".avi");
  EXPECT_EQ(ReadFile(first.path), "keep");

  // Same second, same seed: the temp names still differ from each other.
  CreatedFile third;
  ASSERT_TRUE(CreateOutputFile(folder, "2024-01-02 03-04-05.avi", 7, third).ok());
  EXPECT_NE(third.path, second.path);
}

TEST(OutputFile, GivesUpAfterABoundedNumberOfAttempts) {
  int asked = 0;
  auto folder = [&] {
    ++asked;
    return std::string("/nonexistent-folder-for-murmurant-tests");
  };
  CreatedFile file;
  base::Outcome s = CreateOutputFile(folder, "x.avi", 1, file);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(file.fd);
  EXPECT_EQ(asked, recording::kTempNameAttempts + 1);
  EXPECT_NE(s.message().find("nonexistent-folder"), std::string::npos);
}

TEST(OutputFile, AFileWhoseFolderWasDeletedIsWrittenAgainWhereItWas) {
  TempDir dir;
  const std::string folder = dir / "parent/out";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directory(dir / "fallback");
  auto fallback = [&] { return dir / "fallback"; };
  CreatedFile file;
  ASSERT_TRUE(CreateOutputFile([&] { return folder; }, "a.avi", 1, file).ok());
  std::string content(3 << 20, 'x');  // more than one copy block
  content += "end";
  ASSERT_EQ(::write(file.fd.get(), content.data(), content.size()),
            static_cast<ssize_t>(content.size()));

  std::string path = file.path;
  ASSERT_TRUE(recording::RestoreUnlinkedFile(file.fd.get(), fallback, 1, path).ok());
  EXPECT_EQ(path, file.path);  // still named: untouched

  // Only the folder went: it is made again and the file is back under its name.
  std::filesystem::remove_all(folder);
  ASSERT_TRUE(recording::RestoreUnlinkedFile(file.fd.get(), fallback, 1, path).ok());
  EXPECT_EQ(path, file.path);
  EXPECT_TRUE(ReadFile(path) == content);

  // Its parent went too: the fallback folder takes it.
  CreatedFile second;
  ASSERT_TRUE(CreateOutputFile([&] { return dir / "parent/out"; }, "b.avi", 1, second).ok());
  ASSERT_EQ(::write(second.fd.get(), "bee", 3), 3);
  std::filesystem::remove_all(dir / "parent");
  std::string moved = second.path;
  ASSERT_TRUE(recording::RestoreUnlinkedFile(second.fd.get(), fallback, 1, moved).ok());
  EXPECT_EQ(moved, dir / "fallback/b.avi");
  EXPECT_EQ(ReadFile(moved), "bee");

  // Nowhere to write it again: the failure says so.
  std::filesystem::remove_all(dir / "fallback");
  std::filesystem::remove_all(dir / "parent");
  std::string lost = second.path;
  EXPECT_FALSE(recording::RestoreUnlinkedFile(second.fd.get(), fallback, 1, lost).ok());
}
