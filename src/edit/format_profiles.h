#pragma once
// The output formats the main window offers, each with the resolution and
// bit-rate choices the output settings show, and what those settings make of
// a profile and the main window's current choices. No window here.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace edit {

// One list of choices: up to ten entries and the default, 1-based.
struct FormatChoices {
  static constexpr size_t kMaxEntries = 10;
  std::vector<std::string> entries;
  int defaultEntry = 1;
};

struct FormatProfile {
  // Formats from this code on carry no picture: the main window disables its
  // picture selectors for them.
  static constexpr int kAudioOnlyCodes = 9000;
  std::string name;
  int code = 0;
  std::string extension;   // of the exported file, without the dot
  std::string container;   // the muxer's short name
  std::string videoCodec;  // the encoders' names; empty: no picture
  std::string audioCodec;
  FormatChoices resolution;
  FormatChoices videoBitrate;
  FormatChoices audioBitrate;
};

// The main window's fixed table: index = position in its output-format
// selector.
class FormatProfileTable {
 public:
  static constexpr size_t kCapacity = 70;
  // False when the table is full or the profile has more than ten entries
  // in a list (the settings' lists hold no more).
  bool Add(FormatProfile profile);
  size_t size() const { return profiles_.size(); }
  const FormatProfile* At(int index) const;

 private:
  std::vector<FormatProfile> profiles_;
};

// The formats users share calls in: MP4, WebM, the AVI as recorded, and
// sound alone in M4A. Resolution entries are "Same as recording" or
// "<w>x<h>"; bit rates "<n>k".
FormatProfileTable StandardProfiles();

// The main window's selections of resolution, video and audio bit rate
// (-1: none), which the settings dialog shows and sets.
struct OutputChoices {
  int resolution = -1;
  int videoBitrate = -1;
  int audioBitrate = -1;
  bool operator==(const OutputChoices&) const = default;
};

// What the settings dialog's lists show at opening.
struct SettingsLists {
  FormatChoices resolution, videoBitrate, audioBitrate;
  std::vector<std::string> channels;
  OutputChoices selected;
  int channelsSelected = 0;
};

// With a profile the three lists hold its entries; the main window's current
// selections then replace the profile's defaults, -1 leaving a list without
// a selection. Selections that name no entry are dropped.
SettingsLists PrepareSettingsLists(const FormatProfile* profile, const OutputChoices& current);

}  // namespace edit
