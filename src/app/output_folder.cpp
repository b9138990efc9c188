#include "app/output_folder.h"

#include <algorithm>
#include <filesystem>

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

std::string EditedName(const std::string& input, const std::string& extension,
                       const std::vector<std::string>& taken) {
  const std::filesystem::path source(input);
  const std::filesystem::path folder = source.parent_path();
  const std::string stem = source.stem().string() + " (edited)";
  auto free = [&](const std::filesystem::path& candidate) {
    std::error_code ignored;
    return !std::filesystem::exists(candidate, ignored) &&
           std::find(taken.begin(), taken.end(), candidate.string()) == taken.end();
  };
  std::filesystem::path candidate = folder / (stem + "." + extension);
  for (int n = 2; !free(candidate); ++n)
    candidate = folder / (stem + " " + std::to_string(n) + "." + extension);
  return candidate.string();
}
