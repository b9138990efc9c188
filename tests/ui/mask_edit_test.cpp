// The mask rules the time fields are typed through by real input in the
// trim dialog's tests; here the rules no dialog of ours reaches.
#include <gtest/gtest.h>

#include <string>

#include "ui/mask_rules.h"

using ui::MaskEditState;
using ui::MaskRules;

namespace {

// Types `keys` one by one into `state`; returns the keys refused.
std::string TypeAll(const MaskRules& rules, MaskEditState& state, const std::string& keys) {
  std::string refused;
  for (char c : keys)
    if (!rules.Type(c, state)) refused += c;
  return refused;
}

}  // namespace

TEST(MaskRules, DateRangesAndTheOtherMaskCharacters) {
  MaskRules date = MaskRules::TimeField();
  date.SetDateRules(true);
  MaskEditState s{"00:00:00", 0};
  EXPECT_EQ(TypeAll(date, s, "43251132"), "4253");  // day 31 at most, month 12
  EXPECT_EQ(s.text, "31:12:00");

  MaskRules other;
  other.SetMask("#&AaL?9", "_______");
  other.SetExtraCharacters("*");
  MaskEditState t{"", 0};
  EXPECT_EQ(TypeAll(other, t, "x+ !a 1* x71"), "x!1x1");  // the last one past the mask
  EXPECT_EQ(t.text, "+ a * 7");
}

TEST(MaskRules, BackspaceOnlyWithinTheTextAndConformingText) {
  const MaskRules rules = MaskRules::TimeField();
  MaskEditState s{"12:34:00", 0};
  EXPECT_FALSE(rules.Backspace(s));
  s.caret = 9;
  EXPECT_FALSE(rules.Backspace(s));
  EXPECT_TRUE(rules.Conforms("47:59:99"));
  for (const char* bad : {"48:00:00", "12-34:00", "12:34:0", "ab:cd:ef"})
    EXPECT_FALSE(rules.Conforms(bad)) << bad;
}
