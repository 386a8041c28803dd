// Decoding of dictionary-described fields (see ddf_values.h for the forms).
#include "ddf/ddf_values.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "ddf/ddf_exact.h"
#include "foundation/byte_reader.h"

namespace tavelnor::ddf {
namespace {

using Bytes = std::span<const uint8_t>;
using internal::Bad;
using internal::Exact;
using internal::DecodePacked;
using internal::DecodeNumeric;

uint64_t LoadLE(Bytes b) {
  uint64_t v = 0;
  for (size_t i = b.size(); i-- > 0;) v = (v << 8) | b[i];
  return v;
}

int64_t LoadSigned(Bytes b) {
  uint64_t v = LoadLE(b);
  const unsigned bits = static_cast<unsigned>(b.size() * 8);
  if (bits < 64 && (v >> (bits - 1)) != 0) v |= ~uint64_t{0} << bits;
  return static_cast<int64_t>(v);
}

template <typename T>
std::string Shortest(T x) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

DdfValue Real(double d, bool single) {
  DdfValue v;
  v.kind = ValueKind::kReal;
  v.d = d;
  v.text = single ? Shortest(static_cast<float>(d)) : Shortest(d);
  return v;
}

DdfValue Signed(int64_t i) {
  DdfValue v;
  v.kind = ValueKind::kSigned;
  v.i = i;
  v.text = std::to_string(i);
  return v;
}

DdfValue Text(Bytes b) {
  DdfValue v;
  v.text.assign(b.begin(), b.end());
  return v;
}

// Proleptic Gregorian days from 0001-01-01 and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 306;  // 0001-01-01 is day 0
}

void CivilFromDays(int64_t z, int* y, unsigned* m, unsigned* d) {
  z += 306;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (*m <= 2));
}

unsigned DaysInMonth(int y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

std::string Pad(unsigned v, int width) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

Result<DdfValue> DecodeDate(Bytes b) {
  const unsigned day = b[0], month = b[1];
  const int year = LoadLE16(b.data() + 2);
  DdfValue v;
  v.kind = ValueKind::kDate;
  if (day == 0 && month == 0 && year == 0) {
    v.empty = true;
    return v;
  }
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return Bad("DATE", "no such day " + std::to_string(year) + "-" + std::to_string(month) + "-" +
                           std::to_string(day));
  }
  v.i = DaysFromCivil(year, month, day);
  v.text = Pad(static_cast<unsigned>(year), 4) + "-" + Pad(month, 2) + "-" + Pad(day, 2);
  return v;
}

Result<DdfValue> DecodeTime(Bytes b) {
  const unsigned hundredths = b[0], second = b[1], minute = b[2], hour = b[3];
  if (hour > 23 || minute > 59 || second > 59 || hundredths > 99) {
    return Bad("TIME", "no such time " + std::to_string(hour) + ":" + std::to_string(minute) + ":" +
                           std::to_string(second) + "." + std::to_string(hundredths));
  }
  DdfValue v;
  v.kind = ValueKind::kTime;
  v.i = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 100 + hundredths;
  v.text = Pad(hour, 2) + ":" + Pad(minute, 2) + ":" + Pad(second, 2);
  if (hundredths != 0) v.text += "." + Pad(hundredths, 2);
  return v;
}

Result<DdfValue> DecodeTimestamp(Bytes b) {
  constexpr uint64_t kPerDay = 864000000000ULL;  // 100 ns units
  const uint64_t units = LoadLE(b);
  const uint64_t days = units / kPerDay;
  if (days > static_cast<uint64_t>(DaysFromCivil(9999, 12, 31))) {
    return Bad("TIMESTAMP", "beyond the year 9999");
  }
  int year;
  unsigned month, day;
  CivilFromDays(static_cast<int64_t>(days), &year, &month, &day);
  uint64_t rest = units % kPerDay;
  const unsigned fraction = static_cast<unsigned>(rest % 10000000);
  rest /= 10000000;
  DdfValue v;
  v.kind = ValueKind::kTimestamp;
  v.i = static_cast<int64_t>(units);
  v.text = Pad(static_cast<unsigned>(year), 4) + "-" + Pad(month, 2) + "-" + Pad(day, 2) + "T" +
           Pad(static_cast<unsigned>(rest / 3600), 2) + ":" + Pad(static_cast<unsigned>(rest / 60 % 60), 2) +
           ":" + Pad(static_cast<unsigned>(rest % 60), 2);
  if (fraction != 0) {
    std::string f = Pad(fraction, 7);
    f.erase(f.find_last_not_of('0') + 1);
    v.text += "." + f;
  }
  return v;
}

