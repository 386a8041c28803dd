// sTime: a time of day as it lies in a record (type code 5).
//
// Byte form (4 bytes):
//   offset 0: hundredths of a second, 0 to 99
//   offset 1: second, 0 to 59
//   offset 2: minute, 0 to 59
//   offset 3: hour, 0 to 23
// Times compare as unsigned 32-bit little-endian numbers. All zero is
// midnight, which is also the empty time; the largest is 23:59:59.99.
#pragma once

#include <compare>
#include <cstdint>
#include <string_view>

#include "foundation/chaine.h"

namespace tavelnor::record {

struct sTime {
  uint8_t hundredths = 0;
  uint8_t second = 0;
  uint8_t minute = 0;
  uint8_t hour = 0;

  static sTime FromBytes(const uint8_t* bytes) {
    return sTime{bytes[0], bytes[1], bytes[2], bytes[3]};
  }
  void ToBytes(uint8_t* bytes) const;
  uint32_t Packed() const;
  static sTime FromPacked(uint32_t packed);

  bool IsEmpty() const { return Packed() == 0; }
  bool IsValid() const { return hundredths <= 99 && second <= 59 && minute <= 59 && hour <= 23; }
  static sTime Maximum() { return sTime{99, 59, 59, 23}; }

  // hour = (s / 3600) mod 24, minute = (s / 60) mod 60, second = s mod 60,
  // hundredths 0. Negative counts give midnight.
  static sTime FromSeconds(int64_t seconds);
  // Seconds since midnight, hundredths dropped.
  int32_t ToSeconds() const { return hour * 3600 + minute * 60 + second; }

  // Time style `style` of the current locale (3: hh:mm:ss).
  Chaine ToText(int style = 3) const;
  // Style -1: a whole number below 24 is that hour; else the locale's formats.
  // An unreadable text leaves the time zero and succeeds only when empty.
  bool FromText(std::string_view text, int style = -1);
  // Hour, minute, second and hundredths, one or two digits each, separated by
  // colons, filled in that order; missing trailing fields stay 0. False (and
  // midnight) for anything else or a field out of range.
  bool FromColonText(std::string_view text);

  friend bool operator==(const sTime& a, const sTime& b) { return a.Packed() == b.Packed(); }
  friend std::strong_ordering operator<=>(const sTime& a, const sTime& b) {
    return a.Packed() <=> b.Packed();
  }
};

inline constexpr const char* kTimeEditMask = "99:99";

}  // namespace tavelnor::record
