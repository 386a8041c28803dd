// Random and hostile inputs through every reader: no crash, no undefined
// behaviour (under the sanitizers), and the documented defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "record/bool_value.h"
#include "record/date_value.h"
#include "record/fixed_point.h"
#include "record/guid_value.h"
#include "record/time_value.h"
#include "record/timestamp.h"

namespace tavelnor::record {
namespace {

std::string RandomText(std::mt19937& rng) {
  static const char kAlphabet[] = "0123456789 ,.:/+-\t{}abcDEF\xE9\xFF";
  std::string s(rng() % 70, ' ');
  for (char& c : s) {
    c = rng() % 4 == 0 ? static_cast<char>(rng()) : kAlphabet[rng() % (sizeof kAlphabet - 1)];
  }
  return s;
}

TEST(RobustnessTest, RandomTextsGiveDefinedResults) {
  std::mt19937 rng(31337);
  for (int i = 0; i < 20000; ++i) {
    std::string text = RandomText(rng);
    sDate d{1, 1, 2000};
    if (!d.FromText(text)) {
      EXPECT_FALSE(d.IsValid() && !text.empty()) << text;
    }
    sTime t{1, 1, 1, 1};
    if (t.FromText(text) || t.FromColonText(text)) {
      EXPECT_TRUE(t.IsValid()) << text;
    } else {
      EXPECT_TRUE(t.IsEmpty()) << text;
    }
    EDecimal32 a = EDecimal32::FromText(text);
    if (text.size() > kMaxDecimalText) {
      EXPECT_EQ(a.Raw(), 0);
    }
    (void)EDecimal64::FromText(text);
    ECurrency c = ECurrency::FromText(text);
    EXPECT_LT(std::llabs(c.Raw()), INT64_C(1000000000000000000)) << text;
    EGuid g;
    if (!g.FromText(text)) {
      EXPECT_TRUE(g.IsNull());
    }
    bool b = false;
    (void)BoolFromText(text, &b);
    ETimeStamp ts(7);
    if (!ts.FromText(text, TimeZone::Utc())) {
      EXPECT_TRUE(ts.IsEmpty());
    }
  }
}

TEST(RobustnessTest, RandomBytesThroughEveryByteForm) {
  std::mt19937_64 rng(4242);
  uint8_t bytes[16];
  for (int i = 0; i < 20000; ++i) {
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    sDate d = sDate::FromBytes(bytes);
    if (d.IsValid()) {
      EXPECT_EQ(sDate::FromDayNumber(d.DayNumber()), d);
    }
    (void)d.Add(static_cast<int32_t>(rng()), static_cast<int32_t>(rng()),
                static_cast<int32_t>(rng()));
    (void)d.ToText();
    (void)sTime::FromBytes(bytes).ToText();
    ETimeStamp ts = ETimeStamp::FromBytes(bytes);
    (void)ts.ToText(TimeZone::Utc());
    (void)ts.ToOleDays(TimeZone::Fixed(-120));
    (void)ts.ToTimeT();
    for (int w : {0, 5, 30}) {
      for (int dec : {-1, 0, 2, 9}) {
        (void)EDecimal32::FromBytes(bytes).Format(w, dec);
        (void)EDecimal64::FromBytes(bytes).Format(w, dec);
        (void)ECurrency::FromBytes(bytes).Format(w, dec);
      }
    }
    double v;
    std::memcpy(&v, bytes, sizeof v);
    EXPECT_LE(std::abs(EDecimal32::FromDouble(v).ToDouble()), 2000000.0);
    EXPECT_LT(std::abs(ECurrency::FromDouble(v).ToDouble()), 1e14);
    (void)EDecimal64::FromDouble(v);
  }
}

TEST(RobustnessTest, ExtremeProductsAndQuotients) {
  const EDecimal32 e[] = {EDecimal32::FromRaw(INT32_MIN), EDecimal32::FromRaw(INT32_MAX),
                          EDecimal32::FromRaw(-1), EDecimal32::FromRaw(1), EDecimal32()};
  for (EDecimal32 a : e) {
    for (EDecimal32 b : e) {
      EXPECT_LE(std::abs(Multiply(a, b).ToDouble()), 2000000.0);
      EXPECT_LE(std::abs(Divide(a, b).ToDouble()), 2000000.0);
    }
  }
  const ECurrency c[] = {ECurrency::FromRaw(INT64_MIN), ECurrency::FromRaw(INT64_MAX),
                         ECurrency::FromRaw(1), ECurrency()};
  for (ECurrency a : c) {
    for (ECurrency b : c) {
      EXPECT_LT(std::abs(Multiply(a, b).ToDouble()), 1e14);
      EXPECT_LT(std::abs(Divide(a, b).ToDouble()), 1e14);
    }
  }
}

}  // namespace
}  // namespace tavelnor::record
