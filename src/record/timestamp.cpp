// ETimeStamp conversions.
#include "record/timestamp.h"

#include <algorithm>
#include <cmath>

#include "foundation/locale.h"
#include "record/local_clock.h"

namespace tavelnor::record {
namespace {

constexpr int32_t kDayNumberOfYearOne = 1721426;  // 01/01/0001

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

bool UnitsToTicks(int64_t amount, TimeUnit unit, int64_t* ticks) {
  static constexpr int64_t kPerUnit[] = {
      0,         1,           10000,        100000,          10000000,
      600000000, 36000000000, 864000000000, 315360000000000, 31556736000000000};
  int u = static_cast<int>(unit);
  if (u < 0 || u > 9) return false;
  if (u == 0) {
    *ticks = amount / 100;
    return true;
  }
  return !__builtin_mul_overflow(amount, kPerUnit[u], ticks);
}

int64_t TimeZone::OffsetAtUtc(int64_t utc_seconds) const {
  switch (kind_) {
    case Kind::kUtc:
      return 0;
    case Kind::kFixed:
      return -static_cast<int64_t>(bias_minutes_) * 60;
    default:
      return LocalOffsetSeconds(utc_seconds);
  }
}

int64_t TimeZone::OffsetAtLocal(int64_t local_seconds) const {
  if (kind_ != Kind::kLocal) return OffsetAtUtc(local_seconds);
  int64_t guess = LocalOffsetSeconds(local_seconds);
  return LocalOffsetSeconds(local_seconds - guess);
}

ETimeStamp ETimeStamp::FromBytes(const uint8_t* bytes) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | bytes[i];
  return ETimeStamp(static_cast<int64_t>(v));
}

void ETimeStamp::ToBytes(uint8_t* bytes) const {
  uint64_t v = static_cast<uint64_t>(ticks_);
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
}

ETimeStamp ETimeStamp::FromLocal(const sDate& date, const sTime& time, const TimeZone& zone) {
  if (!date.IsValid()) return ETimeStamp();
  int64_t days = date.DayNumber() - kDayNumberOfYearOne;
  int64_t ticks = days * kTicksPerDay + time.hour * 36000000000LL + time.minute * 600000000LL +
                  time.second * kTicksPerSecond + time.hundredths * 100000LL;
  if (ticks == 0) return ETimeStamp(1);
  if (zone.HasBias()) {
    int64_t local_seconds = FloorDiv(ticks - kUnixEpochTicks, kTicksPerSecond);
    ticks -= zone.OffsetAtLocal(local_seconds) * kTicksPerSecond;
  }
  return ETimeStamp(ticks);
}

void ETimeStamp::ToLocal(const TimeZone& zone, sDate* date, sTime* time) const {
  sDate d;
  sTime t;
  if (ticks_ != 0) {
    int64_t local = ticks_;
    if (zone.HasBias()) local += zone.OffsetAtUtc(ToTimeT()) * kTicksPerSecond;
    int64_t days = FloorDiv(local, kTicksPerDay);
    int64_t rem = local - days * kTicksPerDay;
    if (days >= 0 && days <= INT32_MAX - kDayNumberOfYearOne) {
      d = sDate::FromDayNumber(static_cast<int32_t>(days + kDayNumberOfYearOne));
      int64_t seconds = rem / kTicksPerSecond;
      t = sTime{static_cast<uint8_t>((rem % kTicksPerSecond) / 100000),
                static_cast<uint8_t>(seconds % 60), static_cast<uint8_t>(seconds / 60 % 60),
                static_cast<uint8_t>(seconds / 3600)};
    }
  }
  if (date) *date = d;
  if (time) *time = t;
}

int64_t ETimeStamp::ToTimeT() const {
  // Computed without overflow: both terms lie within the 64-bit range.
  return FloorDiv(ticks_, kTicksPerSecond) - kUnixEpochTicks / kTicksPerSecond;
}

ETimeStamp ETimeStamp::FromTimeT(int64_t seconds) {
  int64_t ticks;
  if (__builtin_mul_overflow(seconds, kTicksPerSecond, &ticks) ||
      __builtin_add_overflow(ticks, kUnixEpochTicks, &ticks)) {
    return ETimeStamp();
  }
  return ETimeStamp(ticks);
}

double ETimeStamp::ToOleDays(const TimeZone& zone) const {
  if (ticks_ == 0) return 0.0;
  int64_t offset = zone.HasBias() ? zone.OffsetAtUtc(ToTimeT()) * kTicksPerSecond : 0;
  // Long double keeps the tick precision of values far from the epoch.
  long double local = static_cast<long double>(ticks_) + offset - kOleEpochTicks;
  return static_cast<double>(local / kTicksPerDay);
}

ETimeStamp ETimeStamp::FromOleDays(double days, const TimeZone& zone) {
  // 01/01/0001 and 31/12/9999 relative to 30/12/1899.
  constexpr double kFirstDay = -693593.0;
  constexpr double kLastDay = 2958466.0;
  if (!(days >= kFirstDay && days < kLastDay) || days == 0.0) return ETimeStamp();
  long double local = static_cast<long double>(days) * kTicksPerDay + kOleEpochTicks;
  int64_t ticks = static_cast<int64_t>(std::llround(static_cast<double>(local)));
  if (zone.HasBias()) {
    int64_t local_seconds = FloorDiv(ticks - kUnixEpochTicks, kTicksPerSecond);
    ticks -= zone.OffsetAtLocal(local_seconds) * kTicksPerSecond;
  }
  return ETimeStamp(ticks == 0 ? 1 : ticks);
}

bool ETimeStamp::Add(int64_t amount, TimeUnit unit) {
  int64_t delta;
  int64_t result;
  if (!UnitsToTicks(amount, unit, &delta) || __builtin_add_overflow(ticks_, delta, &result)) {
    return false;
  }
  ticks_ = result;
  return true;
}

Chaine ETimeStamp::ToText(const TimeZone& zone) const {
  if (ticks_ == 0) return Chaine();
  sDate d;
  sTime t;
  ToLocal(zone, &d, &t);
  return Chaine(FormatDateTime(CivilDate{d.day, d.month, d.year},
                               CivilTime{t.hour, t.minute, t.second, t.hundredths},
                               CurrentLocale()));
}

bool ETimeStamp::FromText(std::string_view text, const TimeZone& zone) {
  ticks_ = 0;
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return true;
  text.remove_prefix(start);
  text = text.substr(0, text.find_last_not_of(' ') + 1);
  size_t space = text.find(' ');
  std::string_view date_text = text.substr(0, space);
  std::string_view time_text = space == std::string_view::npos ? "" : text.substr(space);
  time_text.remove_prefix(std::min(time_text.size(), time_text.find_first_not_of(' ')));
  sDate date;
  if (!date.FromText(date_text) || date.IsEmpty()) return false;
  sTime time;
  if (!time_text.empty() && !time.FromText(time_text) && !time.FromColonText(time_text)) {
    return false;
  }
  *this = FromLocal(date, time, zone);
  return true;
}

ETimeStamp ETimeStamp::Maximum() { return FromLocal(sDate::Maximum(), sTime{}, TimeZone::Local()); }

}  // namespace tavelnor::record
