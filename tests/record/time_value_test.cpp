// sTime and ETimeStamp: byte forms, conversions and text.
#include "record/time_value.h"

#include <gtest/gtest.h>

#include <cmath>

#include "foundation/string_resources.h"
#include "record/timestamp.h"
#include "record/french_locale_test.h"

namespace tavelnor::record {
namespace {

class TimeTest : public FrenchLocaleTest {};

TEST_F(TimeTest, ByteFormAndOrder) {
  const uint8_t max_bytes[4] = {0x63, 0x3B, 0x3B, 0x17};
  EXPECT_EQ(sTime::FromBytes(max_bytes), sTime::Maximum());
  uint8_t out[4];
  (sTime{12, 34, 56, 7}).ToBytes(out);
  EXPECT_EQ(out[0], 12);
  EXPECT_EQ(out[3], 7);
  EXPECT_LT((sTime{99, 59, 59, 6}), (sTime{0, 0, 0, 7}));
  EXPECT_LT((sTime{0, 1, 0, 7}), (sTime{0, 0, 1, 7}));  // 7:00:01 < 7:01:00
  EXPECT_TRUE(sTime{}.IsEmpty());
  EXPECT_FALSE((sTime{100, 0, 0, 0}).IsValid());
  EXPECT_FALSE((sTime{0, 0, 0, 24}).IsValid());
}

TEST_F(TimeTest, FromSeconds) {
  EXPECT_EQ(sTime::FromSeconds(0), sTime{});
  EXPECT_EQ(sTime::FromSeconds(3661), (sTime{0, 1, 1, 1}));
  EXPECT_EQ(sTime::FromSeconds(86399), (sTime{0, 59, 59, 23}));
  EXPECT_EQ(sTime::FromSeconds(86400 + 60), (sTime{0, 0, 1, 0})) << "hours wrap at 24";
  EXPECT_EQ(sTime::FromSeconds(-1), sTime{});
  EXPECT_EQ((sTime{50, 5, 4, 3}).ToSeconds(), 3 * 3600 + 4 * 60 + 5);
}

TEST_F(TimeTest, TextStyles) {
  sTime t{0, 5, 4, 13};
  EXPECT_EQ(t.ToText(), "13:04:05");
  EXPECT_EQ(t.ToText(1), "13:04");
  EXPECT_EQ(t.ToText(2), "1304");
  EXPECT_EQ(t.ToText(4), "130405");
}

struct TimeTextCase {
  const char* text;
  int style;  // kColon: read through FromColonText
  bool ok;
  sTime expected;
};

constexpr int kColon = 99;

TEST_F(TimeTest, FromTextAndFromColonText) {
  const TimeTextCase cases[] = {
      {"7", -1, true, {0, 0, 0, 7}}, {"23", -1, true, {0, 0, 0, 23}}, {"24", -1, false, {}},
      {"13:04:05", -1, true, {0, 5, 4, 13}}, {"13:04", -1, true, {0, 0, 4, 13}},
      {"130405", -1, true, {0, 5, 4, 13}}, {"1304", -1, true, {0, 0, 4, 13}},
      {"9:30", -1, true, {0, 0, 30, 9}}, {"13:60", -1, false, {}}, {"25:00", -1, false, {}},
      {"", -1, true, {}}, {"midi", -1, false, {}}, {"13:04", 3, false, {}}, {"13:04", 0, false, {}},
      {"7", 1, false, {}},
      {"1", kColon, true, {0, 0, 0, 1}}, {"1:2", kColon, true, {0, 0, 2, 1}},
      {"01:02:03", kColon, true, {0, 3, 2, 1}}, {"1:2:3:45", kColon, true, {45, 3, 2, 1}},
      {"1:2:3:4:5", kColon, false, {}}, {"123", kColon, false, {}}, {"1:", kColon, false, {}},
      {"", kColon, false, {}}, {"24:00", kColon, false, {}}, {"1:2:3:x", kColon, false, {}},
  };
  for (const TimeTextCase& c : cases) {
    sTime t{1, 1, 1, 1};
    EXPECT_EQ(c.style == kColon ? t.FromColonText(c.text) : t.FromText(c.text, c.style), c.ok)
        << c.text << " style " << c.style;
    EXPECT_EQ(t, c.expected) << c.text;
  }
}

TEST(TimeStampTest, UnitsInTicks) {
  const int64_t expected[] = {
      0,         1,           10000,        100000,          10000000,
      600000000, 36000000000, 864000000000, 315360000000000, 31556736000000000};
  for (int u = 0; u < 10; ++u) {
    int64_t ticks = -1;
    ASSERT_TRUE(UnitsToTicks(u == 0 ? 0 : 1, static_cast<TimeUnit>(u), &ticks));
    EXPECT_EQ(ticks, expected[u]) << u;
  }
  int64_t ticks = 0;
  EXPECT_TRUE(UnitsToTicks(250, TimeUnit::kNanosecond, &ticks));
  EXPECT_EQ(ticks, 2);
  EXPECT_FALSE(UnitsToTicks(INT64_MAX, TimeUnit::kDay, &ticks));
  EXPECT_FALSE(UnitsToTicks(1, static_cast<TimeUnit>(10), &ticks));
}

TEST(TimeStampTest, FromDateAndTimeInUniversalTime) {
  TimeZone utc = TimeZone::Utc();
  EXPECT_EQ(ETimeStamp::FromLocal(sDate{1, 1, 1}, sTime{}, utc).Ticks(), 1);
  EXPECT_EQ(ETimeStamp::FromLocal(sDate{1, 1, 1}, sTime{1, 0, 0, 0}, utc).Ticks(), 100000);
  EXPECT_EQ(ETimeStamp::FromLocal(sDate{1, 1, 1970}, sTime{}, utc).Ticks(),
            ETimeStamp::kUnixEpochTicks);
  EXPECT_EQ(ETimeStamp::FromLocal(sDate{30, 12, 1899}, sTime{}, utc).Ticks(),
            ETimeStamp::kOleEpochTicks);
  EXPECT_TRUE(ETimeStamp::FromLocal(sDate{}, sTime{}, utc).IsEmpty());
  EXPECT_TRUE(ETimeStamp::FromLocal(sDate{30, 2, 2000}, sTime{}, utc).IsEmpty());
  ETimeStamp ts = ETimeStamp::FromLocal(sDate{2, 1, 1970}, sTime{50, 3, 2, 1}, utc);
  EXPECT_EQ(ts.ToTimeT(), 86400 + 3600 + 120 + 3);
  sDate d;
  sTime t;
  ts.ToLocal(utc, &d, &t);
  EXPECT_EQ(d, (sDate{2, 1, 1970}));
  EXPECT_EQ(t, (sTime{50, 3, 2, 1}));
}

TEST(TimeStampTest, TimeTAndOleDays) {
  EXPECT_EQ(ETimeStamp::FromTimeT(0).Ticks(), ETimeStamp::kUnixEpochTicks);
  EXPECT_EQ(ETimeStamp::FromTimeT(-1).ToTimeT(), -1);
  EXPECT_EQ(ETimeStamp::FromTimeT(1700000000).ToTimeT(), 1700000000);
  EXPECT_TRUE(ETimeStamp::FromTimeT(INT64_MAX).IsEmpty());
  EXPECT_DOUBLE_EQ(ETimeStamp::FromTimeT(43200).ToOleDays(TimeZone::Utc()), 25569.5);
  EXPECT_DOUBLE_EQ(ETimeStamp().ToOleDays(), 0.0);
  TimeZone utc = TimeZone::Utc();
  EXPECT_EQ(ETimeStamp::FromOleDays(25569.5, utc).ToTimeT(), 43200);
  EXPECT_EQ(ETimeStamp::FromOleDays(-1.25, utc).Ticks(),
            ETimeStamp::kOleEpochTicks - ETimeStamp::kTicksPerDay * 5 / 4);
  EXPECT_EQ(ETimeStamp::FromOleDays(-693593.0, utc).Ticks(), 1) << "01/01/0001 is not empty";
  EXPECT_TRUE(ETimeStamp::FromOleDays(0.0, utc).IsEmpty());
  EXPECT_TRUE(ETimeStamp::FromOleDays(-693594.0, utc).IsEmpty());
  EXPECT_TRUE(ETimeStamp::FromOleDays(1e300, utc).IsEmpty());
  EXPECT_TRUE(ETimeStamp::FromOleDays(std::nan(""), utc).IsEmpty());
  ETimeStamp now = ETimeStamp::FromTimeT(1700000000);
  EXPECT_EQ(ETimeStamp::FromOleDays(now.ToOleDays(TimeZone::Fixed(300)), TimeZone::Fixed(300)),
            now);
}

TEST(TimeStampTest, AddAndBytes) {
  ETimeStamp ts = ETimeStamp::FromTimeT(0);
  EXPECT_TRUE(ts.Add(2, TimeUnit::kDay));
  EXPECT_EQ(ts.ToTimeT(), 2 * 86400);
  EXPECT_TRUE(ts.Add(-90, TimeUnit::kMinute));
  EXPECT_EQ(ts.ToTimeT(), 2 * 86400 - 5400);
  ETimeStamp before = ts;
  EXPECT_FALSE(ts.Add(INT64_MAX, TimeUnit::kTick));
  EXPECT_EQ(ts, before);
  uint8_t b[8];
  ETimeStamp(0x0102030405060708).ToBytes(b);
  EXPECT_EQ(b[0], 0x08);
  EXPECT_EQ(b[7], 0x01);
  EXPECT_EQ(ETimeStamp::FromBytes(b).Ticks(), 0x0102030405060708);
  const uint8_t neg[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(ETimeStamp::FromBytes(neg).Ticks(), -1);
}

TEST_F(TimeTest, TimeStampTextAndLocalRoundTrip) {
  ETimeStamp ts = ETimeStamp::FromLocal(sDate{31, 12, 2014}, sTime{0, 5, 4, 13}, TimeZone::Utc());
  EXPECT_EQ(ts.ToText(TimeZone::Utc()), "31/12/2014 13:04:05");
  EXPECT_EQ(ETimeStamp().ToText(), "");
  // The machine's zone: local fields survive the trip through universal time.
  ETimeStamp local =
      ETimeStamp::FromLocal(sDate{15, 6, 2010}, sTime{0, 0, 30, 12}, TimeZone::Local());
  sDate d;
  sTime t;
  local.ToLocal(TimeZone::Local(), &d, &t);
  EXPECT_EQ(d, (sDate{15, 6, 2010}));
  EXPECT_EQ(t, (sTime{0, 0, 30, 12}));
  ETimeStamp read(5);
  EXPECT_TRUE(read.FromText("31/12/2014 13:04:05", TimeZone::Utc()));
  EXPECT_EQ(read, ts);
  EXPECT_TRUE(read.FromText("  31/12/2014   13:04:05:50 ", TimeZone::Utc()));
  EXPECT_EQ(read.Ticks(), ts.Ticks() + 50 * 100000);
  EXPECT_TRUE(read.FromText("31/12/2014", TimeZone::Utc()));
  EXPECT_EQ(read.ToTimeT(), ts.ToTimeT() - (13 * 3600 + 4 * 60 + 5));
  EXPECT_TRUE(read.FromText("   "));
  EXPECT_TRUE(read.IsEmpty());
  const char* bad[] = {"31/02/2014", "31/12/2014 25:00", "demain", "31/12/2014 x"};
  for (const char* text : bad) {
    read = ETimeStamp(5);
    EXPECT_FALSE(read.FromText(text)) << text;
    EXPECT_TRUE(read.IsEmpty()) << text;
  }
  EXPECT_FALSE(ETimeStamp::Maximum().IsEmpty());
  ETimeStamp::Maximum().ToLocal(TimeZone::Local(), &d, &t);
  EXPECT_EQ(d, sDate::Maximum());
}

}  // namespace
}  // namespace tavelnor::record
