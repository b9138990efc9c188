#include <gtest/gtest.h>

#include <string>

#include "ui/mask_rules.h"

using ui::MaskEditState;
using ui::MaskRules;

namespace {

// Types `keys` one by one from `state`; the keys refused are returned.
std::string TypeAll(const MaskRules& rules, MaskEditState& state, const std::string& keys) {
  std::string refused;
  for (char c : keys)
    if (!rules.Type(c, state)) refused += c;
  return refused;
}

}  // namespace

TEST(MaskRules, TimeFieldTypesOverLiteralsAndKeepsHoursAndMinutesInRange) {
  const MaskRules rules = MaskRules::TimeField();
  MaskEditState s{"00:00:00", 0};
  EXPECT_EQ(TypeAll(rules, s, "1234"), "");
  EXPECT_EQ(s.text, "12:34:00");
  EXPECT_EQ(s.caret, 6u);  // after the second colon, both passed by themselves

  s = {"00:00:00", 0};
  EXPECT_EQ(TypeAll(rules, s, "5x48"), "5x8");  // hour limit 47; letters never
  EXPECT_EQ(TypeAll(rules, s, "7"), "");
  EXPECT_EQ(TypeAll(rules, s, "65999"), "6");  // minutes to 59, seconds free
  EXPECT_EQ(s.text, "47:59:99");
  EXPECT_EQ(TypeAll(rules, s, "1"), "1");  // past the mask
}

TEST(MaskRules, BackspaceRestoresTheDefaultAndStopsAtTheStart) {
  const MaskRules rules = MaskRules::TimeField();
  MaskEditState s{"12:34:00", 6};
  ASSERT_TRUE(rules.Backspace(s));
  EXPECT_EQ(s.text, "12:34:00");
  EXPECT_EQ(s.caret, 5u);
  ASSERT_TRUE(rules.Backspace(s));
  EXPECT_EQ(s.text, "12:30:00");
  EXPECT_EQ(s.caret, 4u);
  s.caret = 0;
  EXPECT_FALSE(rules.Backspace(s));
  s.caret = 9;
  EXPECT_FALSE(rules.Backspace(s));
}

TEST(MaskRules, DateAndOtherMaskCharacters) {
  MaskRules date = MaskRules::TimeField();
  date.SetDateRules(true);
  MaskEditState s{"00:00:00", 0};
  EXPECT_EQ(TypeAll(date, s, "43251132"), "4253");  // day 31 at most, month 12
  EXPECT_EQ(s.text, "31:12:00");

  MaskRules other;
  other.SetMask("#&AaL?9", "_______");
  other.SetExtraCharacters("*");
  MaskEditState t{"", 0};
  EXPECT_EQ(TypeAll(other, t, "x+ !a 1* x71"), "x!1x1");
  EXPECT_EQ(t.text, "+ a * 7");
}

TEST(MaskRules, ConformsOnlyToTextThatCouldHaveBeenTyped) {
  const MaskRules rules = MaskRules::TimeField();
  EXPECT_TRUE(rules.Conforms("47:59:99"));
  EXPECT_FALSE(rules.Conforms("48:00:00"));
  EXPECT_FALSE(rules.Conforms("12-34:00"));
  EXPECT_FALSE(rules.Conforms("12:34:0"));
  EXPECT_FALSE(rules.Conforms("ab:cd:ef"));
}
