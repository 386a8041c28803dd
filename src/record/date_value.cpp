// sDate arithmetic and text.
#include "record/date_value.h"

#include "foundation/locale.h"
#include "record/date_settings.h"
#include "record/local_clock.h"

namespace tavelnor::record {
namespace {

constexpr int kCommonDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kLeapDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool FitsDate(int64_t day, int64_t month, int64_t year) {
  return day >= 0 && day <= 255 && month >= 0 && month <= 255 && year >= 0 && year <= 0xFFFF;
}

}  // namespace

bool IsLeapYear(int32_t year) { return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0); }

int DaysInMonth(int32_t year, int32_t month) {
  if (month < 1 || month > 12) return 0;
  return (IsLeapYear(year) ? kLeapDays : kCommonDays)[month - 1];
}

void sDate::ToBytes(uint8_t* bytes) const {
  bytes[0] = day;
  bytes[1] = month;
  bytes[2] = static_cast<uint8_t>(year);
  bytes[3] = static_cast<uint8_t>(year >> 8);
}

sDate sDate::FromPacked(uint32_t packed) {
  return sDate{static_cast<uint8_t>(packed), static_cast<uint8_t>(packed >> 8),
               static_cast<uint16_t>(packed >> 16)};
}

bool sDate::IsValid() const {
  return year != 0 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

sDate sDate::FromDayNumber(int32_t day_number) {
  // 1721426 is 01/01/0001; earlier numbers have no year in the byte form.
  if (day_number < 1721426) return sDate{};
  int64_t a = static_cast<int64_t>(day_number) + 32044;
  int64_t b = (4 * a + 3) / 146097;
  int64_t c = a - 146097 * b / 4;
  int64_t d = (4 * c + 3) / 1461;
  int64_t e = c - 1461 * d / 4;
  int64_t m = (5 * e + 2) / 153;
  int64_t day = e - (153 * m + 2) / 5 + 1;
  int64_t month = m + 3 - 12 * (m / 10);
  int64_t year = 100 * b + d - 4800 + m / 10;
  if (!FitsDate(day, month, year)) return sDate{};
  return sDate{static_cast<uint8_t>(day), static_cast<uint8_t>(month), static_cast<uint16_t>(year)};
}

sDate sDate::Add(int32_t years, int32_t months, int32_t days) const {
  if (IsEmpty() || month < 1 || month > 12) return *this;
  int64_t y = static_cast<int64_t>(year) + years;
  int64_t total_months = y * 12 + (month - 1) + months;
  int64_t ny = total_months >= 0 ? total_months / 12 : (total_months - 11) / 12;
  int64_t nm = total_months - ny * 12 + 1;
  if (ny < 1 || ny > 0xFFFF) return sDate{};
  int max_day = DaysInMonth(static_cast<int32_t>(ny), static_cast<int32_t>(nm));
  sDate stepped{static_cast<uint8_t>(day > max_day ? max_day : day), static_cast<uint8_t>(nm),
                static_cast<uint16_t>(ny)};
  if (days == 0) return stepped;
  int64_t n = static_cast<int64_t>(stepped.DayNumber()) + days;
  if (n < 1721426 || n > INT32_MAX) return sDate{};
  return FromDayNumber(static_cast<int32_t>(n));
}

sDate sDate::Today() {
  LocalDateTime now = LocalNow();
  if (!FitsDate(now.day, now.month, now.year)) return sDate{};
  return sDate{static_cast<uint8_t>(now.day), static_cast<uint8_t>(now.month),
               static_cast<uint16_t>(now.year)};
}

sDate sDate::Minimum() { return MinimumDateIsZero() ? sDate{} : sDate{1, 1, 1000}; }

Chaine sDate::ToText() const {
  if (IsEmpty()) return Chaine();
  return Chaine(FormatDate(CivilDate{day, month, year}, kDateStyleLong, CurrentLocale()));
}

bool sDate::FromText(std::string_view text, int style) {
  std::optional<CivilDate> read;
  if (style != 0) read = ParseDate(text, style, CurrentLocale());
  if (!read || !FitsDate(read->day, read->month, read->year)) {
    *this = sDate{};
    return text.empty();
  }
  *this = sDate{static_cast<uint8_t>(read->day), static_cast<uint8_t>(read->month),
                static_cast<uint16_t>(read->year)};
  return IsValid();
}

}  // namespace tavelnor::record
