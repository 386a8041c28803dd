// Windows-1252 case tables, checked against the byte lists they must follow.
#include "foundation/case_tables.h"

#include <gtest/gtest.h>

#include <set>

namespace tavelnor {
namespace {

// Accented small letters that have a capital in the upper-case table.
const std::set<int> kUpperAccented = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8,
                                      0xE9, 0xEA, 0xEB, 0xEC, 0xEE, 0xEF, 0xF1, 0xF2, 0xF3,
                                      0xF4, 0xF5, 0xF6, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD};

std::set<int> LowerAccented() {
  std::set<int> s;
  for (int c = 0xC0; c <= 0xCF; ++c) s.insert(c);
  for (int c = 0xD1; c <= 0xD6; ++c) s.insert(c);
  for (int c = 0xD8; c <= 0xDD; ++c) s.insert(c);
  return s;
}

TEST(CaseTables, UpperMapsExactlyTheListedBytes) {
  ASSERT_EQ(kUpperAccented.size(), 27u);
  for (int c = 0; c < 256; ++c) {
    const bool maps = (c >= 'a' && c <= 'z') || kUpperAccented.count(c) != 0;
    const int expected = maps ? c - 0x20 : c;
    EXPECT_EQ(UpperTable()[c], expected) << std::hex << c;
    EXPECT_EQ(ToUpper1252(static_cast<uint8_t>(c)), expected) << std::hex << c;
  }
}

TEST(CaseTables, LowerMapsExactlyTheListedBytes) {
  const std::set<int> accented = LowerAccented();
  for (int c = 0; c < 256; ++c) {
    const bool maps = (c >= 'A' && c <= 'Z') || accented.count(c) != 0;
    const int expected = maps ? c + 0x20 : c;
    EXPECT_EQ(LowerTable()[c], expected) << std::hex << c;
    EXPECT_EQ(ToLower1252(static_cast<uint8_t>(c)), expected) << std::hex << c;
  }
}

TEST(CaseTables, StringHelpers) {
  EXPECT_EQ(ToUpper1252("d\xE9j\xE0 vu \xED"), "D\xC9J\xC0 VU \xED");
  EXPECT_EQ(ToLower1252("\xC9T\xC9 \xDE"), "\xE9t\xE9 \xDE");
  EXPECT_EQ(CompareNoCase1252("\xE9t\xE9", "\xC9T\xC9"), 0);
  EXPECT_LT(CompareNoCase1252("abc", "ABCD"), 0);
  EXPECT_GT(CompareNoCase1252("b", "A"), 0);
  EXPECT_GT(CompareNoCase1252("\xFF", "a"), 0);  // compared as unsigned bytes
}

}  // namespace
}  // namespace tavelnor
