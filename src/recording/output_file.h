#pragma once
// Where a recording goes: the output folder as the settings file names it
// (read again for every attempt, so a folder changed meanwhile is honoured),
// and a file created there under the stamped name or, when that cannot be
// created, under a few "~temp<number>.avi" names.
#include <atomic>
#include <functional>
#include <string>

#include "recording/status.h"
#include "recording/unique_fd.h"

namespace recording {

class OutputFolderResolver {
 public:
  // `settingsPath`: the settings file; `defaultFolder`: the folder used when
  // it names none; `programFolder`: the fallback when the named folder is not
  // a directory.
  OutputFolderResolver(std::string settingsPath, std::string defaultFolder,
                       std::string programFolder);

  // The folder for the next attempt. Once the named folder was found missing,
  // the program folder is used from then on (for this resolver's life).
  std::string Resolve();

  bool usingProgramFolder() const { return programFolderInUse_; }

 private:
  std::string settingsPath_;
  std::string defaultFolder_;
  std::string programFolder_;
  std::atomic<bool> programFolderInUse_{false};
};

struct CreatedFile {
  UniqueFd fd;
  std::string path;
};

// How many "~temp" names are tried after the stamped one before giving up: a
// folder where nothing can be created must end the recording, not spin.
inline constexpr int kTempNameAttempts = 8;

// Creates the file exclusively, so an existing file (another recording of the
// same second, still being written, or anything else of that name) is never
// touched, and keeps it open: no other program can take the name between the
// choice and the writing. `folderFor` is asked once per attempt.
// `randomSeed` seeds the numbers of the "~temp" names.
Status CreateOutputFile(const std::function<std::string()>& folderFor,
                        const std::string& outputName, unsigned randomSeed, CreatedFile& out);

// A file whose name went while it was written (its folder deleted, most
// often) is still whole behind `fd`, an open descriptor of it. When it has no
// name left, this copies it into a new file at `path` (its folder made again
// when it is missing) or, when that cannot be made, into one made as
// CreateOutputFile does, and sets `path` to the new file. Nothing happens
// while the file still has a name.
Status RestoreUnlinkedFile(int fd, const std::function<std::string()>& folderFor,
                           unsigned randomSeed, std::string& path);

}  // namespace recording
