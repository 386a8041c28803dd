// Fixed-point conversions: from floating point, from text, to text.
#include "record/fixed_point.h"

#include <charconv>
#include <cmath>
#include <string>

namespace tavelnor::record {
namespace fixed_point_internal {
namespace {

constexpr int64_t kPow10[] = {1,      10,      100,      1000,      10000,
                              100000, 1000000, 10000000, 100000000, 1000000000};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Appends a digit to `value`; false when the result leaves [0, INT64_MAX].
bool PushDigit(int64_t* value, char c) {
  return !__builtin_mul_overflow(*value, 10, value) &&
         !__builtin_add_overflow(*value, c - '0', value);
}

// Combines sign, integer part and fraction digits; 0 when out of [min, max].
int64_t Compose(bool negative, int64_t integer, int64_t fraction, int decimals, int64_t min,
                int64_t max) {
  int64_t raw;
  if (__builtin_mul_overflow(integer, kPow10[decimals], &raw) ||
      __builtin_add_overflow(raw, fraction, &raw)) {
    return 0;
  }
  if (negative) raw = -raw;
  return raw < min || raw > max ? 0 : raw;
}

}  // namespace

int64_t FromDouble(double value, int decimals, double limit, int64_t min, int64_t max) {
  if (!(value >= -limit && value <= limit)) return 0;  // NaN fails both
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) return 0;
  bool negative = buf[0] == '-';
  int64_t digits = 0;
  for (const char* p = buf + (negative ? 1 : 0); p != res.ptr; ++p) {
    if (IsDigit(*p) && !PushDigit(&digits, *p)) return 0;
  }
  if (negative) digits = -digits;
  return digits < min || digits > max ? 0 : digits;
}

int64_t FromText(std::string_view text, int decimals, int64_t min, int64_t max) {
  if (text.size() > kMaxDecimalText) return 0;
  bool negative = false;
  int64_t integer = 0;
  int64_t fraction = 0;
  int fraction_digits = 0;
  bool in_fraction = false;
  int allowed = 0;  // characters left after the separator
  for (char c : text) {
    if (c == '\0') break;
    if (in_fraction) {
      if (allowed == 0) break;
      --allowed;
    }
    if (IsSpace(c)) continue;
    if (IsDigit(c)) {
      if (!in_fraction) {
        if (!PushDigit(&integer, c)) return 0;
      } else if (fraction_digits < decimals) {
        fraction = fraction * 10 + (c - '0');
        ++fraction_digits;
      }
    } else if ((c == '.' || c == ',') && !in_fraction) {
      in_fraction = true;
      allowed = decimals;
    } else if (c == '-' || c == '+') {
      negative = c == '-';
    } else {
      break;
    }
  }
  fraction *= kPow10[decimals - fraction_digits];
  return Compose(negative, integer, fraction, decimals, min, max);
}

Chaine Format(int64_t raw, int scale_digits, int32_t width, int32_t decimals) {
  constexpr size_t kJoinLimit = 99;
  std::string text;
  if (raw == 0) {
    if (decimals >= 1) {
      text = static_cast<size_t>(decimals) + 2 >= kJoinLimit
                 ? std::string("0")
                 : "0," + std::string(static_cast<size_t>(decimals), '0');
    }
  } else {
    int64_t scale = kPow10[scale_digits];
    int64_t integer = raw / scale;
    int64_t magnitude = raw % scale;
    if (magnitude < 0) magnitude = -magnitude;
    std::string digits = std::to_string(magnitude);
    digits.insert(0, static_cast<size_t>(scale_digits) - digits.size(), '0');
    std::string fraction;
    size_t fraction_length = 0;  // without the separator
    if (decimals >= 1) {
      fraction_length = static_cast<size_t>(decimals);
    } else if (decimals < 0) {
      size_t last = digits.find_last_not_of('0');
      fraction_length = last == std::string::npos ? 0 : last + 1;
    }
    std::string integer_text;
    if (integer != 0) {
      integer_text = std::to_string(integer);
    } else if (raw < 0) {
      integer_text = "-0";
    } else if (fraction_length > 0) {
      integer_text = "0";
    }
    if (fraction_length > 0 && integer_text.size() + 1 + fraction_length < kJoinLimit) {
      digits.resize(fraction_length, '0');
      text = integer_text + "," + digits;
    } else {
      text = integer_text;
    }
  }
  if (width > kMaxFormatWidth) width = kMaxFormatWidth;
  if (width > 0) {
    size_t w = static_cast<size_t>(width);
    if (text.size() >= w) {
      text.resize(w);
    } else {
      text.insert(0, w - text.size(), ' ');
    }
  }
  return Chaine(text);
}

}  // namespace fixed_point_internal

