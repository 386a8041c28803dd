// Stored field bytes into exact values.
#include "browse/record_decoder.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>

#include "browse/text_codec.h"
#include "data/bmp_image.h"
#include "record/blob_value.h"

namespace tavelnor::tool {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsPerDay = 86400;
// Julian Day Number of 0001-01-01.
constexpr int64_t kFirstDayJdn = 1721426;
// Ticks of 10000-01-01, the first instant past what ISO years of 4 digits hold.
constexpr int64_t kTicksEnd = 3652059LL * kSecondsPerDay * kTicksPerSecond;

uint64_t LoadUnsigned(const uint8_t* p, size_t width) {
  uint64_t v = 0;
  for (size_t i = width; i > 0; --i) v = (v << 8) | p[i - 1];
  return v;
}

int64_t LoadSigned(const uint8_t* p, size_t width) {
  const uint64_t v = LoadUnsigned(p, width);
  if (width >= 8) return static_cast<int64_t>(v);
  const uint64_t sign = uint64_t{1} << (8 * width - 1);
  return static_cast<int64_t>((v ^ sign) - sign);
}

void AppendDigits(std::string* out, int64_t value, int width) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(value));
  *out += buf;
}

// Gregorian date of a Julian Day Number (Fliegel and Van Flandern).
void CivilFromJdn(int64_t jdn, int64_t* year, int* month, int* day) {
  int64_t l = jdn + 68569;
  const int64_t n = 4 * l / 146097;
  l = l - (146097 * n + 3) / 4;
  const int64_t i = 4000 * (l + 1) / 1461001;
  l = l - 1461 * i / 4 + 31;
  const int64_t j = 80 * l / 2447;
  *day = static_cast<int>(l - 2447 * j / 80);
  l = j / 11;
  *month = static_cast<int>(j + 2 - 12 * l);
  *year = 100 * (n - 49) + i + l;
}

void AppendIsoDate(std::string* out, int64_t year, int month, int day) {
  AppendDigits(out, year, 4);
  *out += '-';
  AppendDigits(out, month, 2);
  *out += '-';
  AppendDigits(out, day, 2);
}

void SetNull(FieldValue* out) {
  out->type = ValueType::kNull;
  out->text.clear();
  out->bytes.clear();
}

void SetBytes(ValueType type, const uint8_t* p, size_t n, FieldValue* out) {
  out->type = type;
  out->text.clear();
  out->bytes.assign(reinterpret_cast<const char*>(p), n);
}

void SetInteger(int64_t v, FieldValue* out) {
  out->type = ValueType::kInteger;
  out->integer = v;
  out->text.clear();
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out->text.append(buf, r.ptr);
}

void DecodeText(const FieldModel& f, const uint8_t* p, FieldValue* out) {
  out->type = ValueType::kText;
  out->text.clear();
  const void* zero = std::memchr(p, 0, f.size);
  const size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : f.size;
  AppendStoredAsUtf8(std::string_view(reinterpret_cast<const char*>(p), n), &out->text);
}

// A value's shortest fixed form, padded to `decimals` decimals, without "-0".
template <typename Float>
std::string ShortestText(Float value, int32_t decimals) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  std::string text = r.ec == std::errc() ? std::string(buf, r.ptr) : std::to_string(value);
  const size_t dot = text.find('.');
  const size_t have = dot == std::string::npos ? 0 : text.size() - dot - 1;
  if (decimals > 0 && have < static_cast<size_t>(decimals)) {
    if (dot == std::string::npos) text += '.';
    text.append(static_cast<size_t>(decimals) - have, '0');
  }
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

