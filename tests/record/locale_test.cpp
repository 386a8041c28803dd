// Locale services: date and time styles per language, readers, and the
// choice of locale through the library's language setting.
#include <gtest/gtest.h>

#include "foundation/locale.h"
#include "foundation/string_resources.h"

namespace tavelnor {
namespace {

struct DateStyleCase {
  uint16_t lang;
  int style;
  const char* text;
};

TEST(LocaleTest, DateStylesPerLanguage) {
  const CivilDate d{5, 3, 2014};
  const DateStyleCase cases[] = {
      {kLangFrench, 3, "05/03/2014"},  {kLangFrench, 1, "05/03/14"},
      {kLangFrench, 2, "05032014"},    {kLangGerman, 3, "05.03.2014"},
      {kLangGerman, 1, "05.03.14"},    {kLangEnglish, 3, "03/05/2014"},
      {kLangEnglish, 2, "03052014"},   {kLangFrench, 9, "05/03/2014"},
  };
  for (const DateStyleCase& c : cases) {
    const LocaleInfo& loc = LocaleFor(c.lang);
    EXPECT_EQ(FormatDate(d, c.style, loc), c.text) << c.lang << " style " << c.style;
    if (c.style <= 3) {
      auto back = ParseDate(c.text, c.style, loc);
      ASSERT_TRUE(back.has_value()) << c.text;
      EXPECT_EQ(back->day, 5);
      EXPECT_EQ(back->month, 3);
      EXPECT_EQ(back->year, 2014);
    }
  }
}

struct ParseCase {
  const char* text;
  int style;
  bool ok;
  int day, month, year;
};

TEST(LocaleTest, FrenchDateReader) {
  const LocaleInfo& fr = LocaleFor(kLangFrench);
  const ParseCase cases[] = {
      {"1/2/2003", -1, true, 1, 2, 2003},   {" 01/02/2003 ", 3, true, 1, 2, 2003},
      {"01/02/49", -1, true, 1, 2, 2049},   {"01/02/50", -1, true, 1, 2, 1950},
      {"01022003", -1, true, 1, 2, 2003},   {"0102203", -1, false, 0, 0, 0},
      {"01/02/2003x", -1, false, 0, 0, 0},  {"01-02-2003", -1, false, 0, 0, 0},
      {"01/02/2003", 0, false, 0, 0, 0},    {"01/02/2003", 7, false, 0, 0, 0},
      {"", -1, false, 0, 0, 0},             {"/02/2003", -1, false, 0, 0, 0},
      {"123/02/2003", -1, false, 0, 0, 0},  {"99/99/9999", -1, true, 99, 99, 9999},
  };
  for (const ParseCase& c : cases) {
    auto d = ParseDate(c.text, c.style, fr);
    ASSERT_EQ(d.has_value(), c.ok) << c.text << " style " << c.style;
    if (!c.ok) continue;
    EXPECT_EQ(d->day, c.day) << c.text;
    EXPECT_EQ(d->month, c.month) << c.text;
    EXPECT_EQ(d->year, c.year) << c.text;
  }
}

TEST(LocaleTest, TimeStylesAndReader) {
  const LocaleInfo& de = LocaleFor(kLangGerman);
  CivilTime t{9, 8, 7, 0};
  EXPECT_EQ(FormatTime(t, 1, de), "09:08");
  EXPECT_EQ(FormatTime(t, 2, de), "0908");
  EXPECT_EQ(FormatTime(t, 3, de), "09:08:07");
  EXPECT_EQ(FormatTime(t, 4, de), "090807");
  for (int style = 1; style <= 4; ++style) {
    auto back = ParseTime(FormatTime(t, style, de), style, de);
    ASSERT_TRUE(back.has_value()) << style;
    EXPECT_EQ(back->hour, 9);
    EXPECT_EQ(back->minute, 8);
    EXPECT_EQ(back->second, style >= 3 ? 7 : 0);
  }
  EXPECT_FALSE(ParseTime("24:00", -1, de).has_value());
  EXPECT_FALSE(ParseTime("12:60:00", -1, de).has_value());
  EXPECT_FALSE(ParseTime("12:00", 0, de).has_value());
  EXPECT_FALSE(ParseTime("12h00", -1, de).has_value());
  EXPECT_EQ(FormatDateTime(CivilDate{31, 12, 2014}, t, de), "31.12.2014 09:08:07");
}

TEST(LocaleTest, FollowsTheLibraryLanguageSetting) {
  uint16_t saved = ResourceLanguage();
  SetResourceLanguage(kLangGerman);
  EXPECT_EQ(CurrentLocale().lang_id, kLangGerman);
  SetResourceLanguage(kLangEnglish);
  EXPECT_EQ(CurrentLocale().date_order, DateOrder::kMonthDayYear);
  SetResourceLanguage(kLangFrench);
  EXPECT_EQ(CurrentLocale().date_separator, '/');
  EXPECT_EQ(LocaleFor(3082).lang_id, kLangFrench) << "other languages read as French";
  SetResourceLanguage(saved);
}

}  // namespace
}  // namespace tavelnor
