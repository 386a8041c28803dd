// The values of a record in the exchange layout, read slot by slot and
// turned into what the browsing commands print: dates as day/month/year,
// times as hh:mm:ss, amounts with their decimals, memos as text, blobs as
// their size, GUIDs in their usual text form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavelnor::tool {

// One slot of a table's exchange layout, as the table's field list reports
// it in exchange mode. Texts are UTF-8.
struct Column {
  std::string name;   // unique in the layout: array elements get "[1]", "[2]"...
  std::string field;  // the field's own name, shared by the elements of an array
  int32_t element = 0;  // 1, 2... for the elements of an array, else 0
  uint8_t type = 0;    // ZAVL_FT_*
  uint32_t size = 0;   // slot size in bytes
  uint32_t offset = 0; // from the start of the exchange buffer
  int32_t precision = 0;
  std::string display_name;
  std::string category;
};

enum class CellKind : uint8_t {
  kEmpty,     // an empty date, time stamp or blob
  kInteger,   // integers and fixed characters' codes
  kReal,      // floating values and amounts
  kBool,
  kText,      // texts, memos, fixed characters, GUIDs and bytes shown as text
  kDate,
  kTime,
  kDateTime,
  kBlock,     // a blob or a picture: `bytes` holds it, `text` its size note
};

struct Cell {
  CellKind kind = CellKind::kEmpty;
  std::string text;  // what is printed (UTF-8)
  std::string iso;   // dates and times: ISO 8601 text
  int64_t integer = 0;
  double real = 0;
  std::string bytes;  // block contents and byte slots
};

// The value of slot `column` at `slot` (column.size bytes).
Cell DecodeSlot(const Column& column, const uint8_t* slot);

// Day numbers count 01/01/0001 as day 1 (the Julian Day Number minus
// 1721425). False for day numbers below 1 or past 31/12/9999.
bool DayNumberToDate(int32_t day_number, int* day, int* month, int* year);
// "dd/mm/yyyy"; "" for 0; "#N" for a day number outside the calendar.
std::string FormatDate(int32_t day_number);
// "hh:mm:ss" from milliseconds since midnight.
std::string FormatTime(int32_t milliseconds);
// Days since 30/12/1899 with the time of day as the fraction:
// "dd/mm/yyyy hh:mm:ss" and its ISO form; false for 0 (empty) or out of range.
bool FormatDateTime(double days, std::string* text, std::string* iso);
// A floating value with `precision` decimals; the shortest exact form when
// the precision is 0.
std::string FormatAmount(double value, int32_t precision);
// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" from 16 bytes in the Windows order
// (three little-endian words, then eight bytes).
std::string FormatGuid(const uint8_t* bytes);

// A short name of an exchange type ("string", "integer", "date"...).
const char* ExchangeTypeName(uint8_t type);
// A short name of a stored type code ("ZSTRING", "LONG"...), "" when unknown.
const char* TypeCodeName(int code);

// The column type of an exchange type in an SQLite table.
const char* SqlTypeOf(uint8_t type);

}  // namespace tavelnor::tool
