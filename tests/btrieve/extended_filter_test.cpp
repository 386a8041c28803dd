// Filters of the extended operations on each common type, checked against
// the same conditions written in C++; connectors, reject counts, extractors
// and malformed descriptors.
#include <cctype>

#include "extended_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

constexpr uint8_t kNoCase = 128, kField = 64;

std::vector<uint8_t> Date(int y, int m, int d) {
  return {static_cast<uint8_t>(d), static_cast<uint8_t>(m), static_cast<uint8_t>(y),
          static_cast<uint8_t>(y >> 8)};
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

struct FilterCase {
  const char* name;
  std::vector<Term> terms;
  std::function<bool(const Person&)> keep;
};

class Filters : public People, public ::testing::WithParamInterface<int> {};

const std::vector<FilterCase>& Cases() {
  static const std::vector<FilterCase> cases = {
      {"integer above",
       {{kTypeInteger, 4, 0, kGt, kLast, Int(5, 4)}},
       [](const Person& p) { return p.id > 5; }},
      {"negative integers",
       {{kTypeInteger, 2, 32, kLt, kLast, Int(0, 2)}},
       [](const Person& p) { return p.level < 0; }},
      {"integer at most",
       {{kTypeInteger, 2, 32, kLe, kLast, Int(-3, 2)}},
       [](const Person& p) { return p.level <= -3; }},
      {"float at least",
       {{kTypeFloat, 8, 12, kGe, kLast, Float(-1.5)}},
       [](const Person& p) { return p.score >= -1.5; }},
      {"float zero of either sign",
       {{kTypeFloat, 8, 12, kEq, kLast, Float(0.0)}},
       [](const Person& p) { return p.score == 0.0; }},
      {"date across years",
       {{kTypeDate, 4, 20, kLt, kLast, Date(2000, 3, 1)}},
       [](const Person& p) {
         return std::tie(p.year, p.month, p.day) < std::make_tuple(2000, 3, 1);
       }},
      {"string, case matters",
       {{kTypeString, 8, 4, kEq, kLast, Text("bob", 8)}},
       [](const Person& p) { return p.name == "bob"; }},
      {"string, case ignored",
       {{kTypeString, 8, 4, kEq | kNoCase, kLast, Text("bOb", 8)}},
       [](const Person& p) { return Upper(p.name) == "BOB"; }},
      {"string not equal",
       {{kTypeString, 8, 4, kNe, kLast, Text("ann", 8)}},
       [](const Person& p) { return p.name != "ann"; }},
      {"zstring ignores what follows the end",
       {{kTypeZstring, 8, 24, kEq, kLast, Text(std::string("Paris\0zz", 8), 8, '\0')}},
       [](const Person& p) { return p.city == "Paris"; }},
      {"zstring order",
       {{kTypeZstring, 8, 24, kGt, kLast, Text("Paris", 8, '\0')}},
       [](const Person& p) { return p.city.substr(0, 7) > "Paris"; }},
      {"field against field",
       {{kTypeString, 8, 4, kEq | kField, kLast, Int(34, 2)}},
       [](const Person& p) { return p.name == p.alias; }},
      {"field against field, case ignored",
       {{kTypeString, 8, 4, kEq | kField | kNoCase, kLast, Int(34, 2)}},
       [](const Person& p) { return Upper(p.name) == Upper(p.alias); }},
      {"and",
       {{kTypeInteger, 4, 0, kGe, kAnd, Int(3, 4)}, {kTypeFloat, 8, 12, kLt, kLast, Float(0)}},
       [](const Person& p) { return p.id >= 3 && p.score < 0; }},
      {"or",
       {{kTypeInteger, 4, 0, kEq, kOr, Int(2, 4)}, {kTypeInteger, 2, 32, kGt, kLast, Int(6, 2)}},
       [](const Person& p) { return p.id == 2 || p.level > 6; }},
      // Left to right without precedence: a true term before OR accepts at
      // once, a false one before AND rejects at once.
      {"or then and",
       {{kTypeInteger, 2, 32, kGt, kOr, Int(0, 2)},
        {kTypeFloat, 8, 12, kLt, kAnd, Float(0)},
        {kTypeInteger, 4, 0, kLt, kLast, Int(8, 4)}},
       [](const Person& p) { return p.level > 0 || (p.score < 0 && p.id < 8); }},
      {"and then or",
       {{kTypeInteger, 4, 0, kGt, kAnd, Int(4, 4)},
        {kTypeString, 8, 4, kEq, kOr, Text("ann", 8)},
        {kTypeDate, 4, 20, kGe, kLast, Date(2000, 1, 1)}},
       [](const Person& p) {
         if (!(p.id > 4)) return false;
         return p.name == "ann" || std::tie(p.year, p.month, p.day) >= std::make_tuple(2000, 1, 1);
       }},
  };
  return cases;
}

TEST_P(Filters, MatchTheSameConditionWrittenInCpp) {
  const FilterCase& c = Cases()[static_cast<size_t>(GetParam())];
  ASSERT_EQ(StepFirst(), 0);
  std::vector<Returned> got;
  // "UC": the first record is examined too.
  EXPECT_EQ(Extended(b_, kOpStepNextExtended, Request(c.terms, {{4, 0}}, 100, 0, "UC"), 0, &got),
            kEndOfFile)
      << c.name;
  EXPECT_EQ(Ids(got), Expected(c.keep)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Types, Filters, ::testing::Range(0, static_cast<int>(Cases().size())));

TEST_F(People, TheRejectCountStopsTheWalkOnTheRejectedRecord) {
  ASSERT_EQ(StepFirst(), 0);
  std::vector<Returned> got;
  // Records 1 and 2 pass, 3 is the second reject of two allowed.
  auto req = Request({{kTypeInteger, 2, 32, kNe, kLast, Int(0, 2)}}, {{4, 0}}, 100, 2, "UC");
  // level: 5, -3, 0 (reject 1), 12, -1, 7, -32768, 32767, 1, -7, 3, 2: no second reject.
  EXPECT_EQ(Extended(b_, kOpStepNextExtended, req, 0, &got), kEndOfFile);
  EXPECT_EQ(got.size(), 11u);
  req = Request({{kTypeFloat, 8, 12, kGt, kLast, Float(0)}}, {{4, 0}}, 100, 2, "UC");
  // score: 3.5, -2.25 (reject 1), 0.0 (reject 2: stop).
  ASSERT_EQ(StepFirst(), 0);
  EXPECT_EQ(Extended(b_, kOpStepNextExtended, req, 0, &got), kRejectCountReached);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{1}));
  EXPECT_EQ(b_.Position(), positions_[2]);  // the rejected record is current
  // The next call goes on after it.
  EXPECT_EQ(Extended(b_, kOpStepNextExtended, req, 0, &got), kRejectCountReached);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{4}));
}

