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
