// sDate: byte form, the minimum setting, day numbers both ways, validity,
// arithmetic and text.
#include <gtest/gtest.h>

#include "record/date_settings.h"
#include "record/date_value.h"
#include "record/french_locale_test.h"

namespace tavelnor::record {
namespace {

class DateTest : public FrenchLocaleTest {
 protected:
  void TearDown() override {
    SetMinimumDateZero(false);
    FrenchLocaleTest::TearDown();
  }
};

TEST_F(DateTest, ByteFormIsDayMonthYearLittleEndian) {
  const uint8_t min_bytes[4] = {0x01, 0x01, 0xE8, 0x03};
  const uint8_t max_bytes[4] = {0x1F, 0x0C, 0xB7, 0x0B};
  EXPECT_EQ(sDate::FromBytes(min_bytes), (sDate{1, 1, 1000}));
  EXPECT_EQ(sDate::FromBytes(max_bytes), sDate::Maximum());
  uint8_t out[4];
  sDate{31, 12, 2014}.ToBytes(out);
  EXPECT_EQ(out[0], 31);
  EXPECT_EQ(out[1], 12);
  EXPECT_EQ(out[2] | (out[3] << 8), 2014);
  EXPECT_EQ(sDate::FromPacked(sDate{31, 12, 2014}.Packed()), (sDate{31, 12, 2014}));
  EXPECT_LT(sDate{}, (sDate{1, 1, 1}));
}

TEST_F(DateTest, MinimumFollowsTheProcessSetting) {
  EXPECT_EQ(sDate::Minimum(), (sDate{1, 1, 1000}));
  SetMinimumDateZero(true);
  EXPECT_TRUE(MinimumDateIsZero());
  EXPECT_TRUE(sDate::Minimum().IsEmpty());
  SetMinimumDateZero(false);
  EXPECT_EQ(sDate::Minimum(), (sDate{1, 1, 1000}));
}

struct DayNumberCase {
  sDate date;
  int32_t day_number;
};

TEST_F(DateTest, DayNumbers) {
  const DayNumberCase cases[] = {
      {{1, 1, 2000}, 2451545},  {{0, 0, 0}, 0},          {{1, 1, 1}, 1721426},
      {{28, 2, 2000}, 2451603}, {{1, 3, 2000}, 2451605}, {{31, 12, 1999}, 2451544},
      {{1, 1, 1970}, 2440588},  {{15, 10, 1582}, 2299161}, {{31, 12, 2999}, 2816787},
      {{31, 12, 65535}, 25657591},
  };
  for (const DayNumberCase& c : cases) {
    EXPECT_EQ(c.date.DayNumber(), c.day_number) << c.date.ToText().str();
    EXPECT_EQ(sDate::FromDayNumber(c.day_number), c.date) << c.day_number;
  }
  EXPECT_TRUE(sDate::FromDayNumber(1721425).IsEmpty()) << "before year 1";
  EXPECT_TRUE(sDate::FromDayNumber(-5).IsEmpty());
  EXPECT_TRUE(sDate::FromDayNumber(25657592).IsEmpty()) << "after year 65535";
  EXPECT_TRUE(sDate::FromDayNumber(INT32_MAX).IsEmpty());
}

struct ValidCase {
  sDate date;
  bool valid;
};

TEST_F(DateTest, Validity) {
  const ValidCase cases[] = {
      {{29, 2, 1900}, false}, {{29, 2, 2000}, true},  {{29, 2, 2004}, true},
      {{29, 2, 2001}, false}, {{28, 2, 2001}, true},  {{31, 4, 2001}, false},
      {{30, 4, 2001}, true},  {{31, 12, 2001}, true}, {{0, 1, 2001}, false},
      {{1, 0, 2001}, false},  {{1, 13, 2001}, false}, {{1, 1, 0}, false},
      {{0, 0, 0}, false},     {{32, 1, 2001}, false}, {{1, 1, 65535}, true},
  };
  for (const ValidCase& c : cases) {
    EXPECT_EQ(c.date.IsValid(), c.valid)
        << int(c.date.day) << "/" << int(c.date.month) << "/" << c.date.year;
  }
  EXPECT_TRUE(IsLeapYear(2400));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_EQ(DaysInMonth(2000, 13), 0);
}

struct AddCase {
  sDate start;
  int32_t years, months, days;
  sDate expected;
};

TEST_F(DateTest, AddYearsMonthsDays) {
  const AddCase cases[] = {
      {{31, 1, 2001}, 0, 1, 0, {28, 2, 2001}}, {{31, 1, 2004}, 0, 1, 0, {29, 2, 2004}},
      {{29, 2, 2004}, 1, 0, 0, {28, 2, 2005}}, {{15, 12, 2004}, 0, 1, 0, {15, 1, 2005}},
      {{15, 1, 2004}, 0, -1, 0, {15, 12, 2003}}, {{15, 1, 2004}, 0, -13, 0, {15, 12, 2002}},
      {{31, 3, 2004}, 0, -1, 0, {29, 2, 2004}}, {{31, 12, 1999}, 0, 0, 1, {1, 1, 2000}},
      {{1, 1, 2000}, 0, 0, -1, {31, 12, 1999}}, {{1, 3, 2000}, 0, 0, -1, {29, 2, 2000}},
      {{31, 1, 2001}, 0, 1, 1, {1, 3, 2001}},  // clamp first, then days
      {{1, 1, 2000}, 0, 0, 366, {1, 1, 2001}}, {{1, 1, 2000}, 0, 0, 0, {1, 1, 2000}},
      {{0, 0, 0}, 1, 1, 1, {0, 0, 0}}, {{1, 1, 1}, 0, 0, -1, {0, 0, 0}},
      {{31, 12, 65535}, 0, 0, 1, {0, 0, 0}},
      {{1, 1, 2000}, INT32_MAX, INT32_MAX, INT32_MAX, {0, 0, 0}},
      {{1, 1, 2000}, INT32_MIN, INT32_MIN, INT32_MIN, {0, 0, 0}},
  };
  for (const AddCase& c : cases) {
    EXPECT_EQ(c.start.Add(c.years, c.months, c.days), c.expected)
        << c.start.ToText().str() << " + " << c.years << "y " << c.months << "m " << c.days
        << "d gives " << c.start.Add(c.years, c.months, c.days).ToText().str();
  }
}

TEST_F(DateTest, TextInEachLocale) {
  sDate d{31, 12, 2014};
  EXPECT_EQ(d.ToText(), "31/12/2014");
  EXPECT_EQ((sDate{1, 2, 999}).ToText(), "01/02/0999");
  EXPECT_EQ(sDate{}.ToText(), "");
  SetResourceLanguage(kLangGerman);
  EXPECT_EQ(d.ToText(), "31.12.2014");
  SetResourceLanguage(kLangEnglish);
  EXPECT_EQ(d.ToText(), "12/31/2014");
}

struct FromTextCase {
  const char* text;
  int style;
  bool ok;
  sDate expected;
};

TEST_F(DateTest, FromTextRules) {
  const FromTextCase cases[] = {
      {"31/12/2014", -1, true, {31, 12, 2014}}, {" 1/2/2014 ", -1, true, {1, 2, 2014}},
      {"31/12/14", -1, true, {31, 12, 2014}}, {"31/12/75", -1, true, {31, 12, 1975}},
      {"31122014", -1, true, {31, 12, 2014}}, {"31/12/2014", 3, true, {31, 12, 2014}},
      {"31/12/14", 3, false, {0, 0, 0}}, {"31/12/2014", 0, false, {0, 0, 0}},
      {"", -1, true, {0, 0, 0}}, {"", 0, true, {0, 0, 0}}, {"garbage", -1, false, {0, 0, 0}},
      {"31.12.2014", -1, false, {0, 0, 0}},
      {"30/02/2014", -1, false, {30, 2, 2014}},  // read, but not a valid date
      {"00/00/0000", -1, false, {0, 0, 0}}, {"99/99/9999", -1, false, {99, 99, 9999}},
  };
  for (const FromTextCase& c : cases) {
    sDate d{5, 5, 2005};
    EXPECT_EQ(d.FromText(c.text, c.style), c.ok) << c.text << " style " << c.style;
    EXPECT_EQ(d, c.expected) << c.text;
  }
}

}  // namespace
}  // namespace tavelnor::record
