// Exchange slots read into printable values.
#include "browse/exchange_values.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "browse/text_codec.h"
#include "tavelnor/zavl.h"

namespace tavelnor::tool {
namespace {

constexpr int32_t kDayOffset = 1721425;         // Julian Day Number of day 0
constexpr int64_t kDateTimeEpochJdn = 2415019;  // 30/12/1899
constexpr int32_t kLastDayNumber = 3652059;     // 31/12/9999

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t ReadI32(const uint8_t* p) { return static_cast<int32_t>(ReadU32(p)); }
int16_t ReadI16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

std::string Hex(const uint8_t* p, size_t n) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 15];
  }
  return out;
}

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string IsoOf(int day, int month, int year) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return buf;
}

// The text of a zero-terminated slot.
std::string SlotText(const uint8_t* slot, size_t size) {
  const void* end = std::memchr(slot, 0, size);
  const size_t n = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - slot) : size;
  return std::string(reinterpret_cast<const char*>(slot), n);
}

// The contents of a memory block slot; empty when it holds none.
std::string BlockBytes(const uint8_t* slot, size_t size) {
  if (size < 4 + sizeof(void*)) return {};
  const uint32_t length = ReadU32(slot);
  const uint8_t* block = nullptr;
  std::memcpy(&block, slot + 4, sizeof block);
  if (length == 0 || block == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(block), length);
}

}  // namespace

bool DayNumberToDate(int32_t day_number, int* day, int* month, int* year) {
  if (day_number < 1 || day_number > kLastDayNumber) return false;
  // Gregorian calendar from the Julian Day Number (Fliegel and Van Flandern).
  int64_t l = static_cast<int64_t>(day_number) + kDayOffset + 68569;
  const int64_t n = 4 * l / 146097;
  l = l - (146097 * n + 3) / 4;
  const int64_t i = 4000 * (l + 1) / 1461001;
  l = l - 1461 * i / 4 + 31;
  const int64_t j = 80 * l / 2447;
  *day = static_cast<int>(l - 2447 * j / 80);
  l = j / 11;
  *month = static_cast<int>(j + 2 - 12 * l);
  *year = static_cast<int>(100 * (n - 49) + i + l);
  return true;
}

std::string FormatDate(int32_t day_number) {
  if (day_number == 0) return {};
  int d = 0, m = 0, y = 0;
  if (!DayNumberToDate(day_number, &d, &m, &y)) return "#" + std::to_string(day_number);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, m, y);
  return buf;
}

std::string FormatTime(int32_t milliseconds) {
  const int64_t seconds = milliseconds < 0 ? 0 : milliseconds / 1000;
  return TwoDigits(static_cast<int>(seconds / 3600)) + ":" +
         TwoDigits(static_cast<int>(seconds / 60 % 60)) + ":" +
         TwoDigits(static_cast<int>(seconds % 60));
}

bool FormatDateTime(double days, std::string* text, std::string* iso) {
  if (days == 0.0 || !std::isfinite(days) || std::fabs(days) > 3e6) return false;
  // The whole days carry the sign; the fraction is the time of day either way.
  const double whole = std::trunc(days);
  int64_t seconds = std::llround(std::fabs(days - whole) * 86400.0);
  int64_t day_index = static_cast<int64_t>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    day_index += days < 0 ? -1 : 1;
  }
  const int64_t day_number = day_index + kDateTimeEpochJdn - kDayOffset;
  int d = 0, m = 0, y = 0;
  if (day_number < 1 || !DayNumberToDate(static_cast<int32_t>(day_number), &d, &m, &y)) return false;
  const std::string time = FormatTime(static_cast<int32_t>(seconds * 1000));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d ", d, m, y);
  *text = buf + time;
  *iso = IsoOf(d, m, y) + " " + time;
  return true;
}

std::string FormatAmount(double value, int32_t precision) {
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
  char buf[64];
  if (precision > 0) {
    std::snprintf(buf, sizeof buf, "%.*f", precision > 15 ? 15 : precision, value);
  } else {
    // The shortest of the usual forms that reads back to the same value.
    for (int digits = 1; digits <= 17; ++digits) {
      std::snprintf(buf, sizeof buf, "%.*g", digits, value);
      if (std::strtod(buf, nullptr) == value) break;
    }
  }
  std::string out = buf;
  if (!out.empty() && out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) {
    out.erase(0, 1);  // no "-0.00"
  }
  return out;
}

std::string FormatGuid(const uint8_t* b) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-", ReadU32(b),
                static_cast<unsigned>(b[4] | (b[5] << 8)), static_cast<unsigned>(b[6] | (b[7] << 8)));
  return buf + Hex(b + 8, 2) + "-" + Hex(b + 10, 6);
}