DdfValue DecodeBfloat(Bytes b) {
  const size_t n = b.size();
  const int exponent = b[n - 1];
  if (exponent == 0) return Real(0.0, n == 4);
  const bool negative = (b[n - 2] & 0x80) != 0;
  uint64_t mantissa = LoadLE(b.first(n - 1)) & ~(uint64_t{0x80} << ((n - 2) * 8));
  mantissa |= uint64_t{1} << ((n - 1) * 8 - 1);
  const int shift = exponent - 129 - static_cast<int>((n - 1) * 8 - 1);
  double d = std::ldexp(static_cast<double>(mantissa), shift);
  if (negative) d = -d;
  // The 4-byte form prints as a float when a float holds it exactly.
  const bool single = n == 4 && static_cast<double>(static_cast<float>(d)) == d;
  DdfValue v = Real(d, single);
  return v;
}

DdfValue Guid(Bytes b) {
  static const char kHex[] = "0123456789ABCDEF";
  static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  DdfValue v;
  v.kind = ValueKind::kGuid;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) v.text += '-';
    const uint8_t x = b[static_cast<size_t>(kOrder[i])];
    v.text += kHex[x >> 4];
    v.text += kHex[x & 0x0F];
  }
  return v;
}

}  // namespace

std::string_view DdfTypeName(uint8_t code) {
  switch (code) {
    case kDdfString: return "STRING";
    case kDdfInteger: return "INTEGER";
    case kDdfFloat: return "FLOAT";
    case kDdfDate: return "DATE";
    case kDdfTime: return "TIME";
    case kDdfDecimal: return "DECIMAL";
    case kDdfMoney: return "MONEY";
    case kDdfLogical: return "LOGICAL";
    case kDdfNumeric: return "NUMERIC";
    case kDdfBfloat: return "BFLOAT";
    case kDdfLstring: return "LSTRING";
    case kDdfZstring: return "ZSTRING";
    case kDdfNote: return "NOTE";
    case kDdfLvar: return "LVAR";
    case kDdfUnsignedBinary: return "UNSIGNED BINARY";
    case kDdfAutoIncrement: return "AUTOINCREMENT";
    case kDdfBit: return "BIT";
    case kDdfNumericSts: return "NUMERICSTS";
    case kDdfNumericSa: return "NUMERICSA";
    case kDdfCurrency: return "CURRENCY";
    case kDdfTimestamp: return "TIMESTAMP";
    case kDdfGuid: return "GUID";
    case kDdfNumericSlb: return "NUMERICSLB";
    case kDdfNumericSls: return "NUMERICSLS";
    case kDdfNumericStb: return "NUMERICSTB";
    default: return {};
  }
}

bool DdfTypeAccepts(uint8_t code, uint16_t size) {
  const bool word = size == 1 || size == 2 || size == 4 || size == 8;
  switch (code) {
    case kDdfInteger:
    case kDdfUnsignedBinary: return word;
    case kDdfAutoIncrement: return word && size != 1;
    case kDdfFloat:
    case kDdfBfloat: return size == 4 || size == 8;
    case kDdfDate:
    case kDdfTime: return size == 4;
    case kDdfLogical: return size == 1 || size == 2;
    case kDdfBit: return size == 1;
    case kDdfCurrency:
    case kDdfTimestamp: return size == 8;
    case kDdfGuid: return size == 16;
    case kDdfDecimal:
    case kDdfMoney:
    case kDdfNumeric:
    case kDdfNumericSa: return size >= 1 && size <= 64;
    case kDdfNumericSts:
    case kDdfNumericSlb:
    case kDdfNumericSls:
    case kDdfNumericStb: return size >= 2 && size <= 65;
    case kDdfLvar: return size >= 2;
    case kDdfString:
    case kDdfLstring:
    case kDdfZstring:
    case kDdfNote: return size >= 1;
    default: return false;
  }
}