ECurrency ECurrency::FromDouble(double value) {
  if (std::isnan(value) || std::fabs(value) >= 100000000000000.0) return ECurrency();
  double scaled = std::fabs(value) * 10000.0;
  double whole = std::floor(scaled);
  int64_t raw = static_cast<int64_t>(whole);
  if (scaled - whole > 0.5) ++raw;
  return ECurrency(value < 0 ? -raw : raw);
}

ECurrency ECurrency::FromText(std::string_view text) {
  using fixed_point_internal::PushDigit;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  size_t i = 0;
  size_t n = text.size();
  bool negative = false;
  for (; i < n && !digit(text[i]); ++i) {
    char c = text[i];
    if (c == '-' || c == '+') {
      negative = c == '-';
    } else if (c != ' ' && c != '\t') {
      return ECurrency();
    }
  }
  int64_t integer = 0;
  int integer_digits = 0;
  bool fraction_follows = false;
  for (; i < n; ++i) {
    char c = text[i];
    if (digit(c)) {
      if (++integer_digits > 14) return ECurrency();
      integer = integer * 10 + (c - '0');
    } else if (c == '.' || c == ',') {
      fraction_follows = true;
      ++i;
      break;
    } else if (c == ' ') {
      if (i + 1 >= n || !digit(text[i + 1])) break;
    } else if (c == '\0') {
      break;
    }  // any other character inside the integer part is skipped
  }
  int64_t fraction = 0;
  int fraction_digits = 0;
  bool round_up = false;
  if (fraction_follows) {
    for (; i < n && digit(text[i]); ++i) {
      if (fraction_digits == kDecimals) {
        round_up = text[i] >= '5';
        break;
      }
      fraction = fraction * 10 + (text[i] - '0');
      ++fraction_digits;
    }
  }
  static constexpr int64_t kPow10[] = {1, 10, 100, 1000, 10000};
  int64_t raw =
      integer * kScale + fraction * kPow10[kDecimals - fraction_digits] + (round_up ? 1 : 0);
  return ECurrency(negative ? -raw : raw);
}

ECurrency ECurrency::FromInteger(int64_t n) {
  int64_t raw;
  if (__builtin_mul_overflow(n, kScale, &raw)) return ECurrency();
  return ECurrency(raw);
}

ECurrency Multiply(ECurrency a, ECurrency b) {
  if (a.raw_ == 0 || b.raw_ == 0) return ECurrency();
  return ECurrency::FromDouble(a.ToDouble() * b.ToDouble());
}

ECurrency Divide(ECurrency a, ECurrency b) {
  if (a.raw_ == 0 || b.raw_ == 0) return ECurrency();
  return ECurrency::FromDouble(static_cast<double>(a.raw_) / static_cast<double>(b.raw_));
}

EDecimal64 ToDecimal64(ECurrency c) {
  int64_t raw;
  if (__builtin_mul_overflow(c.Raw(), int64_t{1000}, &raw)) return EDecimal64();
  return EDecimal64::FromRaw(raw);
}

ECurrency ToCurrency(EDecimal64 d) { return ECurrency::FromRaw(d.Raw() / 1000); }

EDecimal32 ToDecimal32(ECurrency c) {
  int64_t raw = c.Raw() / 10;  // x 1000 / 10000, cut toward zero
  if (raw < INT32_MIN || raw > INT32_MAX) return EDecimal32();
  return EDecimal32::FromRaw(static_cast<int32_t>(raw));
}

}  // namespace tavelnor::record
