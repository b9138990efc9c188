#pragma once
// What the converter's command line asks for, read and checked before any
// file is opened for writing: a bad argument ends the program with a message
// and exit code 2, leaving nothing behind. Plain functions; no window, no
// engine.
#include <optional>
#include <string>
#include <vector>

#include "edit/crop_hook.h"
#include "edit/format_profiles.h"
#include "edit/picture_effects.h"
#include "export/export_engine.h"

namespace convert {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;      // the export itself failed or was interrupted
inline constexpr int kExitBadArguments = 2;

struct ConvertOptions {
  std::string input;
  std::string output;
  int profile = 0;       // index into edit::StandardProfiles()
  int resolution = -1;   // index into the profile's resolution list; -1: its default
  bool trimmed = false;  // seconds into the source; fractions need its duration
  double trimStart = 0.0, trimEnd = 0.0;
  edit::CropRect crop;   // in the 320 x 240 reference frame, as the crop tool stores it
  exporter::Zoom zoom = exporter::Zoom::Letterbox;
  edit::EffectSettings effects;
  bool overwrite = false;
  bool help = false;
};

struct ParseResult {
  std::optional<ConvertOptions> options;
  std::string error;  // one line for the user when options is empty
};

// `args` without the program name. Checks the values and their combination
// only; the files are looked at by CheckPaths.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The input must be a readable file, the output a different file whose
// folder exists and that does not exist yet unless --overwrite was given.
// Empty when all is well, else the message.
std::string CheckPaths(const ConvertOptions& options);

// The trim as fractions of a source of `durationSeconds`; an error message
// when the trim reaches past its end or the duration is unknown.
struct TrimFractions {
  double start = 0.0, end = 1.0;
  std::string error;
};
TrimFractions TrimToFractions(const ConvertOptions& options, double durationSeconds);

// "[[HH:]MM:]SS[.fff]" in seconds; empty for anything else.
std::optional<double> ParseClock(const std::string& text);

std::string Usage();

}  // namespace convert