Result<DdfValue> DecodeDdfValue(const DdfColumn& column, std::span<const uint8_t> bytes) {
  const uint8_t code = column.type;
  const std::string_view type = DdfTypeName(code);
  if (type.empty()) return Status::Unsupported("type code " + std::to_string(code) + " names no column type");
  if (!DdfTypeAccepts(code, column.size)) {
    return Bad(type, "a column of " + std::to_string(column.size) + " bytes");
  }
  const bool variable = code == kDdfNote || code == kDdfLvar;
  if (bytes.size() < (variable ? size_t{0} : column.size)) {
    return Bad(type, "the record ends " + std::to_string(column.size - bytes.size()) +
                         " bytes before the field does");
  }
  const Bytes b = variable ? bytes : bytes.first(column.size);
  switch (code) {
    case kDdfString: {
      size_t n = b.size();
      while (n > 0 && (b[n - 1] == ' ' || b[n - 1] == 0)) --n;
      return Text(b.first(n));
    }
    case kDdfLstring: {
      if (b[0] + size_t{1} > b.size()) return Bad(type, "count " + std::to_string(b[0]) + " beyond the field");
      return Text(b.subspan(1, b[0]));
    }
    case kDdfZstring: {
      const void* nul = std::memchr(b.data(), 0, b.size());
      return Text(b.first(nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - b.data()) : b.size()));
    }
    case kDdfNote: {
      size_t n = b.size();
      while (n > 0 && b[n - 1] == 0) --n;
      return Text(b.first(n));
    }
    case kDdfLvar: {
      if (b.size() < 2) return Bad(type, "no count");
      const size_t count = LoadLE16(b.data());
      if (count + 2 > b.size()) return Bad(type, "count " + std::to_string(count) + " beyond the record");
      return Text(b.subspan(2, count));
    }
    case kDdfInteger:
    case kDdfAutoIncrement: return Signed(LoadSigned(b));
    case kDdfUnsignedBinary: {
      DdfValue v;
      v.kind = ValueKind::kUnsigned;
      v.u = LoadLE(b);
      v.text = std::to_string(v.u);
      return v;
    }
    case kDdfFloat: {
      if (b.size() == 4) {
        float f;
        const uint32_t raw = LoadLE32(b.data());
        std::memcpy(&f, &raw, 4);
        return Real(f, true);
      }
      double d;
      const uint64_t raw = LoadLE(b);
      std::memcpy(&d, &raw, 8);
      return Real(d, false);
    }
    case kDdfBfloat: return DecodeBfloat(b);
    case kDdfDate: return DecodeDate(b);
    case kDdfTime: return DecodeTime(b);
    case kDdfTimestamp: return DecodeTimestamp(b);
    case kDdfDecimal: return DecodePacked(type, b, column.decimals);
    case kDdfMoney: return DecodePacked(type, b, 2);
    case kDdfNumeric:
    case kDdfNumericSa:
    case kDdfNumericSts:
    case kDdfNumericSlb:
    case kDdfNumericSls:
    case kDdfNumericStb: return DecodeNumeric(code, b, column.decimals);
    case kDdfCurrency: {
      const int64_t i = LoadSigned(b);
      const uint64_t magnitude = i < 0 ? 0 - static_cast<uint64_t>(i) : static_cast<uint64_t>(i);
      return Exact(std::to_string(magnitude), i < 0, 4);
    }
    case kDdfLogical:
    case kDdfBit: {
      if (code == kDdfBit && column.decimals > 7) return Bad(type, "bit " + std::to_string(column.decimals));
      DdfValue v;
      v.kind = ValueKind::kBool;
      v.b = code == kDdfBit ? ((b[0] >> column.decimals) & 1) != 0 : LoadLE(b) != 0;
      v.text = code == kDdfBit ? (v.b ? "1" : "0") : (v.b ? "true" : "false");
      return v;
    }
    case kDdfGuid: return Guid(b);
    default: return Status::Unsupported("type code " + std::to_string(code));
  }
}

}  // namespace tavelnor::ddf
