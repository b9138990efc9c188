#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "app/media_list_model.h"

namespace {

MediaListModel FourRecordings() {
  MediaListModel m;
  for (int i = 0; i < 4; ++i)
    m.AppendRecording("/out/" + std::to_string(i) + ".avi", std::to_string(i) + ".avi",
                      "00:00:0" + std::to_string(i));
  return m;
}

}  // namespace

TEST(MediaItem, StartsWithEveryNumberZeroAndEveryStringEmpty) {
  MediaItem item;
  EXPECT_EQ(item.checked, 0);
  EXPECT_EQ(item.sourceSeconds, 0.0);
  EXPECT_EQ(item.trimEndFraction, 0.0);
  EXPECT_EQ(item.cropBottom, 0);
  EXPECT_EQ(item.effect, 0);
  EXPECT_TRUE(item.duration.empty() && item.trimText.empty() && item.fullPath.empty() &&
              item.fileName.empty());
}

TEST(MediaItemArray, CapacityGrowsByAnEighthBetweenFourAnd1024OrToTheRequest) {
  MediaItemArray a;
  EXPECT_EQ(a.capacity(), 0u);
  a.Append(MediaItem{});
  EXPECT_EQ(a.capacity(), 4u);  // an eighth of nothing is below the minimum of 4
  for (int i = 0; i < 3; ++i) a.Append(MediaItem{});
  EXPECT_EQ(a.capacity(), 4u);  // room was left: no growth
  a.Append(MediaItem{});
  EXPECT_EQ(a.capacity(), 8u);

  // Well past 32 elements an eighth is more than 4.
  a.SetSize(100);               // straight to the request: larger than 8 + 4
  EXPECT_EQ(a.capacity(), 100u);
  a.Append(MediaItem{});
  EXPECT_EQ(a.capacity(), 112u);  // 100 / 8 = 12

  a.SetSize(10000);
  a.SetSize(10001);
  EXPECT_EQ(a.capacity(), 10000u + 1024u);  // an eighth would be 1250: capped
  EXPECT_EQ(a.size(), 10001u);

  a.RemoveAll();
  EXPECT_EQ(a.size(), 0u);
  EXPECT_EQ(a.capacity(), 0u);
}

TEST(MediaListModel, AppendKeepsRecordingOrderAndANewRecordStartsChecked) {
  MediaListModel m;
  EXPECT_EQ(m.AppendRecording("/o/a.avi", "a.avi", "00:00:05"), 0u);
  EXPECT_EQ(m.AppendRecording("/o/b.avi", "b.avi", "01:02:05"), 1u);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m.items()[0].fileName, "a.avi");
  EXPECT_EQ(m.items()[1].fullPath, "/o/b.avi");
  EXPECT_EQ(m.items()[1].duration, "01:02:05");
  EXPECT_EQ(m.items()[0].checked, 1);
  EXPECT_EQ(m.items()[0].trimStart, 0);  // nothing else is set by the stop path
}

TEST(MediaListModel, DeletingRowsOneAndThreeOfFourLeavesZeroAndTwoInOrder) {
  MediaListModel m = FourRecordings();
  EXPECT_FALSE(m.DeleteRows({3, 1}));
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m.items()[0].fileName, "0.avi");
  EXPECT_EQ(m.items()[1].fileName, "2.avi");

  // Deleting what is left empties the list, which its window then hides.
  EXPECT_TRUE(m.DeleteRows({0, 1, 1}));
  EXPECT_EQ(m.size(), 0u);
  // Nothing selected deletes nothing.
  MediaListModel n = FourRecordings();
  EXPECT_FALSE(n.DeleteRows({}));
  EXPECT_EQ(n.size(), 4u);
}

TEST(MediaListModel, ClearRemovesEveryRecordAndTheSelection) {
  MediaListModel m = FourRecordings();
  m.OnRowClick(2);
  m.Clear();
  EXPECT_EQ(m.size(), 0u);
  EXPECT_EQ(m.selectedIndex(), -1);
  EXPECT_FALSE(m.SelectedItem());
  m.AppendRecording("/o/n.avi", "n.avi", "00:00:01");  // the next recording shows again
  EXPECT_EQ(m.size(), 1u);
}

TEST(MediaListModel, ClickSelectsAndClickOnEmptySpaceKeepsTheCurrentFile) {
  MediaListModel m = FourRecordings();
  EXPECT_TRUE(m.OnRowClick(2));
  EXPECT_EQ(m.selectedIndex(), 2);
  EXPECT_EQ(m.currentFile(), "/out/2.avi");
  ASSERT_TRUE(m.SelectedItem());
  EXPECT_EQ(m.SelectedItem()->fileName, "2.avi");

  EXPECT_FALSE(m.OnRowClick(-1));
  EXPECT_EQ(m.selectedIndex(), -1);
  EXPECT_EQ(m.currentFile(), "/out/2.avi");

  EXPECT_EQ(m.OnRowDoubleClick(1), "/out/1.avi");
  EXPECT_EQ(m.currentFile(), "/out/1.avi");
  EXPECT_EQ(m.OnRowDoubleClick(-1), std::nullopt);
  EXPECT_EQ(m.currentFile(), "/out/1.avi");
}

TEST(MediaListModel, HeaderBoxIsCheckedExactlyWhenEveryRowIsAndSetsAllRows) {
  MediaListModel m = FourRecordings();
  EXPECT_TRUE(m.AllChecked());
  EXPECT_FALSE(m.OnRowChecked(1, false));
  EXPECT_EQ(m.items()[1].checked, 0);
  EXPECT_EQ(m.items()[0].checked, 1);
  EXPECT_TRUE(m.OnRowChecked(1, true));

  m.OnHeaderChecked(false);
  for (const auto& item : m.items()) EXPECT_EQ(item.checked, 0);
  EXPECT_FALSE(m.OnRowChecked(0, true));  // three still unchecked
  m.OnHeaderChecked(true);
  EXPECT_TRUE(m.AllChecked());
  EXPECT_FALSE(MediaListModel().AllChecked());
}

TEST(MediaListModel, ARecordingStartsNeutralAndItsFileLengthSetsTheTrimSpan) {
  MediaListModel m;
  m.AppendRecording("/o/a.avi", "a.avi", "00:01:00");
  const MediaItem& item = m.items()[0];
  EXPECT_EQ(item.trimEndFraction, 1.0);
  EXPECT_EQ(std::tie(item.cropRight, item.cropBottom, item.contrast, item.volume),
            std::make_tuple(320, 240, 100, 100));
  m.SetSourceLength(0, 61.5);
  EXPECT_EQ(item.sourceSeconds, 61.5);
  EXPECT_EQ(std::tie(item.spanStart, item.spanEnd, item.trimStart, item.trimEnd),
            std::make_tuple(0, 61500, 0, 61500));
  EXPECT_EQ(item.trimText, "00:01:01");
  // A length the file cannot tell is no length: nothing to divide by later.
  for (double bad : {0.0, -3.0, std::nan("")}) {
    m.SetSourceLength(0, bad);
    EXPECT_EQ(item.sourceSeconds, 0.0);
    EXPECT_EQ(item.spanEnd, 0);
    EXPECT_EQ(item.trimText, "00:00:00");
  }
}
