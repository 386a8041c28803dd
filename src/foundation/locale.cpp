// Locale tables and the date and time formatters and readers.
#include "foundation/locale.h"

#include <array>
#include <cstdio>

#include "foundation/string_resources.h"

namespace tavelnor {
namespace {

constexpr std::string_view kFrenchTrue[] = {"Vrai", "Oui", "V", "O", "1"};
constexpr std::string_view kFrenchFalse[] = {"Faux", "Non", "F", "N", "0"};
constexpr std::string_view kGermanTrue[] = {"Wahr", "Ja", "W", "J", "1"};
constexpr std::string_view kGermanFalse[] = {"Falsch", "Nein", "F", "N", "0"};
constexpr std::string_view kEnglishTrue[] = {"True", "Yes", "T", "Y", "1"};
constexpr std::string_view kEnglishFalse[] = {"False", "No", "F", "N", "0"};

constexpr LocaleInfo kFrench{
    kLangFrench, DateOrder::kDayMonthYear, '/', ':', "Vrai", "Faux", kFrenchTrue, kFrenchFalse};
constexpr LocaleInfo kGerman{
    kLangGerman, DateOrder::kDayMonthYear, '.', ':', "Wahr", "Falsch", kGermanTrue, kGermanFalse};
constexpr LocaleInfo kEnglish{
    kLangEnglish, DateOrder::kMonthDayYear, '/', ':', "True", "False", kEnglishTrue, kEnglishFalse};

std::string Digits(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

// The three field values in the locale's order.
std::array<int, 3> Ordered(const CivilDate& d, DateOrder order) {
  switch (order) {
    case DateOrder::kMonthDayYear:
      return {d.month, d.day, d.year};
    case DateOrder::kYearMonthDay:
      return {d.year, d.month, d.day};
    default:
      return {d.day, d.month, d.year};
  }
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads 1 to `max_digits` digits (exactly `max_digits` when `exact`).
bool ReadNumber(std::string_view& s, int max_digits, bool exact, int* out) {
  int n = 0;
  int value = 0;
  while (n < max_digits && n < static_cast<int>(s.size()) && IsDigit(s[n])) {
    value = value * 10 + (s[n] - '0');
    ++n;
  }
  if (n == 0 || (exact && n != max_digits)) return false;
  s.remove_prefix(static_cast<size_t>(n));
  *out = value;
  return true;
}

bool ReadChar(std::string_view& s, char c) {
  if (s.empty() || s.front() != c) return false;
  s.remove_prefix(1);
  return true;
}

std::optional<CivilDate> ParseDateStyle(std::string_view s, int style, const LocaleInfo& loc) {
  int year_pos = loc.date_order == DateOrder::kYearMonthDay ? 0 : 2;
  std::array<int, 3> v{};
  for (int i = 0; i < 3; ++i) {
    bool is_year = i == year_pos;
    bool ok = false;
    if (style == kDateStyleDigits) {
      ok = ReadNumber(s, is_year ? 4 : 2, true, &v[i]);
    } else if (style == kDateStyleShortYear && is_year) {
      ok = ReadNumber(s, 2, true, &v[i]);
      if (ok) v[i] += v[i] < 50 ? 2000 : 1900;
    } else {
      ok = ReadNumber(s, is_year ? 4 : 2, is_year, &v[i]);
    }
    if (!ok) return std::nullopt;
    if (style != kDateStyleDigits && i < 2 && !ReadChar(s, loc.date_separator)) {
      return std::nullopt;
    }
  }
  if (!s.empty()) return std::nullopt;
  switch (loc.date_order) {
    case DateOrder::kMonthDayYear:
      return CivilDate{v[1], v[0], v[2]};
    case DateOrder::kYearMonthDay:
      return CivilDate{v[2], v[1], v[0]};
    default:
      return CivilDate{v[0], v[1], v[2]};
  }
}

std::optional<CivilTime> ParseTimeStyle(std::string_view s, int style, const LocaleInfo& loc) {
  bool with_sep = style == kTimeStyleHourMinute || style == kTimeStyleSeconds;
  bool with_seconds = style == kTimeStyleSeconds || style == kTimeStyleSecondsCompact;
  CivilTime t;
  if (!ReadNumber(s, 2, !with_sep, &t.hour)) return std::nullopt;
  if (with_sep && !ReadChar(s, loc.time_separator)) return std::nullopt;
  if (!ReadNumber(s, 2, true, &t.minute)) return std::nullopt;
  if (with_seconds) {
    if (with_sep && !ReadChar(s, loc.time_separator)) return std::nullopt;
    if (!ReadNumber(s, 2, true, &t.second)) return std::nullopt;
  }
  if (!s.empty() || t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
  return t;
}

}  // namespace

const LocaleInfo& LocaleFor(uint16_t lang_id) {
  if (lang_id == kLangGerman) return kGerman;
  if (lang_id == kLangEnglish) return kEnglish;
  return kFrench;
}

const LocaleInfo& CurrentLocale() { return LocaleFor(ResourceLanguage()); }

std::string FormatDate(const CivilDate& date, int style, const LocaleInfo& locale) {
  std::array<int, 3> v = Ordered(date, locale.date_order);
  int year_pos = locale.date_order == DateOrder::kYearMonthDay ? 0 : 2;
  std::string out;
  for (int i = 0; i < 3; ++i) {
    bool is_year = i == year_pos;
    int value = v[i];
    int width = 2;
    if (is_year) {
      if (style == kDateStyleShortYear) {
        value = value % 100;
      } else {
        width = 4;
      }
    }
    out += Digits(value, width);
    if (i < 2 && style != kDateStyleDigits) out += locale.date_separator;
  }
  return out;
}

std::optional<CivilDate> ParseDate(std::string_view text, int style, const LocaleInfo& locale) {
  text = TrimSpaces(text);
  if (style == -1) {
    for (int s : {kDateStyleLong, kDateStyleShortYear, kDateStyleDigits}) {
      if (auto d = ParseDateStyle(text, s, locale)) return d;
    }
    return std::nullopt;
  }
  if (style < kDateStyleShortYear || style > kDateStyleLong) return std::nullopt;
  return ParseDateStyle(text, style, locale);
}

std::string FormatTime(const CivilTime& time, int style, const LocaleInfo& locale) {
  bool with_sep = style != kTimeStyleHourMinuteCompact && style != kTimeStyleSecondsCompact;
  bool with_seconds = style != kTimeStyleHourMinute && style != kTimeStyleHourMinuteCompact;
  std::string out = Digits(time.hour, 2);
  if (with_sep) out += locale.time_separator;
  out += Digits(time.minute, 2);
  if (with_seconds) {
    if (with_sep) out += locale.time_separator;
    out += Digits(time.second, 2);
  }
  return out;
}

std::optional<CivilTime> ParseTime(std::string_view text, int style, const LocaleInfo& locale) {
  text = TrimSpaces(text);
  if (style == -1) {
    for (int s : {kTimeStyleSeconds, kTimeStyleHourMinute, kTimeStyleSecondsCompact,
                  kTimeStyleHourMinuteCompact}) {
      if (auto t = ParseTimeStyle(text, s, locale)) return t;
    }
    return std::nullopt;
  }
  if (style < kTimeStyleHourMinute || style > kTimeStyleSecondsCompact) return std::nullopt;
  return ParseTimeStyle(text, style, locale);
}

std::string FormatDateTime(const CivilDate& date, const CivilTime& time, const LocaleInfo& locale) {
  return FormatDate(date, kDateStyleLong, locale) + ' ' +
         FormatTime(time, kTimeStyleSeconds, locale);
}

}  // namespace tavelnor
