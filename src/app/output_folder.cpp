#include "app/output_folder.h"

#include <sys/stat.h>

#include "app/app_folders.h"
#include "app/ini_file.h"

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

OutputFolderResolver::OutputFolderResolver(std::string settingsPath, std::string defaultFolder,
                                           std::string programFolder)
    : settingsPath_(std::move(settingsPath)),
      defaultFolder_(std::move(defaultFolder)),
      programFolder_(std::move(programFolder)) {}

std::string OutputFolderResolver::Resolve() {
  if (programFolderInUse_) return programFolder_;
  std::string folder =
      IniFile(settingsPath_).ReadString(kSettingsSection, kSettingsFilePathKey, defaultFolder_);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (IsDirectory(folder)) return folder;
  programFolderInUse_ = true;
  return programFolder_;
}
