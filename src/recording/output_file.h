#pragma once
// The file a recording goes into: created in the folder the caller names
// (asked again for every attempt) under the stamped name or, when that cannot
// be created, under a few "~temp<number>.avi" names.
#include <functional>
#include <string>

#include "base/result.h"
#include "recording/unique_fd.h"

namespace recording {

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
base::Outcome CreateOutputFile(const std::function<std::string()>& folderFor,
                        const std::string& outputName, unsigned randomSeed, CreatedFile& out);

// A file whose name went while it was written (its folder deleted, most
// often) is still whole behind `fd`, an open descriptor of it. When it has no
// name left, this copies it into a new file at `path` (its folder made again
// when it is missing) or, when that cannot be made, into one made as
// CreateOutputFile does, and sets `path` to the new file. Nothing happens
// while the file still has a name.
base::Outcome RestoreUnlinkedFile(int fd, const std::function<std::string()>& folderFor,
                           unsigned randomSeed, std::string& path);

}  // namespace recording
