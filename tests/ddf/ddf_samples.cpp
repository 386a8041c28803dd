// Sample tables and their expected texts (see ddf_samples.h).
#include "ddf/ddf_samples.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "btrieve/file_spec.h"
#include "ddf/ddf_values.h"

namespace tavelnor::ddf::test {
namespace {

using Row = std::vector<uint8_t>;
namespace chr = std::chrono;

uint64_t Mix(uint32_t i, size_t salt) {
  uint64_t z = (uint64_t{i} << 16 ^ salt) + 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

void PutLE(Row* r, size_t at, uint64_t v, size_t n) {
  for (size_t k = 0; k < n; ++k) (*r)[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

template <typename T>
std::string Shortest(T x) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

std::string Fmt(const char* format, unsigned a, unsigned b, unsigned c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, a, b, c);
  return buf;
}

std::string Date(int64_t days_from_year_1) {
  const chr::sys_days d = chr::sys_days(chr::year(1) / 1 / 1) + chr::days(days_from_year_1);
  const chr::year_month_day ymd(d);
  return Fmt("%04u-%02u-%02u", static_cast<unsigned>(static_cast<int>(ymd.year())),
             static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
}

// `n` with `scale` digits after the point.
std::string Scaled(bool negative, uint64_t n, unsigned scale) {
  uint64_t unit = 1;
  for (unsigned k = 0; k < scale; ++k) unit *= 10;
  std::string frac = std::to_string(n % unit);
  std::string s = (negative && n != 0 ? "-" : "") + std::to_string(n / unit);
  if (scale > 0) s += "." + std::string(scale - frac.size(), '0') + frac;
  return s;
}

std::string Digits(uint64_t n, size_t width) {
  std::string s = std::to_string(n);
  return std::string(width - s.size(), '0') + s;
}

// Binary floating point with the exponent last (bias 129, hidden bit).
void PutBfloat(Row* r, size_t at, double v, size_t n) {
  if (v == 0) {
    PutLE(r, at, 0, n);
    return;
  }
  int exponent;
  const double f = std::frexp(std::fabs(v), &exponent);  // f in [0.5, 1)
  const unsigned bits = static_cast<unsigned>(n * 8 - 8);
  auto mantissa = static_cast<uint64_t>(std::ldexp(f, static_cast<int>(bits)));
  mantissa &= ~(uint64_t{1} << (bits - 1));
  if (v < 0) mantissa |= uint64_t{1} << (bits - 1);
  PutLE(r, at, mantissa, n - 1);
  (*r)[at + n - 1] = static_cast<uint8_t>(exponent + 128);
}

std::string Put(const ColumnSpec& c, uint32_t i, size_t salt, Row* r) {
  const uint64_t m = Mix(i, salt);
  const size_t at = c.offset, n = c.size;
  const bool negative = (m >> 63) != 0;
  uint64_t limit = 1;
  for (size_t k = 0; k < 18 && k < n * 2; ++k) limit *= 10;
  switch (c.type) {
    case kDdfAutoIncrement:
      PutLE(r, at, i + 1, n);
      return std::to_string(i + 1);
    case kDdfInteger: {
      PutLE(r, at, m, n);
      if (n == 1) return std::to_string(static_cast<int8_t>(m));
      if (n == 2) return std::to_string(static_cast<int16_t>(m));
      if (n == 4) return std::to_string(static_cast<int32_t>(m));
      return std::to_string(static_cast<int64_t>(m));
    }
    case kDdfUnsignedBinary:
      PutLE(r, at, m, n);
      return std::to_string(n == 8 ? m : m & ((uint64_t{1} << (8 * n)) - 1));
    case kDdfFloat: {
      if (n == 4) {
        const float f = static_cast<float>(static_cast<int32_t>(m)) / 977.0f;
        uint32_t raw;
        std::memcpy(&raw, &f, 4);
        PutLE(r, at, raw, 4);
        return Shortest(f);
      }
      const double d = static_cast<double>(static_cast<int64_t>(m)) / 1e9;
      uint64_t raw;
      std::memcpy(&raw, &d, 8);
      PutLE(r, at, raw, 8);
      return Shortest(d);
    }
    case kDdfBfloat: {
      if (n == 4) {
        const double v = static_cast<double>(static_cast<int32_t>(m % (1u << 24)) - (1 << 23)) / 64.0;
        PutBfloat(r, at, v, 4);
        return Shortest(static_cast<float>(v));
      }
      const double v = std::ldexp(static_cast<double>(static_cast<int64_t>(m >> 11) - (int64_t{1} << 52)), -20);
      PutBfloat(r, at, v, 8);
      return Shortest(v);
    }
    case kDdfDate: {
      if (i % 50 == 7) return "";  // all zero: no date
      const auto days = static_cast<int64_t>(m % 3652059);
      const chr::year_month_day ymd(chr::sys_days(chr::year(1) / 1 / 1) + chr::days(days));
      (*r)[at] = static_cast<uint8_t>(static_cast<unsigned>(ymd.day()));
      (*r)[at + 1] = static_cast<uint8_t>(static_cast<unsigned>(ymd.month()));
      PutLE(r, at + 2, static_cast<uint64_t>(static_cast<int>(ymd.year())), 2);
      return Date(days);
    }
    case kDdfTime: {
      const unsigned h = m % 24, mi = (m >> 8) % 60, s = (m >> 16) % 60, hh = (m >> 24) % 100;
      (*r)[at] = static_cast<uint8_t>(hh), (*r)[at + 1] = static_cast<uint8_t>(s);
      (*r)[at + 2] = static_cast<uint8_t>(mi), (*r)[at + 3] = static_cast<uint8_t>(h);
      return Fmt("%02u:%02u:%02u", h, mi, s) + (hh ? "." + Digits(hh, 2) : "");
    }
    case kDdfTimestamp: {
      constexpr uint64_t kPerDay = 864000000000ULL;
      const uint64_t units = m % (3652059 * kPerDay);
      PutLE(r, at, units, 8);
      const uint64_t secs = units % kPerDay / 10000000;
      std::string frac = i % 3 == 0 ? "" : Digits(units % 10000000, 7);
      if (i % 3 == 0) PutLE(r, at, units - units % 10000000, 8);
      while (!frac.empty() && frac.back() == '0') frac.pop_back();
      return Date(static_cast<int64_t>(units / kPerDay)) + "T" +
             Fmt("%02u:%02u:%02u", unsigned(secs / 3600), unsigned(secs / 60 % 60), unsigned(secs % 60)) +
             (frac.empty() ? "" : "." + frac);
    }
    case kDdfDecimal:
    case kDdfMoney: {
      const size_t digits = n * 2 - 1;
      uint64_t limit_d = 1;
      for (size_t k = 0; k < digits; ++k) limit_d *= 10;
      const uint64_t v = i % 40 == 3 ? 0 : m % limit_d;
      const std::string s = Digits(v, digits) + "x";
      static const uint8_t kPlus[] = {0xC, 0xF, 0xA, 0xE}, kMinus[] = {0xD, 0xB};
      for (size_t k = 0; k < n; ++k) {
        const auto hi = static_cast<uint8_t>(s[2 * k] - '0');
        const uint8_t lo = k + 1 < n ? static_cast<uint8_t>(s[2 * k + 1] - '0')
                                     : (negative ? kMinus[i % 2] : kPlus[i % 4]);
        (*r)[at + k] = static_cast<uint8_t>(hi << 4 | lo);
      }
      return Scaled(negative, v, c.type == kDdfMoney ? 2 : c.decimals);
    }
    case kDdfCurrency: {
      PutLE(r, at, m, 8);
      const auto v = static_cast<int64_t>(m);
      return Scaled(v < 0, v < 0 ? 0 - m : m, 4);
    }
    case kDdfNumeric:
    case kDdfNumericSa:
    case kDdfNumericSts:
    case kDdfNumericSls:
    case kDdfNumericSlb:
    case kDdfNumericStb: {
      const bool overpunch = c.type == kDdfNumeric || c.type == kDdfNumericSa;
      const size_t digits = overpunch ? n : n - 1;
      uint64_t limit_d = 1;
      for (size_t k = 0; k < digits; ++k) limit_d *= 10;
      const uint64_t v = m % limit_d;
      std::string s = Digits(v, digits);
      if (c.type == kDdfNumeric) {
        const int last = s.back() - '0';
        s.back() = negative ? (last ? static_cast<char>('J' + last - 1) : '}')
                            : (i % 2 ? s.back() : last ? static_cast<char>('A' + last - 1) : '{');
      } else if (c.type == kDdfNumericSa) {
        if (negative) s.back() = static_cast<char>(s.back() + 0x40);
      } else if (c.type == kDdfNumericSts) {
        s += negative ? '-' : (i % 2 ? '+' : ' ');
      } else if (c.type == kDdfNumericStb) {
        s += negative ? '-' : ' ';
      } else {
        s.insert(s.begin(), negative ? '-' : c.type == kDdfNumericSls ? '+' : ' ');
      }
      std::memcpy(r->data() + at, s.data(), n);
      return Scaled(negative, v, c.decimals);
    }
    case kDdfLogical: {
      const uint64_t v = (m & 1) ? (m >> 8) % 255 + 1 : 0;
      PutLE(r, at, v, n);
      return v ? "true" : "false";
    }
    case kDdfBit: {
      const bool on = (m & 1) != 0;
      if (on) (*r)[at] = static_cast<uint8_t>((*r)[at] | (1u << c.decimals));
      return on ? "1" : "0";
    }
    case kDdfGuid: {
      PutLE(r, at, m, 8);
      PutLE(r, at + 8, Mix(i, salt + 1000), 8);
      char buf[40];
      const uint8_t* g = r->data() + at;
      std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                    static_cast<unsigned>(g[0] | g[1] << 8 | g[2] << 16 | static_cast<unsigned>(g[3]) << 24),
                    static_cast<unsigned>(g[4] | g[5] << 8), static_cast<unsigned>(g[6] | g[7] << 8), g[8], g[9],
                    g[10], g[11], g[12], g[13], g[14], g[15]);
      return buf;
    }
    default: {  // the text types: a name with a code page 866 letter
      std::string text = "\x8f" + std::to_string(i) + std::string(m % 5, 'a');
      const size_t room = c.type == kDdfNote || c.type == kDdfLvar ? 1 + m % 300
                          : c.type == kDdfString                   ? n
                                                                   : n - 1;
      if (c.type == kDdfNote || c.type == kDdfLvar) {
        while (text.size() < room) text += static_cast<char>('A' + text.size() % 26);
      }
      text.resize(std::min(text.size(), room));
      if (c.type == kDdfLvar) {
        r->resize(at + 2 + text.size());
        PutLE(r, at, text.size(), 2);
        std::memcpy(r->data() + at + 2, text.data(), text.size());
      } else if (c.type == kDdfNote) {
        r->resize(at + text.size());
        std::memcpy(r->data() + at, text.data(), text.size());
      } else if (c.type == kDdfLstring) {
        (*r)[at] = static_cast<uint8_t>(text.size());
        std::memcpy(r->data() + at + 1, text.data(), text.size());
      } else {
        if (c.type == kDdfString) std::memset(r->data() + at, ' ', n);
        std::memcpy(r->data() + at, text.data(), text.size());
      }
      return text;
    }
  }
}

}  // namespace

std::vector<ColumnSpec> EveryTypeColumns(uint16_t* record_length) {
  // clang-format off
  std::vector<ColumnSpec> cols = {
      {"Id", kDdfAutoIncrement, 4}, {"I1", kDdfInteger, 1}, {"I2", kDdfInteger, 2}, {"I4", kDdfInteger, 4},
      {"I8", kDdfInteger, 8}, {"U1", kDdfUnsignedBinary, 1}, {"U2", kDdfUnsignedBinary, 2},
      {"U4", kDdfUnsignedBinary, 4}, {"U8", kDdfUnsignedBinary, 8}, {"F4", kDdfFloat, 4}, {"F8", kDdfFloat, 8},
      {"B4", kDdfBfloat, 4}, {"B8", kDdfBfloat, 8}, {"Day", kDdfDate, 4}, {"Hour", kDdfTime, 4},
      {"Stamp", kDdfTimestamp, 8}, {"Dec", kDdfDecimal, 6, 2}, {"Dec0", kDdfDecimal, 3, 0},
      {"Money", kDdfMoney, 5, 2}, {"Num", kDdfNumeric, 8, 2}, {"NumSA", kDdfNumericSa, 7, 1},
      {"NumSTS", kDdfNumericSts, 8, 3}, {"NumSLS", kDdfNumericSls, 6, 0}, {"NumSLB", kDdfNumericSlb, 6, 2},
      {"NumSTB", kDdfNumericStb, 6, 4}, {"Cur", kDdfCurrency, 8}, {"Yes", kDdfLogical, 1},
      {"Yes2", kDdfLogical, 2}, {"Bit0", kDdfBit, 1, 0}, {"Bit3", kDdfBit, 1, 3}, {"Bit7", kDdfBit, 1, 7},
      {"Guid", kDdfGuid, 16}, {"Name", kDdfString, 12}, {"LName", kDdfLstring, 10}, {"ZName", kDdfZstring, 10},
  };
  // clang-format on
  uint16_t at = 0;
  for (size_t k = 0; k < cols.size(); ++k) {
    const bool shares = cols[k].type == kDdfBit && k > 0 && cols[k - 1].type == kDdfBit;
    if (shares) at = cols[k - 1].offset;
    cols[k].offset = at;
    at = static_cast<uint16_t>(at + cols[k].size);
  }
  *record_length = at;
  return cols;
}

Row SampleRecord(const std::vector<ColumnSpec>& columns, uint16_t record_length, uint32_t i,
                 std::vector<std::string>* texts) {
  Row r(record_length, 0);
  texts->clear();
  for (size_t k = 0; k < columns.size(); ++k) texts->push_back(Put(columns[k], i, k, &r));
  return r;
}

TableSpec EveryTypeTable(uint32_t records) {
  TableSpec t;
  t.name = "EveryType";
  t.location = "DATA\\EVERY.DAT";
  t.file = "DATA/every.dat";
  t.columns = EveryTypeColumns(&t.record_length);
  t.keys = {{{0}, 0, "ById"},
            {{32, 2, 13}, btrieve::kKeyDup, "ByNameNumberDay"},
            {{16, 25}, btrieve::kKeyDup | btrieve::kKeyModifiable, ""}};
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < records; ++i) t.records.push_back(SampleRecord(t.columns, t.record_length, i, &texts));
  return t;
}

TableSpec VariableTable(uint8_t type, uint32_t records) {
  TableSpec t;
  t.name = type == kDdfNote ? "Notes" : "Lvars";
  t.location = t.file = type == kDdfNote ? "NOTES.DAT" : "LVARS.DAT";
  t.variable = true;
  t.record_length = 4;
  t.columns = {{"Id", kDdfAutoIncrement, 4, 0, 0}, {"Text", type, 2000, 0, 4}};
  t.keys = {{{0}, 0, ""}};
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < records; ++i) t.records.push_back(SampleRecord(t.columns, t.record_length, i, &texts));
  return t;
}

std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>> FolderListing(const std::string& dir) {
  std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    out[e.path().string()] = {e.is_regular_file() ? e.file_size() : 0, e.last_write_time()};
  }
  return out;
}

}  // namespace tavelnor::ddf::test
