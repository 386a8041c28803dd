// Locale services: date and time text in French (the default), German and
// English, and the words for true and false.
//
// The locale follows the one language setting of the library
// (ResourceLanguage(): the TAVELNOR_LANG environment variable at first use,
// then SetResourceLanguage). The machine's C locale is never consulted.
//
// Date styles: 1 = two-digit year with separators, 2 = digits only (two-digit
// day and month, four-digit year, no separator), 3 = two-digit day and month,
// four-digit year with separators. Fields come in the locale's order.
// Time styles: 1 = hours and minutes with separator, 2 = the same without,
// 3 = with seconds and separator, 4 = with seconds without separator.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavelnor {

enum class DateOrder : uint8_t { kDayMonthYear, kMonthDayYear, kYearMonthDay };

struct LocaleInfo {
  uint16_t lang_id;
  DateOrder date_order;
  char date_separator;
  char time_separator;
  std::string_view true_word;
  std::string_view false_word;
  // Words read as true or false, compared without regard to case.
  std::span<const std::string_view> true_words;
  std::span<const std::string_view> false_words;
};

// The locale of a language id (French for any id other than German/English).
const LocaleInfo& LocaleFor(uint16_t lang_id);
// The locale of the current language setting.
const LocaleInfo& CurrentLocale();

// Calendar fields as text shows them; no validity check beyond the digits.
struct CivilDate {
  int day = 0;
  int month = 0;
  int year = 0;
};
struct CivilTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int hundredths = 0;
};

inline constexpr int kDateStyleShortYear = 1;
inline constexpr int kDateStyleDigits = 2;
inline constexpr int kDateStyleLong = 3;
inline constexpr int kTimeStyleHourMinute = 1;
inline constexpr int kTimeStyleHourMinuteCompact = 2;
inline constexpr int kTimeStyleSeconds = 3;
inline constexpr int kTimeStyleSecondsCompact = 4;

// Writes a date in `style` (1 to 3; other styles write style 3). Fields are
// written in decimal; values wider than the style's digits keep every digit.
std::string FormatDate(const CivilDate& date, int style, const LocaleInfo& locale);
// Reads a date written in `style`; style -1 tries 3, 1 and 2 in turn; style 0
// and unknown styles read nothing. Two-digit years below 50 are 20xx, others
// 19xx. Surrounding spaces are allowed. nullopt when the text does not match.
std::optional<CivilDate> ParseDate(std::string_view text, int style, const LocaleInfo& locale);

std::string FormatTime(const CivilTime& time, int style, const LocaleInfo& locale);
// Reads a time in `style` (1 to 4); style -1 tries 3, 1, 4 and 2. Hours above
// 23 and minutes or seconds above 59 do not match.
std::optional<CivilTime> ParseTime(std::string_view text, int style, const LocaleInfo& locale);

// Date in style 3, a space, time in style 3.
std::string FormatDateTime(const CivilDate& date, const CivilTime& time, const LocaleInfo& locale);

}  // namespace tavelnor
