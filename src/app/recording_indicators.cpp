#include "app/recording_indicators.h"

#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include "app/hot_key_table.h"

RecordingIndicators::RecordingIndicators(wxTopLevelWindow& window, wxTextCtrl& elapsedBox,
                                         wxIcon normal, wxIcon recording)
    : window_(window),
      elapsedBox_(elapsedBox),
      normal_(std::move(normal)),
      recording_(std::move(recording)),
      elapsedTimer_(&window, kElapsedTimer),
      blinkTimer_(&window, kBlinkTimer) {}

void RecordingIndicators::Start() {
  elapsedSeconds_ = 0;
  elapsedTimer_.Start(1000);
  blinkTimer_.Start(600);
}

void RecordingIndicators::Stop() {
  elapsedTimer_.Stop();
  blinkTimer_.Stop();
  if (normal_.IsOk()) window_.SetIcon(normal_);
}

void RecordingIndicators::OnElapsedTick() {
  ++elapsedSeconds_;
  elapsedBox_.ChangeValue(FormatElapsed(elapsedSeconds_));
}

void RecordingIndicators::OnBlinkTick() {
  const wxIcon& next = iconPhase_ == 0 ? normal_ : recording_;
  iconPhase_ = iconPhase_ == 0 ? 1 : 0;
  if (next.IsOk()) window_.SetIcon(next);
}

std::string RecordingIndicators::ElapsedText() const { return FormatElapsed(elapsedSeconds_); }

bool RecordingIndicators::showingRecordingIcon() const {
  return recording_.IsOk() && window_.GetIcon().IsSameAs(recording_);
}
