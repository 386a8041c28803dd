// The stored forms of values given as text (see ddf_values.h).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ddf/ddf_values.h"

namespace tavelnor::ddf {
namespace {

Status NotA(std::string_view text, const std::string& what) {
  return Status::InvalidArgument("\"" + std::string(text) + "\" is not " + what);
}

// The digits of a decimal number with exactly `scale` of them after the
// point, most significant first, and its sign.
bool DecimalDigits(std::string_view text, uint8_t scale, std::string* digits, bool* negative) {
  size_t i = 0;
  *negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) *negative = text[i++] == '-';
  std::string whole, fraction;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      (point ? fraction : whole) += c;
    } else if ((c == '.' || c == ',') && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (whole.empty() && fraction.empty()) return false;
  // Zeros past the scale change nothing; any other digit there does not fit.
  while (fraction.size() > scale && fraction.back() == '0') fraction.pop_back();
  if (fraction.size() > scale) return false;
  fraction.append(scale - fraction.size(), '0');
  *digits = whole + fraction;
  const size_t first = digits->find_first_not_of('0');
  digits->erase(0, first == std::string::npos ? digits->size() : first);
  if (digits->empty()) *negative = false;
  return true;
}

Result<std::string> EncodeExact(const DdfColumn& c, std::string_view text) {
  const auto scale = static_cast<uint8_t>(ExactScale(c));
  std::string digits;
  bool negative = false;
  if (!DecimalDigits(text, scale, &digits, &negative)) {
    return NotA(text, "a number with at most " + std::to_string(scale) + " decimals");
  }
  const bool separate_sign = c.type == kDdfNumericSts || c.type == kDdfNumericSlb ||
                             c.type == kDdfNumericSls || c.type == kDdfNumericStb;
  const bool packed = c.type == kDdfDecimal || c.type == kDdfMoney;
  const size_t room = packed ? size_t{2} * c.size - 1 : separate_sign ? c.size - size_t{1} : c.size;
  if (digits.size() > room) return NotA(text, "a number of at most " + std::to_string(room) + " digits");
  digits.insert(0, room - digits.size(), '0');
  std::string out;
  if (packed) {
    digits += negative ? static_cast<char>('0' + 0xD) : static_cast<char>('0' + 0xF);
    for (size_t i = 0; i < digits.size(); i += 2) {
      out += static_cast<char>(((digits[i] - '0') << 4) | (digits[i + 1] - '0'));
    }
    return out;
  }
  switch (c.type) {
    case kDdfNumeric:
      // The last digit carries the sign: '}' and 'J'..'R' for 0..9 below zero.
      if (negative) digits.back() = digits.back() == '0' ? '}' : static_cast<char>('J' + (digits.back() - '1'));
      return digits;
    case kDdfNumericSa:
      if (negative) digits.back() = static_cast<char>(digits.back() + 0x40);
      return digits;
    case kDdfNumericSts:
    case kDdfNumericStb: return digits + (negative ? '-' : '+');
    default: return (negative ? "-" : "+") + digits;  // NUMERICSLB, NUMERICSLS
  }
}

// The binary floating form with its exponent in the last byte (bias 128
// over a mantissa in [0.5, 1), the leading one not stored) and the sign in
// the top bit of the byte before it.
Result<std::string> EncodeBfloat(const DdfColumn& c, std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const double d = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(d)) return NotA(text, "a number");
  const size_t n = c.size;
  std::string out(n, '\0');
  if (d == 0) return out;
  const unsigned bits = static_cast<unsigned>((n - 1) * 8);
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(d), &exponent);
  uint64_t mantissa = static_cast<uint64_t>(std::llround(std::ldexp(fraction, static_cast<int>(bits))));
  if (mantissa >> bits) {  // rounded up to the next power of two
    mantissa >>= 1;
    ++exponent;
  }
  if (exponent + 128 < 1) return out;  // below the smallest: zero
  if (exponent + 128 > 255) return NotA(text, "within the range of a BFLOAT");
  mantissa &= ~(uint64_t{1} << (bits - 1));
  if (d < 0) mantissa |= uint64_t{1} << (bits - 1);
  for (size_t i = 0; i + 1 < n; ++i) out[i] = static_cast<char>((mantissa >> (8 * i)) & 0xFF);
  out[n - 1] = static_cast<char>(exponent + 128);
  return out;
}

bool ReadBool(std::string_view text, bool* v) {
  std::string t;
  for (char ch : text) t += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
  if (t == "true" || t == "1" || t == "yes") return (*v = true), true;
  if (t == "false" || t == "0" || t == "no") return (*v = false), true;
  return false;
}

}  // namespace

