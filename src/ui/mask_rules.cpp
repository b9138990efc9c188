#include "ui/mask_rules.h"

#include <cctype>

namespace ui {

namespace {

bool Digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool Letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
char At(const std::string& text, size_t position) {
  return position < text.size() ? text[position] : '\0';
}

}  // namespace

MaskRules MaskRules::TimeField() {
  MaskRules rules;
  rules.SetMask("00:00:00", "__:__:__");
  rules.SetDefaultText("00:00:00");
  return rules;
}

void MaskRules::SetMask(std::string mask, std::string prompt) {
  mask_ = std::move(mask);
  prompt_ = std::move(prompt);
}

void MaskRules::SetLimits(std::string hours, std::string minutes) {
  // A limit that is not two digits would let every digit through or none:
  // keep the one in place.
  if (hours.size() == 2 && Digit(hours[0]) && Digit(hours[1])) hourLimit_ = std::move(hours);
  if (minutes.size() == 2 && Digit(minutes[0]) && Digit(minutes[1]))
    minuteLimit_ = std::move(minutes);
}

bool MaskRules::IsLiteral(size_t position) const {
  return position < prompt_.size() && prompt_[position] != '_';
}

bool MaskRules::RangeAllows(char c, size_t position, const std::string& text) const {
  // Day first, then month: 31 and 12 at most.
  static const std::string kDay = "31", kMonth = "12";
  const std::string& first = date_ ? kDay : hourLimit_;
  const std::string& second = date_ ? kMonth : minuteLimit_;
  switch (position) {
    case 0: return c <= first[0];
    case 1: return At(text, 0) != first[0] || c <= first[1];
    case 3: return c <= second[0];
    case 4: return At(text, 3) != second[0] || c <= second[1];
    default: return true;
  }
}

bool MaskRules::Accepts(char c, size_t position, const std::string& text) const {
  if (position >= mask_.size()) return false;
  if (extra_.find(c) != std::string::npos) return true;
  switch (mask_[position]) {
    case '0': return Digit(c) && RangeAllows(c, position, text);
    case '9': return Digit(c);
    case '#': return Digit(c) || c == ' ' || c == '+' || c == '-';
    case '&': return std::isprint(static_cast<unsigned char>(c)) != 0;
    case 'A': return Digit(c) || Letter(c);
    case 'a': return Digit(c) || Letter(c) || c == ' ';
    case 'L': return Letter(c);
    case '?': return Letter(c) || c == ' ';
    default: return false;
  }
}

bool MaskRules::Type(char c, MaskEditState& state) const {
  size_t p = state.caret;
  std::string text = state.text;
  auto put = [&text](size_t at, char ch) {
    if (at < text.size()) text[at] = ch;
    else text.append(at - text.size(), ' ').push_back(ch);
  };
  // Literals under the caret are typed by the field itself, so a colon never
  // has to be typed and never takes a digit.
  while (IsLiteral(p) && p < mask_.size()) put(p, prompt_[p]), ++p;
  if (p >= mask_.size() || !Accepts(c, p, text)) return false;
  put(p, c);
  ++p;
  while (IsLiteral(p) && p < mask_.size()) put(p, prompt_[p]), ++p;
  state.text = std::move(text);
  state.caret = p;
  return true;
}

bool MaskRules::Backspace(MaskEditState& state) const {
  if (state.caret < 1 || state.caret > state.text.size()) return false;
  --state.caret;
  if (state.caret < defaultText_.size()) state.text[state.caret] = defaultText_[state.caret];
  return true;
}

bool MaskRules::Conforms(const std::string& text) const {
  if (text.size() != mask_.size()) return false;
  for (size_t p = 0; p < text.size(); ++p) {
    if (IsLiteral(p) ? text[p] != prompt_[p] : !Accepts(text[p], p, text)) return false;
  }
  return true;
}

}  // namespace ui
