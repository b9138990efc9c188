#pragma once
// The masked edit's rules without its window: which character a position
// takes, where the literals sit, overwrite typing and backspace restoring the
// default text. The edit control hands each key here with its text and caret
// and shows what comes back.
#include <cstddef>
#include <string>

namespace ui {

// Text and caret of the edit after a key.
struct MaskEditState {
  std::string text;
  size_t caret = 0;
};

class MaskRules {
 public:
  // The time field of the trim tool: "00:00:00" typed over, colons kept.
  static MaskRules TimeField();

  // `mask` holds one mask character per position ('0', '9', '#', '&', 'A',
  // 'a', 'L', '?'; anything else takes nothing); `prompt` marks the typed
  // positions with '_' and holds the literals elsewhere.
  void SetMask(std::string mask, std::string prompt);
  void SetDefaultText(std::string text) { defaultText_ = std::move(text); }
  void SetExtraCharacters(std::string extra) { extra_ = std::move(extra); }
  // Two digits each: the largest first digit, and the largest second digit
  // when the first equals it.
  void SetLimits(std::string hours, std::string minutes);
  // Day and month ranges instead of hours and minutes for the '0' positions.
  void SetDateRules(bool on) { date_ = on; }
  bool dateRules() const { return date_; }

  const std::string& mask() const { return mask_; }
  const std::string& defaultText() const { return defaultText_; }
  bool IsLiteral(size_t position) const;
  // Whether `c` is one of the literals (a separator the field types itself).
  bool IsSeparator(char c) const { return c != '_' && prompt_.find(c) != std::string::npos; }

  // Whether `c` may stand at `position` of `text` (the other positions as
  // they are now, for the range rules).
  bool Accepts(char c, size_t position, const std::string& text) const;

  // A printable character typed at `state.caret`: true and the new state
  // when it is taken (literals before and after it passed over), false when
  // it is refused (the state is left as it was).
  bool Type(char c, MaskEditState& state) const;
  // Backspace with no selection: false (nothing changes) at the start or
  // beyond the text.
  bool Backspace(MaskEditState& state) const;
  // Whether `text` could have been typed: the mask's length, the literals
  // in place, every other position accepted.
  bool Conforms(const std::string& text) const;

 private:
  bool RangeAllows(char c, size_t position, const std::string& text) const;

  std::string mask_, prompt_, extra_, defaultText_;
  std::string hourLimit_ = "47", minuteLimit_ = "59";
  bool date_ = false;
};

}  // namespace ui
