// The trim rules the dialog's tests do not reach by typing: times beyond
// what the time field's mask lets through, and records of no length.
#include <gtest/gtest.h>

#include <cmath>

#include "edit/trim_model.h"

using edit::TrimModel;
using edit::TrimRecord;

namespace {

TrimRecord Recording(double seconds, double start, double end) {
  TrimRecord r;
  r.sourceSeconds = seconds;
  r.duration = edit::FormatTime(seconds);
  r.spanEnd = 1000;
  r.trimStartFraction = start;
  r.trimEndFraction = end;
  return r;
}

}  // namespace

TEST(TrimTime, FormatsAndParsesWithoutRangeChecks) {
  EXPECT_EQ(edit::FormatTime(3725.9), "01:02:05");
  EXPECT_EQ(edit::FormatTime(NAN), "00:00:00");
  EXPECT_EQ(edit::ParseTime("00:90:00"), 5400);
  EXPECT_EQ(edit::ParseTime("ab"), 0);
}

TEST(TrimModel, TypedTimesClampConflictsResetAndOkInterpolatesTheSpan) {
  TrimModel m;
  m.Load(Recording(600, 0.25, 0.75));
  TrimRecord stored = Recording(600, 0, 1);
  m.Store(&stored);
  EXPECT_EQ(stored.trimStart * 1000 + stored.trimEnd, 250750);
  EXPECT_TRUE(m.AcceptEnd("99:00:00"));  // beyond the length: the length, no message
  EXPECT_EQ(m.endText(), "00:10:00");
  EXPECT_EQ(m.endFraction(), 1.0);
  EXPECT_TRUE(m.AcceptStart("00:05:00"));
  EXPECT_FALSE(m.AcceptEnd("00:04:00"));  // before the start
  EXPECT_EQ(m.endText(), "00:10:00");
  EXPECT_FALSE(m.AcceptStart("99:99:99"));
  EXPECT_EQ(m.startText(), "00:00:00");
  EXPECT_EQ(m.lengthText(), "00:10:00");  // follows the start it was reset to
  m.EndMarkerMoved(0);  // would cross the start: dropped
  EXPECT_LT(m.startFraction(), m.endFraction());
}

TEST(TrimModel, ZeroLengthRecordsStayWholeAndFinite) {
  TrimRecord record = Recording(0, 0, 0);  // never trimmed, no length
  TrimModel m;
  m.Load(record);
  EXPECT_FALSE(m.AcceptStart("00:00:05"));
  EXPECT_TRUE(m.AcceptEnd("00:00:05"));  // past the (zero) length: clamped
  EXPECT_FALSE(m.AcceptEnd("00:00:00"));
  m.Store(&record);
  EXPECT_EQ(record.trimStartFraction, 0);
  EXPECT_EQ(record.trimEndFraction, 1);
  EXPECT_EQ(record.trimSeconds, 0);
  EXPECT_EQ(record.trimEnd, 1000);
}
