#include "convert_options.h"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace convert {

namespace {

std::optional<int> ParseInt(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

std::optional<double> ParseSeconds(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty() || value < 0.0) return std::nullopt;
  return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
    parts.push_back(text.substr(from, at - from));
  parts.push_back(text.substr(from));
  return parts;
}

int ProfileByExtension(const edit::FormatProfileTable& table, const std::string& extension) {
  for (size_t i = 0; i < table.size(); ++i)
    if (table.At(static_cast<int>(i))->extension == extension) return static_cast<int>(i);
  return -1;
}

std::string ExtensionOf(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  return ext.empty() ? ext : ext.substr(1);
}

// The options' raw text as given, checked once all are known, so that their
// order on the command line never matters.
using Given = std::map<std::string, std::string>;

std::string SetInRange(const Given& given, const std::string& name, int low, int high,
                       int32_t& target) {
  auto it = given.find(name);
  if (it == given.end()) return {};
  auto value = ParseInt(it->second);
  if (!value || *value < low || *value > high)
    return "--" + name + " takes a whole number from " + std::to_string(low) + " to " +
           std::to_string(high) + ", not \"" + it->second + "\"";
  target = *value;
  return {};
}

std::string ReadEffects(const Given& given, ConvertOptions& o) {
  for (auto error : {SetInRange(given, "brightness", -100, 100, o.effects.brightness),
                     SetInRange(given, "contrast", 0, 200, o.effects.contrast),
                     SetInRange(given, "saturation", -100, 100, o.effects.saturation),
                     SetInRange(given, "volume", 0, 200, o.effects.volume)})
    if (!error.empty()) return error;
  if (auto it = given.find("effect"); it != given.end()) {
    static const std::map<std::string, edit::ColourEffect> kEffects{
        {"none", edit::ColourEffect::None},
        {"gray", edit::ColourEffect::Gray},
        {"negative", edit::ColourEffect::Negative}};
    auto effect = kEffects.find(it->second);
    if (effect == kEffects.end()) return "--effect is none, gray or negative, not \"" + it->second + "\"";
    o.effects.effect = static_cast<int32_t>(effect->second);
  }
  return {};
}

std::string ReadTrim(const std::string& text, ConvertOptions& o) {
  auto parts = Split(text, '-');
  std::optional<double> start, end;
  if (parts.size() == 2) start = ParseClock(parts[0]), end = ParseClock(parts[1]);
  if (!start || !end) return "--trim is START-END as HH:MM:SS-HH:MM:SS, not \"" + text + "\"";
  if (*start >= *end) return "--trim starts at or after its end: \"" + text + "\"";
  o.trimmed = true;
  o.trimStart = *start;
  o.trimEnd = *end;
  return {};
}

std::string ReadCrop(const std::string& text, ConvertOptions& o) {
  auto parts = Split(text, ',');
  std::vector<int> v;
  for (const auto& part : parts)
    if (auto n = ParseInt(part)) v.push_back(*n);
  const std::string form = "--crop is L,T,R,B in the 320x240 frame of the crop tool";
  if (parts.size() != 4 || v.size() != 4) return form + ", not \"" + text + "\"";
  if (v[0] < 0 || v[1] < 0 || v[2] > edit::kReferenceWidth || v[3] > edit::kReferenceHeight)
    return form + " (0..320 across, 0..240 down): \"" + text + "\" reaches outside it";
  if (v[0] >= v[2] || v[1] >= v[3]) return form + ": \"" + text + "\" keeps nothing";
  o.crop = {v[0], v[1], v[2], v[3]};
  return {};
}

std::string ReadZoom(const std::string& text, ConvertOptions& o) {
  static const std::map<std::string, exporter::Zoom> kZooms{
      {"letterbox", exporter::Zoom::Letterbox},
      {"panscan", exporter::Zoom::PanAndScan},
      {"full", exporter::Zoom::FullScreen}};
  auto zoom = kZooms.find(text);
  if (zoom == kZooms.end()) return "--zoom is letterbox, panscan or full, not \"" + text + "\"";
  o.zoom = zoom->second;
  return {};
}

// Picks the profile from --profile or else the output's extension, and
// refuses a pair that disagree.
std::string ReadProfile(const Given& given, ConvertOptions& o) {
  const auto table = edit::StandardProfiles();
  const int byName = ProfileByExtension(table, ExtensionOf(o.output));
  auto it = given.find("profile");
  if (it == given.end()) {
    o.profile = byName >= 0 ? byName : 0;
    return {};
  }
  o.profile = ProfileByExtension(table, it->second);
  if (o.profile < 0) return "--profile is mp4, webm, avi or m4a, not \"" + it->second + "\"";
  if (byName >= 0 && byName != o.profile)
    return "the output's name ends in ." + ExtensionOf(o.output) + " but --profile is " + it->second;
  return {};
}

std::string ReadResolution(const Given& given, ConvertOptions& o) {
  auto it = given.find("resolution");
  if (it == given.end()) return {};
  // The table is kept for the loop: its entries die with it.
  const edit::FormatProfileTable table = edit::StandardProfiles();
  const auto& entries = table.At(o.profile)->resolution.entries;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i] == it->second || (i == 0 && it->second == "same")) {
      o.resolution = static_cast<int>(i);
      return {};
    }
  return "--resolution is same, 1920x1080, 1280x720, 854x480 or 640x360, not \"" + it->second + "\"";
}

// Sound alone has no picture to crop, zoom or colour.
std::string RefusePictureOptionsForSound(const Given& given, const ConvertOptions& o) {
  if (edit::StandardProfiles().At(o.profile)->code < edit::FormatProfile::kAudioOnlyCodes) return {};
  for (const char* name : {"resolution", "crop", "zoom", "brightness", "contrast", "saturation", "effect"})
    if (given.count(name)) return std::string("--") + name + " changes the picture, but m4a keeps only the sound";
  return {};
}

