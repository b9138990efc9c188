#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "app/app_folders.h"
#include "app/ini_file.h"
#include "app/output_folder.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

TEST(IniFile, MissingFileSectionOrKeyGiveTheDefault) {
  TempDir dir;
  IniFile missing(dir / "nothing.ini");
  EXPECT_EQ(missing.ReadString("General", "FilePath", "fallback"), "fallback");

  WriteFile(dir / "config.ini", "[Other]\nFilePath=/elsewhere\n[General]\nName=x\n");
  IniFile ini(dir / "config.ini");
  EXPECT_EQ(ini.ReadString("General", "FilePath", "fallback"), "fallback");
  EXPECT_EQ(ini.ReadString("Missing", "Name", "fallback"), "fallback");
  EXPECT_EQ(ini.ReadString("general", "NAME", "fallback"), "x");  // names ignore case
}

TEST(IniFile, WriteCreatesFileAndSectionAndKeepsOtherContent) {
  TempDir dir;
  IniFile ini(dir / "config.ini");
  ASSERT_TRUE(ini.WriteString("General", "FilePath", "/a/b"));
  EXPECT_EQ(ini.ReadString("General", "FilePath", ""), "/a/b");

  WriteFile(dir / "config.ini", "; comment\n[General]\nFilePath=/old\nOther=1\n[Tail]\nK=v\n");
  ASSERT_TRUE(ini.WriteString("General", "FilePath", "/new path/with spaces"));
  ASSERT_TRUE(ini.WriteString("General", "Added", "2"));
  ASSERT_TRUE(ini.WriteString("Fresh", "Key", "3"));
  EXPECT_EQ(ini.ReadString("General", "FilePath", ""), "/new path/with spaces");
  EXPECT_EQ(ini.ReadString("General", "Other", ""), "1");
  EXPECT_EQ(ini.ReadString("General", "Added", ""), "2");
  EXPECT_EQ(ini.ReadString("Tail", "K", ""), "v");
  EXPECT_EQ(ini.ReadString("Fresh", "Key", ""), "3");
  EXPECT_NE(ReadFile(dir / "config.ini").find("; comment"), std::string::npos);
}

TEST(IniFile, LongValuesAreCutAndLineBreakingValuesRefused) {
  TempDir dir;
  IniFile ini(dir / "config.ini");
  std::string longPath(5000, 'p');
  ASSERT_TRUE(ini.WriteString("General", "FilePath", longPath));
  std::string read = ini.ReadString("General", "FilePath", "");
  EXPECT_EQ(read.size(), IniFile::kMaxValueLength);
  EXPECT_EQ(read, longPath.substr(0, IniFile::kMaxValueLength));

  // A value with a line break would smuggle in a second key.
  EXPECT_FALSE(ini.WriteString("General", "FilePath", "/x\n[General]\nFilePath=/evil"));
  EXPECT_EQ(ini.ReadString("General", "FilePath", ""), read);
}

TEST(IniFile, BinaryOrUnreadableFilesFallBackAndFailedWritesKeepTheOldFile) {
  TempDir dir;
  std::string junk("\x00\xff\xfe[General\x00]FilePath=\x01\x02\n\xff", 24);
  WriteFile(dir / "binary.ini", junk);
  IniFile binary(dir / "binary.ini");
  EXPECT_EQ(binary.ReadString("General", "FilePath", "fallback"), "fallback");

  // A folder in place of the file cannot be read or replaced.
  fs::create_directory(dir / "folder.ini");
  IniFile folder(dir / "folder.ini");
  EXPECT_EQ(folder.ReadString("General", "FilePath", "fallback"), "fallback");
  EXPECT_FALSE(folder.WriteString("General", "FilePath", "/x"));
  EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));

  IniFile nowhere(dir / "missing-folder/config.ini");
  EXPECT_FALSE(nowhere.WriteString("General", "FilePath", "/x"));
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(IniFile, HugeGarbageOrPipeFilesReadAsDefaultsAndStayUntilASave) {
  TempDir dir;
  const std::string path = dir / "config.ini";
  WriteFile(path, "[General]\nFilePath=/kept\n" + std::string(10 << 20, 'x'));
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("General", "FilePath", "default"), "default");  // not settings
  EXPECT_EQ(fs::file_size(path), (10u << 20) + 25);  // reading never writes
  ASSERT_TRUE(ini.WriteString("General", "Other", "1"));  // the user's change replaces it
  EXPECT_EQ(ReadFile(path), "[General]\nOther=1\n");

  // Just under the size bound: a few million empty lines cost their bytes,
  // not a string each.
  const long before = PeakKilobytes();
  WriteFile(path, std::string(IniFile::kMaxFileSize - 1, '\n'));
  EXPECT_EQ(ini.ReadString("General", "FilePath", "default"), "default");
  ASSERT_TRUE(ini.WriteString("General", "FilePath", "/x"));
  EXPECT_LT(PeakKilobytes() - before, 64 * 1024);

  // Binary bytes stay byte for byte around a saved value, "\r" included.
  std::string junk;
  for (unsigned i = 0; i < 70000; ++i) junk += static_cast<char>((i * 2654435761u) >> 24);
  junk += "\r\r\n[General]\r\n";
  WriteFile(path, junk);
  EXPECT_EQ(ini.ReadString("General", "FilePath", "default"), "default");
  ASSERT_TRUE(ini.WriteString("General", "FilePath", "/chosen"));
  EXPECT_EQ(ini.ReadString("General", "FilePath", ""), "/chosen");
  EXPECT_EQ(ReadFile(path), junk + "FilePath=/chosen\n");

  // A pipe in its place gives the default at once instead of waiting for a writer.
  fs::remove(path);
  ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
  EXPECT_EQ(ini.ReadString("General", "FilePath", "default"), "default");
  EXPECT_FALSE(ini.WriteString("General", "FilePath", "/x"));
  EXPECT_TRUE(fs::is_fifo(path));
}

