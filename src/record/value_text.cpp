// Number reading and writing for the typed buffers.
#include "record/value_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace tavelnor::record {
namespace {

// Skips spaces and tabs and reads a sign; returns the position after them.
size_t SkipToDigits(std::string_view text, bool* negative) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    *negative = text[i] == '-';
    ++i;
  }
  return i;
}

// The magnitude of the digit run at `i`, held at `limit`.
uint64_t ReadMagnitude(std::string_view text, size_t i, uint64_t limit) {
  uint64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    auto digit = static_cast<uint64_t>(text[i] - '0');
    if (v > (limit - digit) / 10) return limit;
    v = v * 10 + digit;
  }
  return v;
}

}  // namespace

int64_t ParseInteger(std::string_view text) {
  bool negative;
  size_t i = SkipToDigits(text, &negative);
  constexpr uint64_t kMaxPositive = std::numeric_limits<int64_t>::max();
  uint64_t m = ReadMagnitude(text, i, kMaxPositive + (negative ? 1 : 0));
  if (!negative) return static_cast<int64_t>(m);
  return m > kMaxPositive ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(m);
}

uint64_t ParseUnsigned(std::string_view text) {
  bool negative;
  size_t i = SkipToDigits(text, &negative);
  return negative ? 0 : ReadMagnitude(text, i, std::numeric_limits<uint64_t>::max());
}

double ParseDouble(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string copy(text.substr(i, 64));
  for (char& c : copy) {
    if (c == ',') c = '.';
  }
  if (!copy.empty() && copy[0] == '+') copy.erase(0, 1);
  double value = 0.0;
  auto [end, ec] = std::from_chars(copy.data(), copy.data() + copy.size(), value);
  (void)end;
  if (ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

Chaine IntegerText(int64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return Chaine(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

Chaine UnsignedText(uint64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return Chaine(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

Chaine DoubleText(double value) {
  if (!std::isfinite(value)) return Chaine();
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return Chaine(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

Chaine FixedText(double value, int decimals) {
  if (!std::isfinite(value)) return Chaine();
  if (decimals < 0) decimals = 0;
  if (decimals > 30) decimals = 30;
  // %f of the largest doubles takes 309 digits before the point.
  char buf[360];
  int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  if (n < 0) return Chaine();
  return Chaine(std::string_view(buf, std::min(static_cast<size_t>(n), sizeof buf - 1)));
}

int64_t SaturatingToInt64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

uint64_t SaturatingToUInt64(double value) {
  if (std::isnan(value) || value <= 0.0) return 0;
  if (value >= 18446744073709551616.0) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(value);
}

float SaturatingToFloat(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (std::isnan(value)) return 0.0f;
  if (value > kMax) return std::numeric_limits<float>::max();
  if (value < -kMax) return std::numeric_limits<float>::lowest();
  return static_cast<float>(value);
}

}  // namespace tavelnor::record
