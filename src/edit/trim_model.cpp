#include "edit/trim_model.h"

#include <cmath>
#include <cstdio>

namespace edit {

std::string FormatTime(double seconds) {
  // Beyond 99 hours the text would only widen; nothing records that long.
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  if (seconds > 359999) seconds = 359999;
  const int hours = static_cast<int>(seconds / 3600);
  const double rest = seconds - hours * 3600.0;
  const int minutes = static_cast<int>(rest / 60);
  const int secs = static_cast<int>(rest - minutes * 60.0);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hours, minutes, secs);
  return text;
}

double ParseTime(const std::string& text) {
  // Two digits a field at most, so no typed text can overflow.
  int hours = 0, minutes = 0, seconds = 0;
  std::sscanf(text.c_str(), "%02d:%02d:%02d", &hours, &minutes, &seconds);
  return hours * 3600.0 + minutes * 60.0 + seconds;
}

void TrimModel::Load(const TrimRecord& record) {
  loaded_ = true;
  duration_ = std::isfinite(record.sourceSeconds) && record.sourceSeconds > 0
                  ? record.sourceSeconds
                  : 0;
  durationText_ = record.duration.empty() ? FormatTime(duration_) : record.duration;
  const double start = record.trimStartFraction, end = record.trimEndFraction;
  // Written as a test that NaN fails too.
  const bool ordered = start >= 0 && start < end && end <= 1;
  storedStart_ = ordered ? start : 0;
  storedEnd_ = ordered ? end : 1;
  Reset();
}

void TrimModel::Reset() {
  startFraction_ = storedStart_;
  endFraction_ = storedEnd_;
  startTime_ = startFraction_ * duration_;
  endTime_ = endFraction_ * duration_;
  Recompute();
}

void TrimModel::Recompute() {
  startText_ = FormatTime(startTime_);
  endText_ = FormatTime(endTime_);
  lengthText_ = FormatTime(endTime_ - startTime_);
}

double TrimModel::FractionOf(double seconds) const {
  if (duration_ > 0) return seconds / duration_;
  return seconds > 0 ? 2.0 : 0.0;
}

bool TrimModel::AcceptStart(const std::string& typed) {
  const double time = ParseTime(typed);
  const double fraction = FractionOf(time);
  const bool accepted = fraction < endFraction_;
  startTime_ = accepted ? time : 0;
  startFraction_ = accepted ? fraction : 0;
  Recompute();
  // The field keeps what was typed ("00:90:00" stays as typed), unless refused.
  if (accepted) startText_ = typed;
  return accepted;
}

bool TrimModel::AcceptEnd(const std::string& typed) {
  double time = ParseTime(typed);
  double fraction = FractionOf(time);
  std::string text = typed;
  if (fraction > 1.0) {
    // Past the end is the end, without a word.
    fraction = 1.0;
    text = durationText_;
    time = ParseTime(durationText_);
  }
  const bool accepted = startFraction_ < fraction;
  endFraction_ = accepted ? fraction : 1.0;
  endTime_ = accepted ? time : ParseTime(durationText_);
  Recompute();
  endText_ = accepted ? text : durationText_;
  return accepted;
}

void TrimModel::StartMarkerMoved(int percent) {
  const double fraction = percent * 0.01;
  // The slider keeps its markers apart; a value that would not is dropped.
  if (fraction < 0 || fraction >= endFraction_) return;
  startFraction_ = fraction;
  startTime_ = fraction * duration_;
  Recompute();
}

void TrimModel::EndMarkerMoved(int percent) {
  const double fraction = percent * 0.01;
  if (fraction > 1 || fraction <= startFraction_) return;
  endFraction_ = fraction;
  endTime_ = fraction * duration_;
  Recompute();
}

void TrimModel::Store(TrimRecord* record) const {
  if (!record) return;
  const double span = static_cast<double>(record->spanEnd) - record->spanStart;
  record->trimStart = static_cast<int32_t>(record->spanStart + span * startFraction_);
  record->trimEnd = static_cast<int32_t>(record->spanStart + span * endFraction_);
  record->trimSeconds = length();
  record->trimText = lengthText_;
  record->trimStartFraction = startFraction_;
  record->trimEndFraction = endFraction_;
}

}  // namespace edit
