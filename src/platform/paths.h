#pragma once
// Where things live on this machine: the program folder, the user's folders and
// one-level folder creation. Plain functions over the environment and the file
// system; no window system involved.
#include <string>

namespace platform {

// Folder of the running executable, without a trailing separator.
std::string ProgramFolder();

// $HOME, or the password database's home when HOME is unset.
std::string HomeFolder();

// $XDG_CONFIG_HOME or ~/.config, without a trailing separator.
std::string ConfigHome();

// $XDG_DATA_HOME or ~/.local/share: the per-user application-data folder.
std::string DataHome();

// $XDG_RUNTIME_DIR when it is usable, else /tmp.
std::string RuntimeFolder();

// Creates exactly one folder level. An existing folder, a missing parent or any
// other failure is reported only through the return value; nothing is logged.
bool MakeFolder(const std::string& path);

// True when a file could be created in the folder right now.
bool IsWritableFolder(const std::string& path);

bool IsFolder(const std::string& path);

}  // namespace platform
