#pragma once
// Which folder a recording goes into: the output folder as the settings file
// names it, read again for every attempt so that a folder changed meanwhile
// is honoured, and the program folder once the named folder proves missing.
#include <atomic>
#include <string>
#include <vector>

class OutputFolderResolver {
 public:
  // `settingsPath`: the settings file; `defaultFolder`: the folder used when
  // it names none; `programFolder`: the fallback when the named folder is not
  // a directory.
  OutputFolderResolver(std::string settingsPath, std::string defaultFolder,
                       std::string programFolder);

  // The folder for the next attempt. Once the named folder was found missing,
  // the program folder is used from then on (for this resolver's life). Any
  // thread; the capture thread asks.
  std::string Resolve();

  bool usingProgramFolder() const { return programFolderInUse_; }

 private:
  std::string settingsPath_;
  std::string defaultFolder_;
  std::string programFolder_;
  std::atomic<bool> programFolderInUse_{false};
};

// An exported file's name: "<name> (edited).<ext>" beside `input`, or with
// " 2", " 3", ... added before the extension when that name is taken (on
// disk or in `taken`), so an export never overwrites anything.
std::string EditedName(const std::string& input, const std::string& extension,
                       const std::vector<std::string>& taken = {});
