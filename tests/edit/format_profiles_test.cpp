#include <gtest/gtest.h>

#include "edit/format_profiles.h"

namespace {

edit::FormatProfile Mp4() {
  edit::FormatProfile p;
  p.name = "MP4";
  p.code = 100;
  p.resolution = {{"Same as recording", "1280x720", "640x360"}, 2};
  p.videoBitrate = {{"1000k", "2000k"}, 1};
  p.audioBitrate = {{"128k"}, 1};
  return p;
}

TEST(OutputSettingsLists, TheMainWindowsSelectionsReplaceTheProfileDefaults) {
  // No format chosen: three empty lists, one channel choice.
  const edit::SettingsLists none = edit::PrepareSettingsLists(nullptr, {2, 1, 0});
  EXPECT_TRUE(none.resolution.entries.empty() && none.videoBitrate.entries.empty());
  EXPECT_EQ(none.selected, edit::OutputChoices{});
  ASSERT_EQ(none.channels.size(), 1u);
  EXPECT_EQ(none.channels[0], "2 Channels");

  // A default of 2 with nothing selected in the main window: no selection.
  const edit::FormatProfile mp4 = Mp4();
  const edit::SettingsLists fresh = edit::PrepareSettingsLists(&mp4, {});
  EXPECT_EQ(fresh.resolution.entries.size(), 3u);
  EXPECT_EQ(fresh.selected.resolution, -1);
  // Selections are kept where they name an entry, dropped where they do not.
  const edit::SettingsLists kept = edit::PrepareSettingsLists(&mp4, {2, 5, 0});
  EXPECT_EQ(kept.selected, (edit::OutputChoices{2, -1, 0}));
}

TEST(FormatProfileTable, HoldsSeventyProfilesOfAtMostTenChoicesEach) {
  edit::FormatProfileTable table;
  EXPECT_EQ(table.At(0), nullptr);
  EXPECT_EQ(table.At(-1), nullptr);
  edit::FormatProfile tooMany = Mp4();
  tooMany.videoBitrate.entries.assign(11, "1k");
  EXPECT_FALSE(table.Add(tooMany));
  for (size_t i = 0; i < edit::FormatProfileTable::kCapacity; ++i) ASSERT_TRUE(table.Add(Mp4()));
  EXPECT_FALSE(table.Add(Mp4()));
  EXPECT_EQ(table.At(69)->name, "MP4");
}

}  // namespace
