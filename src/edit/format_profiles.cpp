#include "edit/format_profiles.h"

namespace edit {

namespace {

bool Fits(const FormatChoices& choices) {
  return choices.entries.size() <= FormatChoices::kMaxEntries;
}

int SelectionIn(const FormatChoices& choices, int index) {
  return index >= 0 && static_cast<size_t>(index) < choices.entries.size() ? index : -1;
}

}  // namespace

bool FormatProfileTable::Add(FormatProfile profile) {
  if (profiles_.size() >= kCapacity || !Fits(profile.resolution) ||
      !Fits(profile.videoBitrate) || !Fits(profile.audioBitrate))
    return false;
  profiles_.push_back(std::move(profile));
  return true;
}

const FormatProfile* FormatProfileTable::At(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= profiles_.size()) return nullptr;
  return &profiles_[static_cast<size_t>(index)];
}

FormatProfileTable StandardProfiles() {
  const FormatChoices sizes{
      {"Same as recording", "1920x1080", "1280x720", "854x480", "640x360"}, 1};
  const FormatChoices videoRates{{"500k", "1000k", "2000k", "4000k", "8000k"}, 3};
  FormatProfileTable table;
  table.Add({"MP4 (H.264, AAC)", 1, "mp4", "mp4", "libx264", "aac", sizes, videoRates,
             {{"64k", "96k", "128k", "192k", "256k"}, 3}});
  table.Add({"WebM (VP9, Opus)", 2, "webm", "webm", "libvpx-vp9", "libopus", sizes, videoRates,
             {{"48k", "64k", "96k", "128k", "160k"}, 3}});
  // As recorded: the sound stays 16-bit PCM, whose rate the sample rate sets.
  table.Add({"AVI (MP43, PCM) as recorded", 3, "avi", "avi", "msmpeg4", "pcm_s16le", sizes,
             videoRates, {{"PCM"}, 1}});
  table.Add({"M4A (AAC)", FormatProfile::kAudioOnlyCodes, "m4a", "ipod", "", "aac", {}, {},
             {{"64k", "96k", "128k", "192k", "256k"}, 3}});
  return table;
}

SettingsLists PrepareSettingsLists(const FormatProfile* profile, const OutputChoices& current) {
  SettingsLists lists;
  if (profile) {
    lists.resolution = profile->resolution;
    lists.videoBitrate = profile->videoBitrate;
    lists.audioBitrate = profile->audioBitrate;
  }
  lists.channels = {"2 Channels"};
  lists.channelsSelected = 0;
  // The profile's defaults would be selected first, but the main window's
  // own selections always replace them, "none" included.
  lists.selected.resolution = SelectionIn(lists.resolution, current.resolution);
  lists.selected.videoBitrate = SelectionIn(lists.videoBitrate, current.videoBitrate);
  lists.selected.audioBitrate = SelectionIn(lists.audioBitrate, current.audioBitrate);
  return lists;
}

}  // namespace edit
