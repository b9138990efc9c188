#pragma once
// A private home and runtime folder for one started program, so instances in
// different tests never meet through the single-instance lock or the settings.
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

struct Sandbox {
  TempDir dir;
  Sandbox() {
    std::filesystem::create_directories(dir / "home");
    std::filesystem::create_directories(dir / "run");
  }
  std::vector<std::string> env() const {
    return {"HOME=" + (dir / "home"), "XDG_RUNTIME_DIR=" + (dir / "run"),
            "XDG_CONFIG_HOME=" + (dir / "home/.config"),
            "XDG_DATA_HOME=" + (dir / "home/.local/share")};
  }
  // The recordings in the default output folder.
  std::vector<std::filesystem::path> Recordings() const {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir / "home/PlovanderOutput", ec))
      if (e.path().extension() == ".avi") out.push_back(e.path());
    return out;
  }
};