TEST(AppFolders, ResolvesNextToTheProgramOrUnderTheUserConfigWhenReadOnly) {
  AppFolders writable = AppFolders::Resolve("/opt/m/", "/home/u", "/home/u/.config",
                                            "/home/u/.local/share", true);
  EXPECT_EQ(writable.programFolder, "/opt/m");
  EXPECT_EQ(writable.skinFolder, "/opt/m/skin/");
  EXPECT_EQ(writable.settingsPath, "/opt/m/config.ini");
  EXPECT_EQ(writable.defaultOutputFolder, "/home/u/PlovanderOutput");
  EXPECT_EQ(writable.snapshotFolder, "/home/u/PlovanderOutput/Snapshot");
  EXPECT_EQ(writable.userFolder, "/home/u/.local/share/Plovander/");
  EXPECT_EQ(writable.cacheFolder, "/home/u/.local/share/Plovander/cache/");

  AppFolders readOnly = AppFolders::Resolve("/opt/m", "/home/u", "/cfg", "/data", false);
  EXPECT_EQ(readOnly.settingsPath, "/cfg/Plovander/config.ini");
}

TEST(AppFolders, OutputFolderIsCreatedOneLevelOnly) {
  TempDir dir;
  AppFolders f = AppFolders::Resolve(dir / "prog", dir / "home", dir / "home/.config",
                                     dir / "home/.local/share", true);
  fs::create_directories(dir / "prog");
  fs::create_directories(dir / "home");

  // No settings: the default folder, with its Snapshot folder.
  CreateDefaultOutputFolders(f);
  EXPECT_EQ(LoadOutputFolder(f), f.defaultOutputFolder);
  EXPECT_TRUE(fs::is_directory(f.snapshotFolder));

  // A configured folder whose parent exists is created.
  ASSERT_TRUE(SaveOutputFolder(f, dir / "recordings"));
  EXPECT_EQ(LoadOutputFolder(f), dir / "recordings");
  EXPECT_TRUE(fs::is_directory(dir / "recordings"));

  // Two levels below a missing parent: shown and used, nothing created.
  ASSERT_TRUE(SaveOutputFolder(f, dir / "missing/deeper"));
  EXPECT_EQ(LoadOutputFolder(f), dir / "missing/deeper");
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(AppFolders, SettingsFallbackFolderIsMadeOnFirstSave) {
  TempDir dir;
  fs::create_directories(dir / "home");
  AppFolders f = AppFolders::Resolve(dir / "prog", dir / "home", dir / "home/.config",
                                     dir / "home/.local/share", false);
  ASSERT_TRUE(SaveOutputFolder(f, "/somewhere"));
  EXPECT_EQ(IniFile(dir / "home/.config/Plovander/config.ini").ReadString("General", "FilePath", ""),
            "/somewhere");
}

TEST(OutputFolder, SettingsNameTheFolderElseTheDefault) {
  TempDir dir;
  std::filesystem::create_directory(dir / "default");
  std::filesystem::create_directory(dir / "chosen");
  const std::string ini = dir / "config.ini";
  OutputFolderResolver resolver(ini, dir / "default", dir / "program");
  EXPECT_EQ(resolver.Resolve(), dir / "default");
  ASSERT_TRUE(IniFile(ini).WriteString("General", "FilePath", (dir / "chosen") + "/"));
  EXPECT_EQ(resolver.Resolve(), dir / "chosen");  // read again for every attempt
  EXPECT_FALSE(resolver.usingProgramFolder());
}

TEST(OutputFolder, MissingFolderSwitchesToTheProgramFolderForGood) {
  TempDir dir;
  const std::string ini = dir / "config.ini";
  ASSERT_TRUE(IniFile(ini).WriteString("General", "FilePath", dir / "gone"));
  OutputFolderResolver resolver(ini, dir / "default", dir / "program");
  EXPECT_EQ(resolver.Resolve(), dir / "program");
  EXPECT_TRUE(resolver.usingProgramFolder());
  std::filesystem::create_directory(dir / "gone");
  EXPECT_EQ(resolver.Resolve(), dir / "program");
}

TEST(OutputFolder, AnExportedNameNeverTakesAnExistingOrPlannedFile) {
  TempDir dir;
  const std::string input = dir / "2026-12-09 10-00-00.avi";
  const std::string first = dir / "2026-12-09 10-00-00 (edited).mp4";
  EXPECT_EQ(EditedName(input, "mp4"), first);
  std::ofstream(first).put('x');
  const std::string second = dir / "2026-12-09 10-00-00 (edited) 2.mp4";
  EXPECT_EQ(EditedName(input, "mp4"), second);
  EXPECT_EQ(EditedName(input, "mp4", {second}), dir / "2026-12-09 10-00-00 (edited) 3.mp4");
}
