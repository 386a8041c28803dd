// The values of the columns a data dictionary (FIELD.DDF) describes: the text
// and, where one exists, a typed value of a field's bytes for every type code
// a dictionary can name. Pure functions over borrowed bytes; thread-safe.
//
//   code type             size      stored form -> text
//   0    STRING           1..       bytes; trailing blanks and NULs trimmed
//   1    INTEGER          1,2,4,8   little-endian two's complement
//   2    FLOAT            4,8       IEEE 754 -> shortest round-trip text
//   3    DATE             4         day, month, year (LE16) -> YYYY-MM-DD;
//                                   all zero -> empty (no date)
//   4    TIME             4         hundredths, second, minute, hour ->
//                                   HH:MM:SS[.hh]
//   5    DECIMAL          1..       packed BCD, two digits a byte, the sign in
//                                   the last nibble (0xD, 0xB negative; 0xF,
//                                   0xC, 0xA, 0xE positive); `decimals` digits
//                                   after the point
//   6    MONEY            1..       DECIMAL with two decimals
//   7    LOGICAL          1,2       zero -> false, else true
//   8    NUMERIC          1..       ASCII digits, the sign overpunched on the
//                                   last: '{' 'A'..'I' (or a plain digit)
//                                   positive, '}' 'J'..'R' negative
//   9    BFLOAT           4,8       binary floating point with the exponent in
//                                   the last byte (bias 129, hidden bit), sign
//                                   the top bit of the byte before it
//   10   LSTRING          2..       count byte, then the bytes
//   11   ZSTRING          1..       bytes up to the first NUL
//   12   NOTE             any       the rest of the record; trailing NULs
//                                   trimmed
//   13   LVAR             2..       LE16 count, then the bytes
//   14   UNSIGNED BINARY  1,2,4,8   little-endian unsigned
//   15   AUTOINCREMENT    2,4,8     as INTEGER
//   16   BIT              1         bit `decimals` (0..7) of the byte
//   17   NUMERICSTS       2..       digits then '+' or '-' (blank: +)
//   18   NUMERICSA        1..       digits, the last one 0x30..0x39 positive,
//                                   0x70..0x79 negative
//   19   CURRENCY         8         INTEGER with four decimals
//   20   TIMESTAMP        8         unsigned count of 100 ns units since
//                                   0001-01-01T00:00:00 -> ISO 8601, the
//                                   fraction only when not zero
//   27   GUID             16        LE32, LE16, LE16, 8 bytes ->
//                                   XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX
//   28   NUMERICSLB       2..       sign byte ('-'; '+' or blank) then digits
//   29   NUMERICSLS       2..       sign byte ('-' or '+') then digits
//   31   NUMERICSTB       2..       digits then sign byte ('-'; '+' or blank)
//
// In the ASCII forms leading blanks read as zeros; any other byte that is
// not a digit or the form's sign is refused.
// The DECIMAL, MONEY, NUMERIC family and CURRENCY are exact: their text is
// built digit by digit, never through binary floating point. Texts: a minus
// sign for negatives, no plus, no leading zeros before the point, exactly
// `decimals` digits after it; a negative zero reads as 0. BFLOAT of 8 bytes
// carries 56 significant bits; its double (and text) is rounded to 53.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "foundation/status.h"

namespace tavelnor::ddf {

// Type codes of FIELD.DDF (Xe$DataType). Codes 0..20 are also the record
// manager's extended key types.
enum DdfType : uint8_t {
  kDdfString = 0,
  kDdfInteger = 1,
  kDdfFloat = 2,
  kDdfDate = 3,
  kDdfTime = 4,
  kDdfDecimal = 5,
  kDdfMoney = 6,
  kDdfLogical = 7,
  kDdfNumeric = 8,
  kDdfBfloat = 9,
  kDdfLstring = 10,
  kDdfZstring = 11,
  kDdfNote = 12,
  kDdfLvar = 13,
  kDdfUnsignedBinary = 14,
  kDdfAutoIncrement = 15,
  kDdfBit = 16,
  kDdfNumericSts = 17,
  kDdfNumericSa = 18,
  kDdfCurrency = 19,
  kDdfTimestamp = 20,
  kDdfGuid = 27,
  kDdfNumericSlb = 28,
  kDdfNumericSls = 29,
  kDdfNumericStb = 31,
  kDdfConstraintName = 227,  // FIELD.DDF rows that name a constraint...
  kDdfIndexName = 255,       // ...or an index (Xe$Offset: its key number)
};

// The type's name ("DECIMAL"), or empty for a code no column has.
std::string_view DdfTypeName(uint8_t code);
// Whether a column of `code` may be `size` bytes long.
bool DdfTypeAccepts(uint8_t code, uint16_t size);

// What a decoded value holds besides its text.
enum class ValueKind { kText, kSigned, kUnsigned, kReal, kExact, kBool, kDate, kTime, kTimestamp, kGuid };

struct DdfValue {
  ValueKind kind = ValueKind::kText;
  // The value as text (for kText: the stored bytes, code page untouched).
  std::string text;
  int64_t i = 0;   // kSigned; kDate: days from 0001-01-01; kTime: hundredths
                   // of the day; kTimestamp: the 100 ns count (as stored)
  uint64_t u = 0;  // kUnsigned; kExact: the digits as an integer, when
                   // `exact_fits` (up to 19 digits)
  double d = 0;    // kReal
  bool b = false;  // kBool
  bool negative = false;    // kExact
  bool exact_fits = false;  // kExact
  uint8_t scale = 0;        // kExact: digits after the point
  bool empty = false;       // a DATE or TIMESTAMP of all zeros
};

struct DdfColumn {
  uint8_t type = kDdfString;
  uint16_t size = 0;
  uint8_t decimals = 0;  // BIT: the bit number
};

// Decodes one field. `bytes` are the field's bytes (for NOTE and LVAR, the
// rest of the record from the field's offset). Corrupt with the reason for a
// value that cannot be read (a digit nibble over 9, month 13, a size the type
// does not have); Unsupported for a type code no column has.
Result<DdfValue> DecodeDdfValue(const DdfColumn& column, std::span<const uint8_t> bytes);

// The type code of a type's name as DdfTypeName gives it (ASCII case
// ignored); -1 for a name no type has.
int DdfTypeFromName(std::string_view name);

// A column's type as a text that other files can carry: "DDF " + the
// type's name + " " + its decimals ("DDF DECIMAL 2", "DDF BIT 3").
std::string DdfTypeTag(const DdfColumn& column);
// The column such a text names, for a field of `size` bytes; false when the
// text is no such tag or names a type that size cannot have.
bool ParseDdfTypeTag(std::string_view tag, uint32_t size, DdfColumn* column);

// The digits after the point of the exact types (DECIMAL, MONEY, the
// NUMERIC family, CURRENCY); -1 for the others.
int ExactScale(const DdfColumn& column);

// The stored bytes of a value given as text, for the types the record
// layouts have no code of their own for: DECIMAL, MONEY and the NUMERIC
// family (an optional sign, digits, a "." or "," and at most `decimals`
// digits after it), BFLOAT (a number, rounded to the form's mantissa),
// LOGICAL and BIT (true/false, 1/0), LSTRING, NOTE and LVAR (the text's
// bytes, in the stored code page). The field's whole size comes back: texts
// padded with zeros, numbers with leading zeros; BIT gives its byte with
// only its own bit set or clear. InvalidArgument with the reason when the
// text does not read as such a value or does not fit; Unsupported for the
// other types.
Result<std::string> EncodeDdfValue(const DdfColumn& column, std::string_view text);

}  // namespace tavelnor::ddf
