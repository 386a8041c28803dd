// Numeric type codes of stored values and the derived text codes.
//
// The codes are stored in dictionary files and handed to callers, so their
// values are fixed. Six text bases also exist as an upper-case form
// (base + 128, text held in capitals) and an "SC" form (base + 136, compared
// without regard to case).
#pragma once

#include <cstdint>

namespace tavelnor::record {

enum TypeCode : uint16_t {
  TYPE_ZSTRING = 0,
  TYPE_LONG = 1,
  TYPE_DOUBLE = 2,
  TYPE_DATE = 4,
  TYPE_TIME = 5,
  TYPE_OLDBOOL = 6,
  TYPE_STR = 7,
  TYPE_AUTRE = 9,
  TYPE_AUTRE_NODESC = 10,  // a fixed char array with a handler but no descriptor
  TYPE_DECIMAL32 = 12,
  TYPE_INT8 = 13,
  TYPE_UINT8 = 14,
  TYPE_INT16 = 15,
  TYPE_UINT16 = 16,
  TYPE_UINT32 = 18,
  TYPE_BOOL = 19,
  TYPE_DECIMAL64 = 20,
  TYPE_CHARACTER = 21,
  TYPE_INT = 22,
  TYPE_FLOAT = 23,
  TYPE_CSTRING = 24,
  TYPE_CHAINE = 25,
  TYPE_INT64 = 26,
  TYPE_UINT64 = 27,
  TYPE_TIMESTAMP = 28,
  TYPE_CURRENCY = 29,
  TYPE_GUID = 30,
  TYPE_BLOB = 32,
  TYPE_BLOBTEXT = 33,
  TYPE_BLOBRICHTEXT = 34,
  TYPE_BLOBIMAGE = 35,
  TYPE_BLOBSOUND = 36,
  TYPE_BLOBVIDEO = 37,
  TYPE_UP_ZSTRING = 128,
  TYPE_UP_STR = 135,
  TYPE_NC_ZSTRING = 136,
  TYPE_UP_AUTRE = 137,
  TYPE_UP_AUTRE_NODESC = 138,
  TYPE_NC_STR = 143,
  TYPE_NC_AUTRE = 145,
  TYPE_NC_AUTRE_NODESC = 146,
  TYPE_UP_CHARACTER = 149,
  TYPE_UP_CHAINE = 153,
  TYPE_NC_CHARACTER = 157,
  TYPE_NC_CHAINE = 161,
};

inline constexpr uint16_t kUpperCaseOffset = 128;
inline constexpr uint16_t kNoCaseOffset = 136;

// True for the six text bases that have derived forms (0, 7, 9, 10, 21, 25).
constexpr bool HasDerivedTextForms(uint16_t base) {
  return base == 0 || base == 7 || base == 9 || base == 10 || base == 21 || base == 25;
}

// The derived code of `base`: upper-case wins over case-insensitive. Bases
// above 25 and bases without derived forms come back unchanged.
uint16_t MakeStringTypeCode(uint16_t base, bool no_case, bool upper_case);

// The base of a derived code, setting exactly one flag; every other code
// comes back unchanged with both flags cleared. The high byte of `code` is
// kept. Null flag pointers are allowed.
uint16_t SplitStringTypeCode(uint16_t code, bool* no_case, bool* upper_case);

}  // namespace tavelnor::record
