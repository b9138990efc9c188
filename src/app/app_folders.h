#pragma once
// The folders the recorder derives at start and the settings that name them.
// Resolution is pure string work over the given inputs so it can be checked
// without touching the real home or program folder.
#include <string>

struct AppFolders {
  std::string programFolder;        // no trailing separator
  std::string skinFolder;           // programFolder + "/skin/"
  std::string settingsPath;         // config.ini, next to the program when possible
  std::string defaultOutputFolder;  // ~/PlovanderOutput
  std::string snapshotFolder;       // defaultOutputFolder + "/Snapshot"
  std::string userFolder;           // <data home>/Plovander/
  std::string cacheFolder;          // <data home>/Plovander/cache/

  // `programFolderWritable` decides where config.ini lives: next to the
  // program, or under the user's config folder when the program folder is
  // read-only (an installed copy), so that Change folder still sticks.
  static AppFolders Resolve(const std::string& programFolder, const std::string& home,
                            const std::string& configHome, const std::string& dataHome,
                            bool programFolderWritable);

  // Resolves for this process from the environment.
  static AppFolders ForThisProcess();
};

inline constexpr const char* kSettingsSection = "General";
inline constexpr const char* kSettingsFilePathKey = "FilePath";

// Creates the default output folder and its Snapshot folder (one level each).
void CreateDefaultOutputFolders(const AppFolders& folders);

// Reads the output folder from the settings file (default when missing) and
// creates it one level deep; a failure to create is silent by design, the
// folder is still used.
std::string LoadOutputFolder(const AppFolders& folders);

// Creates the per-user folder and its cache folder.
void CreateUserFolders(const AppFolders& folders);

// Saves the output folder; false when the settings file could not be written.
bool SaveOutputFolder(const AppFolders& folders, const std::string& folder);