void DecodeReal(const FieldModel& f, const uint8_t* p, FieldValue* out) {
  if (f.size != 4 && f.size != 8) return SetBytes(ValueType::kBytes, p, f.size, out);
  double v = 0;
  float single = 0;
  if (f.size == 4) {
    std::memcpy(&single, p, 4);
    v = single;
  } else {
    std::memcpy(&v, p, 8);
  }
  out->bytes.clear();
  if (!std::isfinite(v)) {
    out->type = ValueType::kText;
    out->text = std::isnan(v) ? "NaN" : (v > 0 ? "Inf" : "-Inf");
    return;
  }
  out->type = ValueType::kReal;
  out->real = v;
  // A single's own shortest form, not that of the double it widens to.
  out->text = f.size == 4 ? ShortestText(single, f.decimals) : ShortestText(v, f.decimals);
}

// A DDF column kept as bytes, through its DDF type. A value its type cannot
// read comes out as its bytes (see DdfFallback).
void DecodeDdf(const FieldModel& f, const uint8_t* p, size_t n, FieldValue* out) {
  auto value = ddf::DecodeDdfValue(*f.ddf, std::span<const uint8_t>(p, n));
  if (!value.ok()) return SetBytes(ValueType::kBytes, p, n, out);
  const ddf::DdfValue& v = *value;
  out->bytes.clear();
  out->text.clear();
  switch (v.kind) {
    case ddf::ValueKind::kText:
      out->type = ValueType::kText;
      AppendStoredAsUtf8(v.text, &out->text);
      return;
    case ddf::ValueKind::kSigned: return SetInteger(v.i, out);
    case ddf::ValueKind::kUnsigned:
      if (v.u <= static_cast<uint64_t>(INT64_MAX)) return SetInteger(static_cast<int64_t>(v.u), out);
      out->type = ValueType::kUnsigned;
      out->unsigned_integer = v.u;
      out->text = v.text;
      return;
    case ddf::ValueKind::kReal:
      out->type = ValueType::kReal;
      out->real = v.d;
      // The 4-byte form's own shortest text when a single holds it.
      out->text = f.size == 4 && static_cast<double>(static_cast<float>(v.d)) == v.d
                      ? ShortestText(static_cast<float>(v.d), f.decimals)
                      : ShortestText(v.d, f.decimals);
      return;
    case ddf::ValueKind::kExact:
      out->type = ValueType::kDecimal;
      out->text = v.text;
      return;
    case ddf::ValueKind::kBool:
      out->type = ValueType::kBool;
      out->integer = v.b ? 1 : 0;
      out->text = v.b ? "true" : "false";
      return;
    case ddf::ValueKind::kDate:
    case ddf::ValueKind::kTimestamp:
      if (v.empty) return SetNull(out);
      out->type = v.kind == ddf::ValueKind::kDate ? ValueType::kDate : ValueType::kTimestamp;
      out->text = v.kind == ddf::ValueKind::kDate ? v.text : v.text + "Z";
      return;
    case ddf::ValueKind::kTime:
      out->type = ValueType::kTime;
      out->text = v.text;
      return;
    case ddf::ValueKind::kGuid:
      out->type = ValueType::kGuid;
      out->text = v.text;
      return;
  }
  SetNull(out);
}

void DecodeDate(const uint8_t* p, FieldValue* out) {
  if (p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0) return SetNull(out);
  out->type = ValueType::kDate;
  out->text.clear();
  out->bytes.clear();
  // The stored parts as they are, even when they make no calendar date.
  AppendIsoDate(&out->text, p[2] | (p[3] << 8), p[1], p[0]);
}

void DecodeTime(const uint8_t* p, FieldValue* out) {
  out->type = ValueType::kTime;
  out->text.clear();
  out->bytes.clear();
  AppendDigits(&out->text, p[3], 2);
  out->text += ':';
  AppendDigits(&out->text, p[2], 2);
  out->text += ':';
  AppendDigits(&out->text, p[1], 2);
  if (p[0] != 0) {
    out->text += '.';
    AppendDigits(&out->text, p[0], 2);
  }
}

