#include "recording/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "app/ini_file.h"
#include "app/app_folders.h"

namespace recording {
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

Status CreateOutputFile(const std::function<std::string()>& folderFor,
                        const std::string& outputName, unsigned randomSeed, CreatedFile& out) {
  // One generator for the whole probe: every attempt gets a new number, where
  // reseeding from the clock each time would repeat one name for a second.
  std::minstd_rand random(randomSeed);
  std::string lastError;
  for (int attempt = 0; attempt <= kTempNameAttempts; ++attempt) {
    const std::string name =
        attempt == 0 ? outputName
                     : "~temp" + std::to_string(random() % 32768) + ".avi";
    const std::string path = folderFor() + "/" + name;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      out.fd = UniqueFd(fd);
      out.path = path;
      return Status::Ok();
    }
    lastError = path + ": " + std::strerror(errno);
  }
  return Status::Fail("no output file could be created (last tried " + lastError + ")");
}

}  // namespace recording
