#include "app/app_folders.h"

#include <filesystem>
#include <system_error>

#include "app/ini_file.h"
#include "platform/paths.h"

namespace {

std::string WithoutTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

AppFolders AppFolders::Resolve(const std::string& programFolder, const std::string& home,
                               const std::string& configHome, const std::string& dataHome,
                               bool programFolderWritable) {
  AppFolders f;
  f.programFolder = WithoutTrailingSlash(programFolder);
  f.skinFolder = f.programFolder + "/skin/";
  f.settingsPath = programFolderWritable ? f.programFolder + "/config.ini"
                                         : WithoutTrailingSlash(configHome) + "/Plovander/config.ini";
  f.defaultOutputFolder = WithoutTrailingSlash(home) + "/PlovanderOutput";
  f.snapshotFolder = f.defaultOutputFolder + "/Snapshot";
  f.userFolder = WithoutTrailingSlash(dataHome) + "/Plovander/";
  f.cacheFolder = f.userFolder + "cache/";
  return f;
}

AppFolders AppFolders::ForThisProcess() {
  std::string program = platform::ProgramFolder();
  return Resolve(program, platform::HomeFolder(), platform::ConfigHome(), platform::DataHome(),
                 platform::IsWritableFolder(program));
}

void CreateDefaultOutputFolders(const AppFolders& folders) {
  platform::MakeFolder(folders.defaultOutputFolder);
  platform::MakeFolder(folders.snapshotFolder);
}

std::string LoadOutputFolder(const AppFolders& folders) {
  IniFile ini(folders.settingsPath);
  std::string folder =
      ini.ReadString(kSettingsSection, kSettingsFilePathKey, folders.defaultOutputFolder);
  platform::MakeFolder(folder);
  return folder;
}

void CreateUserFolders(const AppFolders& folders) {
  // The per-user data folder is the platform's own and always there on the
  // original platform; a fresh Linux home may lack ~/.local/share, so it is made
  // with its parents. Our two folders below it stay one level each.
  std::string user = WithoutTrailingSlash(folders.userFolder);
  std::error_code ec;
  std::filesystem::create_directories(user.substr(0, user.rfind('/')), ec);
  platform::MakeFolder(WithoutTrailingSlash(folders.userFolder));
  platform::MakeFolder(WithoutTrailingSlash(folders.cacheFolder));
}

bool SaveOutputFolder(const AppFolders& folders, const std::string& folder) {
  auto slash = folders.settingsPath.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    // The fallback location and its parent may not exist yet.
    std::string dir = folders.settingsPath.substr(0, slash);
    platform::MakeFolder(dir.substr(0, dir.rfind('/')));
    platform::MakeFolder(folders.settingsPath.substr(0, slash));
  }
  IniFile ini(folders.settingsPath);
  return ini.WriteString(kSettingsSection, kSettingsFilePathKey, folder);
}