void DecodeTimestamp(const uint8_t* p, FieldValue* out) {
  const int64_t ticks = LoadSigned(p, 8);
  if (ticks == 0) return SetNull(out);
  out->bytes.clear();
  if (ticks < 0 || ticks >= kTicksEnd) {
    // Outside the years ISO 8601 writes with four digits: the tick count.
    out->type = ValueType::kText;
    out->text = std::to_string(ticks);
    return;
  }
  // 1 stands for the first instant itself.
  const int64_t t = ticks == 1 ? 0 : ticks;
  const int64_t seconds = t / kTicksPerSecond;
  const int64_t fraction = t % kTicksPerSecond;
  int64_t year = 0;
  int month = 0, day = 0;
  CivilFromJdn(seconds / kSecondsPerDay + kFirstDayJdn, &year, &month, &day);
  const int64_t in_day = seconds % kSecondsPerDay;
  out->type = ValueType::kTimestamp;
  out->text.clear();
  AppendIsoDate(&out->text, year, month, day);
  out->text += 'T';
  AppendDigits(&out->text, in_day / 3600, 2);
  out->text += ':';
  AppendDigits(&out->text, in_day / 60 % 60, 2);
  out->text += ':';
  AppendDigits(&out->text, in_day % 60, 2);
  if (fraction != 0) {
    std::string digits;
    AppendDigits(&digits, fraction, 7);
    while (digits.back() == '0') digits.pop_back();
    out->text += '.';
    out->text += digits;
  }
  out->text += 'Z';
}

void DecodeGuid(const uint8_t* p, FieldValue* out) {
  static const char* kDigits = "0123456789ABCDEF";
  out->type = ValueType::kGuid;
  out->text.clear();
  out->bytes.clear();
  // Three little-endian words, then eight bytes in order.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out->text += '-';
    out->text += kDigits[p[order[i]] >> 4];
    out->text += kDigits[p[order[i]] & 15];
  }
}

void DecodeVariablePart(const FieldModel& f, const uint8_t* p, FieldValue* out) {
  if (f.size < record::kVarPartSlotSize) return SetNull(out);
  const std::string_view bytes = record::ReadVarPart(p);
  if (f.kind == StoredKind::kMemo || f.kind == StoredKind::kRichText) {
    // Text up to its padding zeros; a zero inside stays (as U+0000).
    size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == '\0') --n;
    out->type = ValueType::kText;
    out->text.clear();
    out->bytes.clear();
    AppendStoredAsUtf8(bytes.substr(0, n), &out->text);
    return;
  }
  if (bytes.empty()) return SetNull(out);
  if (f.kind == StoredKind::kPicture) {
    if (auto bmp = data::DibToBmpFile(bytes)) {
      out->type = ValueType::kBlob;
      out->text.clear();
      out->bytes = std::move(*bmp);
      return;
    }
  }
  SetBytes(ValueType::kBlob, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

}  // namespace

