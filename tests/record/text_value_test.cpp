// Text write and read rules, booleans and GUIDs.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "foundation/case_tables.h"

#include "foundation/string_resources.h"
#include "record/bool_value.h"
#include "record/guid_value.h"
#include "record/text_fields.h"

namespace tavelnor::record {
namespace {

enum class Kind { kZero, kFixed, kChar };

struct WriteCase {
  Kind kind;
  size_t size;
  const char* text;
  bool upper;
  std::string expected;  // the whole array
};

TEST(TextFieldTest, WriteRules) {
  using std::string;
  const WriteCase cases[] = {
      {Kind::kZero, 4, "ABCDEF", false, string("ABC\0", 4)},
      {Kind::kZero, 4, "ABC", false, string("ABC\0", 4)},
      {Kind::kZero, 4, "AB", false, string("AB\0\0", 4)},
      {Kind::kZero, 4, "", false, string(4, '\0')}, {Kind::kZero, 1, "A", false, string(1, '\0')},
      {Kind::kFixed, 4, "ABCDEF", false, "ABCD"}, {Kind::kFixed, 4, "ABCD", false, "ABCD"},
      {Kind::kFixed, 4, "AB", false, string("AB\0\0", 4)},
      {Kind::kFixed, 1, "", false, string(1, '\0')}, {Kind::kChar, 1, "xyz", false, "x"},
      {Kind::kChar, 1, "xyz", true, "X"}, {Kind::kChar, 1, "", false, string(1, '\0')},
      {Kind::kZero, 6, "\xE9t\xE9", true, string("\xC9T\xC9\0\0\0", 6)},
      {Kind::kFixed, 3, "\xED\xFF\xE0x", true, "\xED\xFF\xC0"},
      {Kind::kZero, 8, "ma\xEFs!", true, string("MA\xCFS!\0\0\0", 8)},
  };
  for (const WriteCase& c : cases) {
    std::string buf(c.size + 2, '#');  // guard bytes after the array
    auto* p = reinterpret_cast<uint8_t*>(buf.data());
    if (c.kind == Kind::kZero) WriteZeroTerminated(p, c.size, c.text, c.upper);
    if (c.kind == Kind::kFixed) WriteFixedLength(p, c.size, c.text, c.upper);
    if (c.kind == Kind::kChar) WriteCharacter(p, c.size, c.text, c.upper);
    EXPECT_EQ(buf.substr(0, c.size), c.expected) << c.text;
    EXPECT_EQ(buf.substr(c.size), "##") << "wrote past the array: " << c.text;
  }
}

TEST(TextFieldTest, SizeZeroAndNullArraysAreLeftAlone) {
  uint8_t guard = 0x55;
  WriteZeroTerminated(&guard, 0, "abc", false);
  WriteFixedLength(&guard, 0, "abc", true);
  WriteCharacter(&guard, 0, "abc", false);
  EXPECT_EQ(guard, 0x55);
  WriteZeroTerminated(nullptr, 10, "abc", false);
  EXPECT_EQ(ReadTextField(nullptr, 10), "");
  EXPECT_EQ(ReadTextField(&guard, 0), "");
}

TEST(TextFieldTest, ReadStopsAtFirstZeroOrArrayEnd) {
  const uint8_t full[4] = {'A', 'B', 'C', 'D'};
  const uint8_t part[4] = {'A', 0, 'C', 0};
  EXPECT_EQ(ReadTextField(full, 4), "ABCD");
  EXPECT_EQ(ReadTextField(part, 4), "A");
  EXPECT_EQ(ReadTextFieldChaine(full, 3), "ABC");
}

TEST(TextFieldTest, CopyUpperMatchesTheTableAtEveryLengthAndOffset) {
  std::mt19937 rng(5);
  uint8_t src[80], dst[80];
  for (int round = 0; round < 2000; ++round) {
    bool ascii_only = round % 2 == 0;  // exercises the eight-byte path
    for (uint8_t& b : src) b = static_cast<uint8_t>(ascii_only ? rng() % 0x80 : rng());
    size_t offset = rng() % 8;
    size_t n = rng() % (sizeof src - offset);
    std::memset(dst, 0xEE, sizeof dst);
    CopyUpper(dst + offset, src + offset, n);
    for (size_t i = 0; i < sizeof dst; ++i) {
      uint8_t expected = (i >= offset && i < offset + n) ? ToUpper1252(src[i]) : 0xEE;
      ASSERT_EQ(dst[i], expected) << "byte " << i << " of " << n << " from " << offset;
    }
  }
}

class BoolTextTest : public testing::TestWithParam<uint16_t> {
 protected:
  void SetUp() override {
    saved_ = ResourceLanguage();
    SetResourceLanguage(GetParam());
  }
  void TearDown() override { SetResourceLanguage(saved_); }
  uint16_t saved_ = kLangFrench;
};

TEST_P(BoolTextTest, WordsRoundTripAndTrim) {
  for (bool v : {true, false}) {
    bool out = !v;
    Chaine word = BoolToText(v);
    EXPECT_FALSE(word.IsEmpty());
    EXPECT_TRUE(BoolFromText(word.view(), &out)) << word.str();
    EXPECT_EQ(out, v);
    std::string padded = "  " + word.str() + " ";
    out = !v;
    EXPECT_TRUE(BoolFromText(padded, &out));
    EXPECT_EQ(out, v);
    std::string lower = word.str();
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(BoolFromText(lower, &out));
  }
  bool untouched = true;
  EXPECT_FALSE(BoolFromText("", &untouched));
  EXPECT_FALSE(BoolFromText("   ", &untouched));
  EXPECT_FALSE(BoolFromText("peut-etre", &untouched));
  EXPECT_TRUE(untouched);
  bool out = false;
  EXPECT_TRUE(BoolFromText("1", &out));
  EXPECT_TRUE(out);
  EXPECT_TRUE(BoolFromText("0", &out));
  EXPECT_FALSE(out);
}

INSTANTIATE_TEST_SUITE_P(Languages, BoolTextTest,
                         testing::Values(kLangFrench, kLangGerman, kLangEnglish));

TEST(BdBoolTest, ByteForm) {
  const uint8_t two[4] = {2, 0, 0, 0};
  const uint8_t high[4] = {0, 0, 0, 0x80};
  const uint8_t zero[4] = {0, 0, 0, 0};
  EXPECT_TRUE(bdBool::FromBytes(two).IsTrue());
  EXPECT_TRUE(bdBool::FromBytes(high).IsTrue());
  EXPECT_FALSE(bdBool::FromBytes(zero).IsTrue());
  uint8_t out[4] = {9, 9, 9, 9};
  bdBool{-7}.ToBytes(out);
  EXPECT_EQ(std::memcmp(out, "\x01\0\0\0", 4), 0);
  bdBool::From(false).ToBytes(out);
  EXPECT_EQ(std::memcmp(out, zero, 4), 0);
}

TEST(GuidTest, MalformedTextsGiveTheNullGuid) {
  const char* bad[] = {
      "",
      "00112233-4455-6677-8899-AABBCCDDEEFF",
      "{00112233-4455-6677-8899-AABBCCDDEEF}",
      "{00112233-4455-6677-8899-AABBCCDDEEFG}",
      "{00112233+4455-6677-8899-AABBCCDDEEFF}",
      "{0011223-34455-6677-8899-AABBCCDDEEFF}",
      "{00112233-4455-6677-8899-AABBCCDDEEFF}x",
  };
  for (const char* text : bad) {
    EGuid g;
    g.data1 = 5;
    EXPECT_FALSE(g.FromText(text)) << text;
    EXPECT_TRUE(g.IsNull()) << text;
  }
}

}  // namespace
}  // namespace tavelnor::record
