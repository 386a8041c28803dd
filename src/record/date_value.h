// sDate: a calendar date as it lies in a record (type code 4).
//
// Byte form (4 bytes):
//   offset 0, 1 byte : day, 1 to 31
//   offset 1, 1 byte : month, 1 to 12
//   offset 2, 2 bytes: year, unsigned little-endian
// All zero is the empty date. Read as one unsigned 32-bit little-endian
// number, dates order chronologically; comparisons use that number.
#pragma once

#include <compare>
#include <cstdint>

#include "foundation/chaine.h"

namespace tavelnor::record {

struct sDate {
  uint8_t day = 0;
  uint8_t month = 0;
  uint16_t year = 0;

  static sDate FromBytes(const uint8_t* bytes) {
    return sDate{bytes[0], bytes[1], static_cast<uint16_t>(bytes[2] | (bytes[3] << 8))};
  }
  void ToBytes(uint8_t* bytes) const;
  // The 32-bit number the bytes form (day | month << 8 | year << 16).
  uint32_t Packed() const { return day | (month << 8) | (static_cast<uint32_t>(year) << 16); }
  static sDate FromPacked(uint32_t packed);

  bool IsEmpty() const { return day == 0 && month == 0 && year == 0; }
  // Month 1 to 12, day within the month, year not 0.
  bool IsValid() const;

  // Julian Day Number (01/01/2000 is 2451545); 0 for the empty date.
  int32_t DayNumber() const {
    if (IsEmpty()) return 0;
    // Every intermediate fits 32 bits for years up to 65535.
    int32_t a = month < 3 ? 1 : 0;
    int32_t y = year - a;
    int32_t m = month < 3 ? month + 9 : month - 3;
    int32_t q = y / 100;
    int32_t r = y - 100 * q;
    return (146097 * q) / 4 + (1461 * r) / 4 + (153 * m + 2) / 5 + day + 1721119;
  }
  // The inverse; 0 (and any number giving a year outside 1 to 65535) gives
  // the empty date.
  static sDate FromDayNumber(int32_t day_number);

  // Adds years, then months (clamping the day to the month's length), then
  // days. A result outside years 1 to 65535 gives the empty date; the empty
  // date stays empty.
  sDate Add(int32_t years, int32_t months, int32_t days) const;

  // The local clock's date.
  static sDate Today();
  // The smallest date the buffers set: 01/01/1000, or the empty date when the
  // dictionary asked for it (see date_settings.h). The largest: 31/12/2999.
  static sDate Minimum();
  static sDate Maximum() { return sDate{31, 12, 2999}; }

  // Date style 3 of the current locale; empty text for the empty date.
  Chaine ToText() const;
  // Reads `text` with `style` (-1: the locale's formats; 0: nothing). An
  // unreadable text leaves the date empty and succeeds only when the text was
  // empty; a read text succeeds when the date is valid.
  bool FromText(std::string_view text, int style = -1);

  friend bool operator==(const sDate& a, const sDate& b) { return a.Packed() == b.Packed(); }
  friend std::strong_ordering operator<=>(const sDate& a, const sDate& b) {
    return a.Packed() <=> b.Packed();
  }
};

bool IsLeapYear(int32_t year);
// Days of `month` (1 to 12) in `year`; 0 for other months.
int DaysInMonth(int32_t year, int32_t month);

// The date form of the edit mask.
inline constexpr const char* kDateEditMask = "99/99/9999";

}  // namespace tavelnor::record