int DdfTypeFromName(std::string_view name) {
  for (int code = 0; code < 256; ++code) {
    const std::string_view known = DdfTypeName(static_cast<uint8_t>(code));
    if (known.empty() || known.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      const char a = name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 32) : name[i];
      same = a == known[i];
    }
    if (same) return code;
  }
  return -1;
}

std::string DdfTypeTag(const DdfColumn& c) {
  return "DDF " + std::string(DdfTypeName(c.type)) + " " + std::to_string(c.decimals);
}

bool ParseDdfTypeTag(std::string_view tag, uint32_t size, DdfColumn* column) {
  constexpr std::string_view kTag = "DDF ";
  if (tag.substr(0, kTag.size()) != kTag) return false;
  tag.remove_prefix(kTag.size());
  const size_t space = tag.rfind(' ');
  if (space == std::string_view::npos || space + 1 == tag.size() || size > 0xFFFF) return false;
  unsigned decimals = 0;
  for (char c : tag.substr(space + 1)) {
    if (c < '0' || c > '9' || (decimals = decimals * 10 + static_cast<unsigned>(c - '0')) > 255) return false;
  }
  const int type = DdfTypeFromName(tag.substr(0, space));
  if (type < 0 || !DdfTypeAccepts(static_cast<uint8_t>(type), static_cast<uint16_t>(size))) return false;
  *column = {static_cast<uint8_t>(type), static_cast<uint16_t>(size), static_cast<uint8_t>(decimals)};
  return true;
}

int ExactScale(const DdfColumn& c) {
  switch (c.type) {
    case kDdfDecimal:
    case kDdfNumeric:
    case kDdfNumericSa:
    case kDdfNumericSts:
    case kDdfNumericSlb:
    case kDdfNumericSls:
    case kDdfNumericStb: return c.decimals;
    case kDdfMoney: return 2;
    case kDdfCurrency: return 4;
    default: return -1;
  }
}

Result<std::string> EncodeDdfValue(const DdfColumn& c, std::string_view text) {
  const std::string_view type = DdfTypeName(c.type);
  if (type.empty() || !DdfTypeAccepts(c.type, c.size)) {
    return Status::InvalidArgument(std::string(type.empty() ? "type " + std::to_string(c.type) : std::string(type)) +
                                   " of " + std::to_string(c.size) + " bytes holds no value");
  }
  auto too_long = [&](size_t room) {
    return NotA(text, "a text of at most " + std::to_string(room) + " bytes");
  };
  switch (c.type) {
    case kDdfDecimal:
    case kDdfMoney:
    case kDdfNumeric:
    case kDdfNumericSa:
    case kDdfNumericSts:
    case kDdfNumericSlb:
    case kDdfNumericSls:
    case kDdfNumericStb: return EncodeExact(c, text);
    case kDdfBfloat: return EncodeBfloat(c, text);
    case kDdfLogical:
    case kDdfBit: {
      bool v = false;
      if (!ReadBool(text, &v)) return NotA(text, "true or false");
      std::string out(c.size, '\0');
      if (v) out[0] = static_cast<char>(c.type == kDdfBit ? 1u << c.decimals : 1u);
      if (c.type == kDdfBit && c.decimals > 7) return Status::InvalidArgument("BIT " + std::to_string(c.decimals));
      return out;
    }
    case kDdfLstring: {
      if (text.size() > std::min<size_t>(c.size - size_t{1}, 255)) return too_long(std::min<size_t>(c.size - 1, 255));
      std::string out(c.size, '\0');
      out[0] = static_cast<char>(text.size());
      std::memcpy(out.data() + 1, text.data(), text.size());
      return out;
    }
    case kDdfNote: {
      if (text.size() > c.size) return too_long(c.size);
      std::string out(c.size, '\0');
      std::memcpy(out.data(), text.data(), text.size());
      return out;
    }
    case kDdfLvar: {
      if (c.size < 2 || text.size() > c.size - size_t{2}) return too_long(c.size < 2 ? 0 : c.size - size_t{2});
      std::string out(c.size, '\0');
      out[0] = static_cast<char>(text.size() & 0xFF);
      out[1] = static_cast<char>(text.size() >> 8);
      std::memcpy(out.data() + 2, text.data(), text.size());
      return out;
    }
    default: return Status::Unsupported(std::string(type) + " values are given in the record layout's own form");
  }
}

}  // namespace tavelnor::ddf