Cell DecodeSlot(const Column& column, const uint8_t* slot) {
  Cell cell;
  const uint32_t size = column.size;
  switch (column.type) {
    case ZAVL_FT_STRING:
      cell.kind = CellKind::kText;
      cell.text = Cp1252ToUtf8(SlotText(slot, size));
      break;
    case ZAVL_FT_FIXEDCHAR:
      cell.kind = CellKind::kText;
      if (size >= 1 && slot[0] != 0) cell.text = Cp1252ToUtf8(std::string(1, static_cast<char>(slot[0])));
      break;
    case ZAVL_FT_SMALLINT:
      if (size < 2) break;
      cell.kind = CellKind::kInteger;
      cell.integer = ReadI16(slot);
      cell.text = std::to_string(cell.integer);
      break;
    case ZAVL_FT_INTEGER:
      if (size < 4) break;
      cell.kind = CellKind::kInteger;
      cell.integer = ReadI32(slot);
      cell.text = std::to_string(cell.integer);
      break;
    case ZAVL_FT_BOOLEAN:
      if (size < 1) break;
      cell.kind = CellKind::kBool;
      cell.integer = slot[0] != 0 ? 1 : 0;
      cell.text = slot[0] != 0 ? "true" : "false";
      break;
    case ZAVL_FT_FLOAT:
      if (size < 8) break;
      cell.kind = CellKind::kReal;
      std::memcpy(&cell.real, slot, 8);
      cell.text = FormatAmount(cell.real, column.precision);
      break;
    case ZAVL_FT_DATE: {
      if (size < 4) break;
      const int32_t day_number = ReadI32(slot);
      int d = 0, m = 0, y = 0;
      if (day_number == 0) break;
      cell.kind = CellKind::kDate;
      cell.integer = day_number;
      cell.text = FormatDate(day_number);
      cell.iso = DayNumberToDate(day_number, &d, &m, &y) ? IsoOf(d, m, y) : cell.text;
      break;
    }
    case ZAVL_FT_TIME:
      if (size < 4) break;
      cell.kind = CellKind::kTime;
      cell.integer = ReadI32(slot);
      cell.text = cell.iso = FormatTime(static_cast<int32_t>(cell.integer));
      break;
    case ZAVL_FT_DATETIME:
      if (size < 8) break;
      std::memcpy(&cell.real, slot, 8);
      if (FormatDateTime(cell.real, &cell.text, &cell.iso)) cell.kind = CellKind::kDateTime;
      break;
    case ZAVL_FT_BYTES:
      cell.kind = CellKind::kText;
      cell.bytes.assign(reinterpret_cast<const char*>(slot), size);
      cell.text = Hex(slot, size);
      break;
    case ZAVL_FT_GUID:
      if (size < 16) break;
      cell.kind = CellKind::kText;
      cell.text = FormatGuid(slot);
      break;
    case ZAVL_FT_MEMO: {
      cell.kind = CellKind::kText;
      std::string bytes = BlockBytes(slot, size);
      while (!bytes.empty() && bytes.back() == 0) bytes.pop_back();
      cell.text = Cp1252ToUtf8(bytes);
      break;
    }
    case ZAVL_FT_BLOB:
    case ZAVL_FT_GRAPHIC:
      cell.bytes = BlockBytes(slot, size);
      if (cell.bytes.empty()) break;
      cell.kind = CellKind::kBlock;
      cell.integer = static_cast<int64_t>(cell.bytes.size());
      cell.text = "<" + std::to_string(cell.bytes.size()) + " bytes>";
      break;
    default:
      break;
  }
  return cell;
}

const char* ExchangeTypeName(uint8_t type) {
  switch (type) {
    case ZAVL_FT_STRING: return "string";
    case ZAVL_FT_SMALLINT: return "smallint";
    case ZAVL_FT_INTEGER: return "integer";
    case ZAVL_FT_BOOLEAN: return "boolean";
    case ZAVL_FT_FLOAT: return "float";
    case ZAVL_FT_DATE: return "date";
    case ZAVL_FT_TIME: return "time";
    case ZAVL_FT_DATETIME: return "datetime";
    case ZAVL_FT_BYTES: return "bytes";
    case ZAVL_FT_BLOB: return "blob";
    case ZAVL_FT_MEMO: return "memo";
    case ZAVL_FT_GRAPHIC: return "graphic";
    case ZAVL_FT_FIXEDCHAR: return "char";
    case ZAVL_FT_GUID: return "guid";
    default: return "none";
  }
}

const char* TypeCodeName(int code) {
  switch (code) {
    case 0: return "ZSTRING";
    case 1: return "LONG";
    case 2: return "DOUBLE";
    case 4: return "DATE";
    case 5: return "TIME";
    case 6: return "OLDBOOL";
    case 7: return "STR";
    case 9: return "AUTRE";
    case 12: return "DECIMAL32";
    case 13: return "INT8";
    case 14: return "UINT8";
    case 15: return "INT16";
    case 16: return "UINT16";
    case 18: return "UINT32";
    case 19: return "BOOL";
    case 20: return "DECIMAL64";
    case 21: return "CHARACTER";
    case 22: return "INT";
    case 23: return "FLOAT";
    case 28: return "TIMESTAMP";
    case 29: return "CURRENCY";
    case 30: return "GUID";
    case 33: return "BLOBTEXT";
    case 34: return "BLOBRICHTEXT";
    case 35: return "BLOBIMAGE";
    default: return "";
  }
}

const char* SqlTypeOf(uint8_t type) {
  switch (type) {
    case ZAVL_FT_SMALLINT:
    case ZAVL_FT_INTEGER:
    case ZAVL_FT_BOOLEAN: return "INTEGER";
    case ZAVL_FT_FLOAT: return "REAL";
    case ZAVL_FT_BYTES:
    case ZAVL_FT_BLOB:
    case ZAVL_FT_GRAPHIC: return "BLOB";
    default: return "TEXT";
  }
}

}  // namespace tavelnor::tool
