#pragma once
// The trim tool without its window: the recording's times as text, the
// start and end chosen as fractions of its length, and the rules for typed
// times, moved markers, Reset and storing the choice in the record. The
// dialog shows these fields and forwards the user's actions here.
#include <cstdint>
#include <string>

namespace edit {

// The trim tool's part of a recording's record.
struct TrimRecord {
  double sourceSeconds = 0;  // the recording's length
  std::string duration;      // the same as hours:minutes:seconds text
  int32_t spanStart = 0, spanEnd = 0;  // the whole recording in the record's units
  int32_t trimStart = 0, trimEnd = 0;
  double trimSeconds = 0;
  std::string trimText;
  double trimStartFraction = 0, trimEndFraction = 0;
};

inline constexpr char kTrimConflictMessage[] =
    "The start time cannot be equal to or greater than the end time!";
inline constexpr char kTrimConflictCaption[] = "Information";

// "%02d:%02d:%02d" of whole hours, minutes and seconds (negative and
// non-finite values count as 0).
std::string FormatTime(double seconds);
// Hours, minutes and seconds as typed; the fields are not range-checked
// ("00:90:00" is 5400 s). Fields that are missing count as 0.
double ParseTime(const std::string& text);

class TrimModel {
 public:
  // Takes the record's length and stored choice. A stored choice out of
  // order or out of 0..1 (a record never trimmed holds 0 and 0) becomes the
  // whole recording.
  void Load(const TrimRecord& record);
  bool loaded() const { return loaded_; }

  // The typed start or end time. False when it would put the start at or
  // after the end: the message is due, and the typed side is reset (start
  // to 0, end to the whole length). An end beyond the length is the length.
  bool AcceptStart(const std::string& typed);
  bool AcceptEnd(const std::string& typed);
  // A marker dragged to `percent` of the length.
  void StartMarkerMoved(int percent);
  void EndMarkerMoved(int percent);
  // Back to the record's stored choice.
  void Reset();
  // Writes the choice into `record` (the span ends interpolated).
  void Store(TrimRecord* record) const;

  const std::string& startText() const { return startText_; }
  const std::string& endText() const { return endText_; }
  const std::string& lengthText() const { return lengthText_; }
  double startFraction() const { return startFraction_; }
  double endFraction() const { return endFraction_; }
  double length() const { return endTime_ - startTime_; }
  int startMarker() const { return static_cast<int>(startFraction_ * 100); }
  int endMarker() const { return static_cast<int>(endFraction_ * 100); }

 private:
  // The part of the length `seconds` is; past the end when there is no
  // length to divide by.
  double FractionOf(double seconds) const;
  void Recompute();

  bool loaded_ = false;
  double duration_ = 0;
  std::string durationText_ = "00:00:00";
  double storedStart_ = 0, storedEnd_ = 1;
  double startFraction_ = 0, endFraction_ = 1;
  double startTime_ = 0, endTime_ = 0;
  std::string startText_ = "00:00:00", endText_ = "00:00:00", lengthText_ = "00:00:00";
};

}  // namespace edit
