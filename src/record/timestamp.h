// ETimeStamp: an instant as it lies in a record (type code 28).
//
// Byte form: 8 bytes, signed 64-bit little-endian count of 100-nanosecond
// ticks since 0001-01-01 00:00:00 (proleptic Gregorian), universal time.
// 0 is the empty time stamp; the instant 0001-01-01 00:00:00.00 itself is
// stored as 1 so that it is not empty.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/chaine.h"
#include "record/date_value.h"
#include "record/time_value.h"

namespace tavelnor::record {

// Units of the time-stamp arithmetic.
enum class TimeUnit : int {
  kNanosecond = 0,  // 1/100 tick
  kTick = 1,
  kMillisecond = 2,  // 10000 ticks
  kHundredth = 3,    // 100000
  kSecond = 4,       // 10^7
  kMinute = 5,       // 6 * 10^8
  kHour = 6,         // 3.6 * 10^10
  kDay = 7,          // 8.64 * 10^11
  kYear365 = 8,      // 365 days
  kYear36524 = 9,    // 365.24 days
};

// Ticks of `amount` units (nanoseconds are divided by 100, cut toward zero).
// False when the unit is unknown or the product does not fit 64 bits.
bool UnitsToTicks(int64_t amount, TimeUnit unit, int64_t* ticks);

// The zone a local date and time belong to.
class TimeZone {
 public:
  // Universal time: no bias at all.
  static TimeZone Utc() { return TimeZone(Kind::kUtc, 0); }
  // A fixed zone: universal time = local time + bias_minutes.
  static TimeZone Fixed(int32_t bias_minutes) { return TimeZone(Kind::kFixed, bias_minutes); }
  // The machine's zone, daylight saving included.
  static TimeZone Local() { return TimeZone(Kind::kLocal, 0); }

  // Local time minus universal time, in seconds, at a universal instant
  // (seconds since 1970-01-01).
  int64_t OffsetAtUtc(int64_t utc_seconds) const;
  // The same for a local instant.
  int64_t OffsetAtLocal(int64_t local_seconds) const;
  bool HasBias() const { return kind_ != Kind::kUtc; }

 private:
  enum class Kind { kUtc, kFixed, kLocal };
  TimeZone(Kind kind, int32_t bias) : kind_(kind), bias_minutes_(bias) {}
  Kind kind_;
  int32_t bias_minutes_;
};

class ETimeStamp {
 public:
  static constexpr int64_t kTicksPerSecond = 10000000;
  static constexpr int64_t kTicksPerDay = 864000000000;
  // Ticks at 1970-01-01 00:00:00 and at 1899-12-30 00:00:00.
  static constexpr int64_t kUnixEpochTicks = 621355968000000000;
  static constexpr int64_t kOleEpochTicks = 599264352000000000;

  ETimeStamp() = default;
  explicit ETimeStamp(int64_t ticks) : ticks_(ticks) {}

  static ETimeStamp FromBytes(const uint8_t* bytes);
  void ToBytes(uint8_t* bytes) const;
  int64_t Ticks() const { return ticks_; }
  bool IsEmpty() const { return ticks_ == 0; }

  // From a local date and time of `zone`. An empty or invalid date gives the
  // empty time stamp.
  static ETimeStamp FromLocal(const sDate& date, const sTime& time, const TimeZone& zone);
  // The local date and time of `zone`; both empty for the empty time stamp.
  void ToLocal(const TimeZone& zone, sDate* date, sTime* time) const;

  // Seconds since 1970-01-01 00:00:00 UTC, cut toward minus infinity (the
  // local time of any zone read back as that zone's time gives this count).
  int64_t ToTimeT() const;
  // 1970-01-01 00:00:00 UTC plus n seconds; the empty value when out of range.
  static ETimeStamp FromTimeT(int64_t seconds);
  // Days since 1899-12-30 00:00:00 in `zone`'s local time, day fraction after
  // the point; 0 for the empty time stamp.
  double ToOleDays(const TimeZone& zone = TimeZone::Local()) const;
  // The inverse, to the nearest tick; the empty value for NaN, 0 and values
  // outside years 1 to 9999.
  static ETimeStamp FromOleDays(double days, const TimeZone& zone = TimeZone::Local());

  // Adds `amount` units; false (value unchanged) on overflow or unknown unit.
  bool Add(int64_t amount, TimeUnit unit);

  // The locale's date-and-time text in `zone`'s local time; empty when empty.
  Chaine ToText(const TimeZone& zone = TimeZone::Local()) const;

  // Reads a date in the locale's formats, optionally followed by spaces and a
  // time (the locale's formats, or hours:minutes:seconds:hundredths), as a
  // local time of `zone`. An empty text gives the empty value and true; an
  // unreadable one or an invalid date the empty value and false.
  bool FromText(std::string_view text, const TimeZone& zone = TimeZone::Local());

  // Built from 31/12/2999 00:00:00.00 local time.
  static ETimeStamp Maximum();

  friend bool operator==(ETimeStamp a, ETimeStamp b) { return a.ticks_ == b.ticks_; }
  friend auto operator<=>(ETimeStamp a, ETimeStamp b) { return a.ticks_ <=> b.ticks_; }

 private:
  int64_t ticks_ = 0;
};

inline constexpr const char* kTimeStampEditMask = "99/99/9999 99:99";

}  // namespace tavelnor::record
