// Command-line text into stored bytes, kind by kind.
#include "browse/value_parser.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "browse/text_codec.h"

namespace tavelnor::tool {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kFirstDayJdn = 1721426;  // 0001-01-01

std::string Little(uint64_t value, size_t width) {
  std::string out(width, '\0');
  for (size_t i = 0; i < width; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool ParseInt(std::string_view text, int64_t* value) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParseUnsigned(std::string_view text, uint64_t* value) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// Digits only, at least one.
bool ParseDigits(std::string_view text, int* value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  *value = std::atoi(std::string(text).c_str());
  return true;
}

int DaysIn(int month, int year) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "YYYY-MM-DD" or "DD/MM/YYYY".
bool ParseDate(std::string_view text, int* day, int* month, int* year) {
  if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
    if (!ParseDigits(text.substr(0, 4), year) || !ParseDigits(text.substr(5, 2), month) ||
        !ParseDigits(text.substr(8, 2), day)) {
      return false;
    }
  } else {
    const size_t a = text.find('/'), b = text.rfind('/');
    if (a == std::string_view::npos || a == b || !ParseDigits(text.substr(0, a), day) ||
        !ParseDigits(text.substr(a + 1, b - a - 1), month) ||
        !ParseDigits(text.substr(b + 1), year) || text.size() - b - 1 != 4) {
      return false;
    }
  }
  return *year >= 1 && *year <= 9999 && *month >= 1 && *month <= 12 && *day >= 1 &&
         *day <= DaysIn(*month, *year);
}

// "hh:mm", "hh:mm:ss", with at most `digits_wanted` digits of a fraction
// after the seconds; `fraction` receives it in units of 10^-digits_wanted.
bool ParseTime(std::string_view text, int* hour, int* minute, int* second, int64_t* fraction,
               int digits_wanted) {
  *second = 0;
  *fraction = 0;
  const size_t dot = text.find_first_of(".,");
  std::string_view frac;
  if (dot != std::string_view::npos) {
    frac = text.substr(dot + 1);
    text = text.substr(0, dot);
    if (frac.empty() || frac.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
  }
  const size_t a = text.find(':');
  if (a == std::string_view::npos || !ParseDigits(text.substr(0, a), hour)) return false;
  const size_t b = text.find(':', a + 1);
  if (!ParseDigits(text.substr(a + 1, b == std::string_view::npos ? std::string_view::npos : b - a - 1),
                   minute)) {
    return false;
  }
  if (b != std::string_view::npos && !ParseDigits(text.substr(b + 1), second)) return false;
  if (!frac.empty() && b == std::string_view::npos) return false;
  for (int i = 0; i < digits_wanted; ++i) {
    *fraction = *fraction * 10 + (i < static_cast<int>(frac.size()) ? frac[static_cast<size_t>(i)] - '0' : 0);
  }
  if (static_cast<int>(frac.size()) > digits_wanted) return false;  // finer than the field keeps
  return *hour >= 0 && *hour <= 23 && *minute >= 0 && *minute <= 59 && *second >= 0 &&
         *second <= 59;
}

int64_t DayNumber(int day, int month, int year) {
  const int a = month < 3 ? 1 : 0;
  const int64_t y = year - a;
  const int64_t m = month < 3 ? month + 9 : month - 3;
  const int64_t q = y / 100, r = y - 100 * q;
  return (146097 * q) / 4 + (1461 * r) / 4 + (153 * m + 2) / 5 + day + 1721119;
}

// A decimal number with a dot or a comma, as an integer scaled by 10^scale.
bool ParseFixed(std::string text, int32_t scale, int64_t* scaled) {
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  bool negative = false;
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const size_t dot = text.find('.', i);
  std::string whole = text.substr(i, dot == std::string::npos ? std::string::npos : dot - i);
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  if ((whole.empty() && fraction.empty()) ||
      whole.find_first_not_of("0123456789") != std::string::npos ||
      fraction.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  while (fraction.size() > static_cast<size_t>(scale) && fraction.back() == '0') fraction.pop_back();
  if (fraction.size() > static_cast<size_t>(scale)) return false;  // finer than the type keeps
  fraction.append(static_cast<size_t>(scale) - fraction.size(), '0');
  uint64_t magnitude = 0;
  if (!ParseUnsigned(whole.empty() ? fraction : whole + fraction, &magnitude)) return false;
  if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
  *scaled = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool ParseReal(std::string text, double* value) {
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  if (text.empty()) return false;
  const char* begin = text.c_str();
  if (*begin == '+') ++begin;
  const auto r = std::from_chars(begin, text.c_str() + text.size(), *value);
  return r.ec == std::errc() && r.ptr == text.c_str() + text.size();
}

bool ParseBool(const std::string& text, bool* value) {
  const std::string t = Lower(text);
  if (t == "true" || t == "1" || t == "yes" || t == "oui" || t == "vrai") {
    *value = true;
  } else if (t == "false" || t == "0" || t == "no" || t == "non" || t == "faux") {
    *value = false;
  } else {
    return false;
  }
  return true;
}

// The capital of a small letter of the scripts the code pages hold (Latin,
// Greek, Cyrillic); other characters as they are.
uint32_t Capital(uint32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
      (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) {
    return c - 32;
  }
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c == 0x153 || c == 0x161 || c == 0x17E) return c - 1;  // œ š ž
  if (c == 0xFF) return 0x178;                                // ÿ
  return c;
}

// `text` with each letter in capitals where the stored code page holds the
// capital; malformed text as it is (its encoding reports it).
std::string Capitals(const std::string& text) {
  std::string out, capital, stored;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    uint32_t c = 0;
    if (!NextCodePoint(text, i, &c)) return text;
    const uint32_t up = Capital(c);
    capital.clear();
    AppendCodePoint(up, &capital);
    if (up != c && StoredCodePage().FromUtf8(capital, &stored)) {
      out += capital;
    } else {
      out.append(text, start, i - start);
    }
  }
  return out;
}

bool Fail(std::string* error, const std::string& text, const std::string& what) {
  *error = "\"" + text + "\" is not " + what;
  return false;
}

}  // namespace

bool EncodeStoredValue(const FieldModel& f, const std::string& text, std::string* bytes,
                       std::string* error) {
  bytes->clear();
  if (f.ddf) {
    // Texts in the stored code page; numbers and booleans as they are typed.
    std::string given = text;
    if (f.kind == StoredKind::kText && !Utf8ToStored(text, &given, error)) return false;
    auto stored = ddf::EncodeDdfValue(*f.ddf, given);
    if (!stored.ok()) {
      *error = stored.status().message();
      return false;
    }
    *bytes = std::move(*stored);
    return true;
  }
  switch (f.kind) {
    case StoredKind::kText: {
      const uint16_t code = f.type_code;
      const bool upper = code == 128 || code == 135 || code == 137 || code == 138 ||
                         code == 149 || code == 153;
      if (!Utf8ToStored(upper ? Capitals(text) : text, bytes, error)) return false;
      if (bytes->size() > f.size) {
        *error = "\"" + text + "\" is longer than the " + std::to_string(f.size) + " bytes of " +
                 f.name;
        return false;
      }
      return true;
    }
    case StoredKind::kSigned: {
      int64_t v = 0;
      const size_t width = f.size;
      if (width != 1 && width != 2 && width != 4 && width != 8) break;
      const int64_t hi = width == 8 ? std::numeric_limits<int64_t>::max()
                                    : (int64_t{1} << (8 * width - 1)) - 1;
      const int64_t lo = width == 8 ? std::numeric_limits<int64_t>::min() : -hi - 1;
      if (!ParseInt(text, &v) || v < lo || v > hi) {
        return Fail(error, text, "an integer of " + std::to_string(8 * width) + " bits");
      }
      *bytes = Little(static_cast<uint64_t>(v), width);
      return true;
    }
    case StoredKind::kUnsigned: {
      uint64_t v = 0;
      const size_t width = f.size;
      if (width != 1 && width != 2 && width != 4 && width != 8) break;
      const uint64_t hi = width == 8 ? std::numeric_limits<uint64_t>::max()
                                     : (uint64_t{1} << (8 * width)) - 1;
      if (!ParseUnsigned(text, &v) || v > hi) {
        return Fail(error, text, "an unsigned integer of " + std::to_string(8 * width) + " bits");
      }
      *bytes = Little(v, width);
      return true;
    }
    case StoredKind::kReal: {
      double v = 0;
      if (!ParseReal(text, &v)) return Fail(error, text, "a number");
      if (f.size == 4) {
        const float single = static_cast<float>(v);
        bytes->assign(reinterpret_cast<const char*>(&single), 4);
      } else if (f.size == 8) {
        bytes->assign(reinterpret_cast<const char*>(&v), 8);
      } else {
        break;
      }
      return true;
    }
    case StoredKind::kFixed: {
      int64_t scaled = 0;
      if (!ParseFixed(text, f.scale, &scaled)) {
        return Fail(error, text, "a number with at most " + std::to_string(f.scale) + " decimals");
      }
      if (f.size == 4 && (scaled < INT32_MIN || scaled > INT32_MAX)) {
        return Fail(error, text, "within the range of " + f.name);
      }
      if (f.size != 4 && f.size != 8) break;
      *bytes = Little(static_cast<uint64_t>(scaled), f.size);
      return true;
    }
    case StoredKind::kBool: {
      bool v = false;
      if (!ParseBool(text, &v)) return Fail(error, text, "true or false");
      *bytes = Little(v ? 1 : 0, f.size <= 8 ? f.size : 8);
      bytes->resize(f.size, '\0');
      return true;
    }
    case StoredKind::kDate: {
      int d = 0, m = 0, y = 0;
      if (!ParseDate(text, &d, &m, &y)) return Fail(error, text, "a date (2014-12-31 or 31/12/2014)");
      *bytes = std::string{static_cast<char>(d), static_cast<char>(m), static_cast<char>(y & 0xFF),
                           static_cast<char>(y >> 8)};
      bytes->resize(f.size, '\0');
      return true;
    }
    case StoredKind::kTime: {
      int h = 0, mi = 0, s = 0;
      int64_t cc = 0;
      if (!ParseTime(text, &h, &mi, &s, &cc, 2)) return Fail(error, text, "a time (14:30:05)");
      *bytes = std::string{static_cast<char>(cc), static_cast<char>(s), static_cast<char>(mi),
                           static_cast<char>(h)};
      bytes->resize(f.size, '\0');
      return true;
    }
    case StoredKind::kTimestamp: {
      std::string t = text;
      if (!t.empty() && (t.back() == 'Z' || t.back() == 'z')) t.pop_back();
      const size_t sep = t.find_first_of("T ");
      int d = 0, m = 0, y = 0, h = 0, mi = 0, s = 0;
      int64_t ticks = 0;
      if (sep == std::string::npos || !ParseDate(t.substr(0, sep), &d, &m, &y) ||
          !ParseTime(t.substr(sep + 1), &h, &mi, &s, &ticks, 7)) {
        return Fail(error, text, "a time stamp (2014-12-31T14:30:05Z)");
      }
      const int64_t days = DayNumber(d, m, y) - kFirstDayJdn;
      int64_t value = ((days * 24 + h) * 60 + mi) * 60 + s;
      value = value * kTicksPerSecond + ticks;
      if (value == 0) value = 1;  // the first instant is stored as 1
      *bytes = Little(static_cast<uint64_t>(value), 8);
      bytes->resize(f.size, '\0');
      return true;
    }
    case StoredKind::kGuid: {
      std::string hex;
      for (char c : text) {
        if (c != '-' && c != '{' && c != '}') hex += c;
      }
      std::string raw;
      if (hex.size() != 32 || !HexToBytes(hex, &raw)) return Fail(error, text, "a GUID");
      const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
      bytes->assign(16, '\0');
      for (int i = 0; i < 16; ++i) (*bytes)[static_cast<size_t>(order[i])] = raw[static_cast<size_t>(i)];
      bytes->resize(f.size, '\0');
      return true;
    }
    case StoredKind::kBytes:
      if (!HexToBytes(text, bytes) || bytes->size() > f.size) {
        return Fail(error, text, "at most " + std::to_string(f.size) + " bytes in hexadecimal digits");
      }
      return true;
    default: break;
  }
  *error = f.name + " (" + std::string(StoredTypeName(f.type_code)) + ", " +
           std::to_string(f.size) + " bytes) cannot be given as a value";
  return false;
}

}  // namespace tavelnor::tool