std::string Interpret(const Given& given, ConvertOptions& o) {
  using Step = std::function<std::string()>;
  auto with = [&](const char* name, std::string (*read)(const std::string&, ConvertOptions&)) -> Step {
    return [&, name, read] { auto it = given.find(name); return it == given.end() ? std::string() : read(it->second, o); };
  };
  const Step steps[] = {
      [&] { return ReadProfile(given, o); },
      [&] { return RefusePictureOptionsForSound(given, o); },
      [&] { return ReadResolution(given, o); },
      with("trim", ReadTrim),
      with("crop", ReadCrop),
      with("zoom", ReadZoom),
      [&] { return ReadEffects(given, o); }};
  for (const auto& step : steps)
    if (auto error = step(); !error.empty()) return error;
  return {};
}

}  // namespace

std::optional<double> ParseClock(const std::string& text) {
  auto parts = Split(text, ':');
  if (parts.size() > 3) return std::nullopt;
  double seconds = 0.0;
  for (size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    std::optional<double> value = ParseSeconds(parts[i]);
    if (!last) value = ParseInt(parts[i]);
    // Minutes and seconds below the hours stay under 60, as a clock shows them.
    if (!value || *value < 0 || (i > 0 && *value >= 60.0)) return std::nullopt;
    seconds = seconds * 60.0 + *value;
  }
  return seconds;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
  static const std::set<std::string> kValued{"profile", "resolution", "trim", "crop", "zoom",
                                             "brightness", "contrast", "saturation", "effect",
                                             "volume"};
  ConvertOptions o;
  Given given;
  std::vector<std::string> inputs;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") { o.help = true; return {o, {}}; }
    if (arg == "--overwrite") { o.overwrite = true; continue; }
    const bool isOutput = arg == "-o" || arg == "--output";
    const std::string name = arg.starts_with("--") ? arg.substr(2) : std::string();
    if (!isOutput && arg.size() > 1 && arg[0] == '-' && !kValued.count(name))
      return {std::nullopt, "unknown option " + arg};
    if (!isOutput && name.empty()) { inputs.push_back(arg); continue; }
    if (i + 1 >= args.size()) return {std::nullopt, arg + " needs a value"};
    const std::string key = isOutput ? "output" : name;
    if (given.count(key)) return {std::nullopt, arg + " is given twice"};
    given[key] = args[++i];
  }
  if (inputs.empty()) return {std::nullopt, "no input recording given"};
  if (inputs.size() > 1) return {std::nullopt, "one input at a time: \"" + inputs[1] + "\" is a second"};
  if (!given.count("output")) return {std::nullopt, "no output given (-o OUTPUT)"};
  o.input = inputs[0];
  o.output = given["output"];
  if (auto error = Interpret(given, o); !error.empty()) return {std::nullopt, error};
  return {o, {}};
}

std::string CheckPaths(const ConvertOptions& o) {
  std::error_code ec;
  if (!fs::is_regular_file(o.input, ec) || ::access(o.input.c_str(), R_OK) != 0)
    return "cannot read the input \"" + o.input + "\"";
  if (fs::equivalent(o.input, o.output, ec) ||
      fs::weakly_canonical(o.input, ec) == fs::weakly_canonical(o.output, ec))
    return "the output is the input itself; the recording is never written over";
  const fs::path folder = fs::absolute(o.output, ec).parent_path();
  if (!fs::is_directory(folder, ec)) return "the output's folder \"" + folder.string() + "\" does not exist";
  if (fs::exists(o.output, ec) && !o.overwrite)
    return "\"" + o.output + "\" exists already; give --overwrite to replace it";
  if (fs::is_directory(o.output, ec)) return "\"" + o.output + "\" is a folder";
  return {};
}

TrimFractions TrimToFractions(const ConvertOptions& o, double duration) {
  TrimFractions t;
  if (!o.trimmed) return t;
  if (!(duration > 0.0)) return {0, 1, "the input's length is unknown, so it cannot be trimmed"};
  // Half a millisecond of slack: a clock typed to the last shown second of
  // the length must still be accepted.
  if (o.trimEnd > duration + 0.0005) {
    char text[96];
    std::snprintf(text, sizeof text, "--trim ends at %.3f s, past the input's end at %.3f s",
                  o.trimEnd, duration);
    return {0, 1, text};
  }
  t.start = o.trimStart / duration;
  t.end = std::min(1.0, o.trimEnd / duration);
  return t;
}

std::string Usage() {
  return "usage: murmurant-convert INPUT -o OUTPUT [options]\n"
         "       murmurant-convert            (no arguments: opens the converter window)\n"
         "  --profile mp4|webm|avi|m4a        format (default: from OUTPUT's extension, else mp4)\n"
         "  --resolution same|1920x1080|1280x720|854x480|640x360\n"
         "  --trim HH:MM:SS-HH:MM:SS          keep only this part of the recording\n"
         "  --crop L,T,R,B                    rectangle kept, in the crop tool's 320x240 frame\n"
         "  --zoom letterbox|panscan|full     how the kept picture fills the output frame\n"
         "  --brightness -100..100  --contrast 0..200  --saturation -100..100\n"
         "  --effect none|gray|negative       --volume 0..200 (percent)\n"
         "  --overwrite                       replace OUTPUT when it exists (refused otherwise)\n"
         "Exit status: 0 done, 1 the conversion failed or was interrupted, 2 bad arguments.\n";
}

}  // namespace convert