TEST_F(People, MalformedRequestsAreRefused) {
  const std::vector<Term> ok = {{kTypeInteger, 4, 0, kGt, kLast, Int(1, 4)}};
  struct Case {
    const char* name;
    std::vector<uint8_t> request;
    int16_t status;
  } cases[] = {
      {"signature", Request(ok, {{4, 0}}, 1, 0, "XY"), kInvalidDescriptor},
      {"comparison 0", Request({{kTypeInteger, 4, 0, 0, kLast, Int(1, 4)}}, {{4, 0}}),
       kInvalidDescriptor},
      {"comparison 7", Request({{kTypeInteger, 4, 0, 7, kLast, Int(1, 4)}}, {{4, 0}}),
       kInvalidDescriptor},
      {"unused comparison bit",
       Request({{kTypeInteger, 4, 0, kGt | 16, kLast, Int(1, 4)}}, {{4, 0}}), kInvalidDescriptor},
      {"last term joined", Request({{kTypeInteger, 4, 0, kGt, kAnd, Int(1, 4)}}, {{4, 0}}),
       kInvalidDescriptor},
      {"middle term last",
       Request({{kTypeInteger, 4, 0, kGt, kLast, Int(1, 4)},
                {kTypeInteger, 4, 0, kGt, kLast, Int(1, 4)}},
               {{4, 0}}),
       kInvalidDescriptor},
      {"connector 3", Request({{kTypeInteger, 4, 0, kGt, 3, Int(1, 4)}}, {{4, 0}}),
       kInvalidDescriptor},
      {"no record wanted", Request(ok, {{4, 0}}, 0), kInvalidDescriptor},
      {"no field", Request(ok, {}), kInvalidDescriptor},
      {"empty field", Request(ok, {{0, 4}}), kInvalidDescriptor},
      {"unknown type", Request({{12, 4, 0, kGt, kLast, Int(1, 4)}}, {{4, 0}}), kInvalidDescriptor},
      {"integer of 3 bytes", Request({{kTypeInteger, 3, 0, kGt, kLast, Int(1, 3)}}, {{4, 0}}),
       kInvalidDescriptor},
      {"extracted field past the record", Request(ok, {{4, kPersonLen - 2}}), kInvalidFieldOffset},
      {"filtered field past the record",
       Request({{kTypeInteger, 4, kPersonLen - 2, kGt, kLast, Int(1, 4)}}, {{4, 0}}),
       kInvalidFieldOffset},
      {"other field past the record",
       Request({{kTypeInteger, 4, 0, kGt | kField, kLast, Int(kPersonLen, 2)}}, {{4, 0}}),
       kInvalidFieldOffset},
      {"default ACS in a file without one",
       Request({{kTypeString, 8, 4, kEq | 32, kLast, Text("ann", 8)}}, {{4, 0}}), kAcsNotInFile},
      {"named ACS not in the file",
       Request({{kTypeString, 8, 4, kEq | 8, kLast,
                 [] {
                   auto v = Text("ann", 8);
                   v.push_back(0xAC);
                   auto name = Text("UPPER", 8);
                   v.insert(v.end(), name.begin(), name.end());
                   return v;
                 }()}},
               {{4, 0}}),
       kAcsNotInFile},
      {"answer larger than the buffer", Request(ok, {{kPersonLen, 0}}, 1000), kDataBufferTooShort},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(StepFirst(), 0);
    std::vector<Returned> got;
    EXPECT_EQ(Extended(b_, kOpStepNextExtended, c.request, 0, &got), c.status) << c.name;
    EXPECT_TRUE(got.empty()) << c.name;
    EXPECT_EQ(b_.len, 0u) << c.name << ": a refusal delivers nothing";
    EXPECT_EQ(b_.Position(), positions_[0]) << c.name << ": currency moved";
  }
  // The length in the header disagrees with the structure, or exceeds the buffer.
  auto request = Request(ok, {{4, 0}});
  std::vector<Returned> got;
  auto longer = request;
  longer[0] = static_cast<uint8_t>(longer[0] + 4);
  longer.insert(longer.end(), 4, 0);
  EXPECT_EQ(Extended(b_, kOpStepNextExtended, longer, 0, &got), kInvalidDescriptor);
  auto shorter = request;
  shorter[0] = static_cast<uint8_t>(shorter[0] - 4);
  EXPECT_EQ(Extended(b_, kOpStepNextExtended, shorter, 0, &got), kInvalidDescriptor);
  EXPECT_EQ(Extended(b_, kOpStepNextExtended, request, 0, &got, request.size() - 1),
            kDataBufferTooShort);
  b_.len = 3;
  EXPECT_EQ(b_.Call(kOpStepNextExtended, request.data(), &b_.len, 0), kDataBufferTooShort);
  EXPECT_EQ(b_.Call(kOpStepNextExtended, nullptr, nullptr, 0), kDataBufferTooShort);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
