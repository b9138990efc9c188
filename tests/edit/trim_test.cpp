#include <gtest/gtest.h>

#include <cmath>

#include "edit/trim_model.h"

using edit::TrimModel;
using edit::TrimRecord;

namespace {

TrimRecord Recording(double seconds, double start = 0, double end = 1) {
  TrimRecord r;
  r.sourceSeconds = seconds;
  r.duration = edit::FormatTime(seconds);
  r.spanEnd = static_cast<int32_t>(seconds * 1000);
  r.trimStartFraction = start;
  r.trimEndFraction = end;
  return r;
}

}  // namespace

TEST(TrimTime, FormatsAndParsesWithoutRangeChecks) {
  EXPECT_EQ(edit::FormatTime(3725.9), "01:02:05");
  EXPECT_EQ(edit::FormatTime(-4), "00:00:00");
  EXPECT_EQ(edit::FormatTime(NAN), "00:00:00");
  EXPECT_EQ(edit::ParseTime("00:90:00"), 5400);
  EXPECT_EQ(edit::ParseTime("99:99:99"), 99 * 3600 + 99 * 60 + 99);
  EXPECT_EQ(edit::ParseTime("ab"), 0);
}

TEST(TrimModel, TypedTimesClampAndConflictsResetTheTypedSide) {
  TrimModel m;
  m.Load(Recording(600, 0.25, 0.75));
  EXPECT_EQ(m.startText(), "00:02:30");
  EXPECT_EQ(m.lengthText(), "00:05:00");
  EXPECT_TRUE(m.AcceptEnd("99:00:00"));  // beyond the length: the length, no message
  EXPECT_EQ(m.endText(), "00:10:00");
  EXPECT_EQ(m.endFraction(), 1.0);
  EXPECT_EQ(m.lengthText(), "00:07:30");

  EXPECT_FALSE(m.AcceptStart("00:10:00"));  // equal to the end
  EXPECT_EQ(m.startText(), "00:00:00");
  EXPECT_EQ(m.startMarker(), 0);
  EXPECT_EQ(m.lengthText(), "00:10:00");  // follows the reset start

  EXPECT_TRUE(m.AcceptStart("00:05:00"));
  EXPECT_FALSE(m.AcceptEnd("00:04:00"));  // before the start
  EXPECT_EQ(m.endText(), "00:10:00");
  EXPECT_EQ(m.endFraction(), 1.0);
  EXPECT_FALSE(m.AcceptStart("99:99:99"));
  EXPECT_LT(m.startFraction(), m.endFraction());
}

TEST(TrimModel, MarkersResetAndStore) {
  TrimRecord record = Recording(60);
  record.spanEnd = 1000;
  TrimModel m;
  m.Load(record);
  m.StartMarkerMoved(25);
  EXPECT_EQ(m.startText(), "00:00:15");
  EXPECT_EQ(m.lengthText(), "00:00:45");
  m.EndMarkerMoved(75);
  m.EndMarkerMoved(20);  // would cross the start: dropped
  m.Store(&record);
  EXPECT_EQ(record.trimStart, 250);
  EXPECT_EQ(record.trimEnd, 750);
  EXPECT_EQ(record.trimSeconds, 30);
  EXPECT_EQ(record.trimText, "00:00:30");
  m.Reset();
  EXPECT_EQ(m.startFraction(), 0);  // the record as loaded
  TrimModel again;
  again.Load(record);
  EXPECT_EQ(again.startMarker(), 25);
  EXPECT_EQ(again.endText(), "00:00:45");
}

TEST(TrimModel, ZeroLengthAndUntrimmedRecordsStayWhole) {
  TrimRecord record = Recording(0, 0, 0);  // never trimmed, no length
  TrimModel m;
  m.Load(record);
  EXPECT_EQ(m.startText() + m.endText() + m.lengthText(), "00:00:0000:00:0000:00:00");
  EXPECT_FALSE(m.AcceptStart("00:00:05"));
  EXPECT_TRUE(m.AcceptEnd("00:00:05"));  // past the (zero) length: clamped
  EXPECT_FALSE(m.AcceptEnd("00:00:00"));
  m.Store(&record);
  EXPECT_EQ(record.trimStartFraction, 0);
  EXPECT_EQ(record.trimEndFraction, 1);
  EXPECT_EQ(record.trimSeconds, 0);
  EXPECT_EQ(record.trimStart + record.trimEnd, 0);
}