std::string FixedPointText(int64_t stored, int32_t scale, int32_t decimals) {
  const bool negative = stored < 0;
  // The magnitude as unsigned, so that the lowest value has one too.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(stored) : static_cast<uint64_t>(stored);
  std::string digits = std::to_string(magnitude);
  const size_t s = static_cast<size_t>(scale > 0 ? scale : 0);
  if (digits.size() <= s) digits.insert(0, s + 1 - digits.size(), '0');
  std::string whole = digits.substr(0, digits.size() - s);
  std::string fraction = digits.substr(digits.size() - s);
  const size_t keep = static_cast<size_t>(decimals > 0 ? decimals : 0);
  while (fraction.size() > keep && fraction.back() == '0') fraction.pop_back();
  if (fraction.size() < keep) fraction.append(keep - fraction.size(), '0');
  std::string out = (negative && magnitude != 0 ? "-" : "") + whole;
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

std::string RealText(double value, int32_t decimals) {
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
  return ShortestText(value, decimals);
}

void DecodeField(const FieldModel& f, const uint8_t* record, size_t length, FieldValue* out) {
  if (f.tail) {
    // The variable part: what the record holds from the column on.
    if (!f.ddf || f.offset >= length) return SetNull(out);
    return DecodeDdf(f, record + f.offset, length - f.offset, out);
  }
  if (f.size == 0 || f.offset > length || length - f.offset < f.size) return SetNull(out);
  const uint8_t* p = record + f.offset;
  if (f.ddf) return DecodeDdf(f, p, f.size, out);
  switch (f.kind) {
    case StoredKind::kNone: return SetNull(out);
    case StoredKind::kText: return DecodeText(f, p, out);
    case StoredKind::kSigned:
      if (f.size == 1 || f.size == 2 || f.size == 4 || f.size == 8) {
        return SetInteger(LoadSigned(p, f.size), out);
      }
      return SetBytes(ValueType::kBytes, p, f.size, out);
    case StoredKind::kUnsigned:
      if (f.size == 1 || f.size == 2 || f.size == 4 || f.size == 8) {
        const uint64_t v = LoadUnsigned(p, f.size);
        if (v <= static_cast<uint64_t>(INT64_MAX)) return SetInteger(static_cast<int64_t>(v), out);
        out->type = ValueType::kUnsigned;
        out->unsigned_integer = v;
        out->text = std::to_string(v);
        return;
      }
      return SetBytes(ValueType::kBytes, p, f.size, out);
    case StoredKind::kReal: return DecodeReal(f, p, out);
    case StoredKind::kFixed:
      if (f.size != 4 && f.size != 8) return SetBytes(ValueType::kBytes, p, f.size, out);
      out->type = ValueType::kDecimal;
      out->integer = LoadSigned(p, f.size);
      out->text = FixedPointText(out->integer, f.scale, f.decimals);
      return;
    case StoredKind::kBool:
      out->type = ValueType::kBool;
      out->integer = LoadUnsigned(p, f.size < 8 ? f.size : 8) != 0 ? 1 : 0;
      out->text = out->integer ? "true" : "false";
      return;
    case StoredKind::kDate:
      if (f.size < 4) return SetBytes(ValueType::kBytes, p, f.size, out);
      return DecodeDate(p, out);
    case StoredKind::kTime:
      if (f.size < 4) return SetBytes(ValueType::kBytes, p, f.size, out);
      return DecodeTime(p, out);
    case StoredKind::kTimestamp:
      if (f.size < 8) return SetBytes(ValueType::kBytes, p, f.size, out);
      return DecodeTimestamp(p, out);
    case StoredKind::kGuid:
      if (f.size < 16) return SetBytes(ValueType::kBytes, p, f.size, out);
      return DecodeGuid(p, out);
    case StoredKind::kBytes: return SetBytes(ValueType::kBytes, p, f.size, out);
    case StoredKind::kMemo:
    case StoredKind::kRichText:
    case StoredKind::kBlob:
    case StoredKind::kPicture: return DecodeVariablePart(f, p, out);
  }
  SetNull(out);
}

bool DdfFallback(const FieldModel& field, const FieldValue& value) {
  return field.ddf.has_value() && value.type == ValueType::kBytes;
}

void DecodeRecord(const TableModel& table, const uint8_t* record, size_t length,
                  std::vector<FieldValue>* values) {
  values->resize(table.fields.size());
  for (size_t i = 0; i < table.fields.size(); ++i) {
    DecodeField(table.fields[i], record, length, &(*values)[i]);
  }
}

std::string LocalText(const FieldValue& value) {
  const std::string& t = value.text;
  if (value.type == ValueType::kDate && t.size() >= 10) {
    return t.substr(8, 2) + "/" + t.substr(5, 2) + "/" + t.substr(0, 4);
  }
  if (value.type == ValueType::kTimestamp && t.size() >= 19) {
    return t.substr(8, 2) + "/" + t.substr(5, 2) + "/" + t.substr(0, 4) + " " + t.substr(11, 8);
  }
  return t;
}

}  // namespace tavelnor::tool
