// Fixed-point values as they lie in a record.
//
//   EDecimal32 (code 12): 4 bytes, signed little-endian, value x 1000
//   EDecimal64 (code 20): 8 bytes, signed little-endian, value x 10000000
//   ECurrency  (code 29): 8 bytes, signed little-endian, value x 10000
//
// No conversion throws: values out of range, unreadable or over-long texts
// give 0. The text form uses "," as decimal separator whatever the locale.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/chaine.h"
#include "record/byte_form.h"

namespace tavelnor::record {

namespace fixed_point_internal {

// Floating point to a stored integer with `decimals` digits: 0 outside
// [-limit, limit] or when the digits do not fit [min, max].
int64_t FromDouble(double value, int decimals, double limit, int64_t min, int64_t max);
// The decimal text reader (at most 50 characters, else 0).
int64_t FromText(std::string_view text, int decimals, int64_t min, int64_t max);
// The formatter behind BasicDecimal::Format, for `scale_digits` stored decimals.
Chaine Format(int64_t raw, int scale_digits, int32_t width, int32_t decimals);

}  // namespace fixed_point_internal

// The longest text the decimal reader accepts, and the widest formatter output.
inline constexpr size_t kMaxDecimalText = 50;
inline constexpr int32_t kMaxFormatWidth = 32767;

template <typename Rep, int kDigits, int64_t kLimit>
class BasicDecimal {
 public:
  using RepType = Rep;
  static constexpr int kDecimals = kDigits;
  static constexpr int64_t kScale = [] {
    int64_t s = 1;
    for (int i = 0; i < kDigits; ++i) s *= 10;
    return s;
  }();
  static constexpr int kWidth = sizeof(Rep);

  constexpr BasicDecimal() = default;
  static constexpr BasicDecimal FromRaw(Rep raw) { return BasicDecimal(raw); }
  constexpr Rep Raw() const { return raw_; }

  static BasicDecimal FromBytes(const uint8_t* bytes) {
    return BasicDecimal(LoadLittle<Rep>(bytes));
  }
  void ToBytes(uint8_t* bytes) const { StoreLittle<Rep>(bytes, raw_); }

  // Printed with kDigits decimals (round half as the printer does), range
  // [-kLimit, kLimit]; 0 outside it and for NaN.
  static BasicDecimal FromDouble(double value) {
    return Checked(fixed_point_internal::FromDouble(value, kDigits, static_cast<double>(kLimit),
                                                    kMinRep, kMaxRep));
  }
  // Spaces skipped, digits, one "." or "," followed by at most kDigits more
  // characters, "+"/"-" set the sign; anything else ends the text. Fraction
  // digits beyond kDigits are cut. Texts over 50 characters give 0.
  static BasicDecimal FromText(std::string_view text) {
    return Checked(fixed_point_internal::FromText(text, kDigits, kMinRep, kMaxRep));
  }
  // A zero-terminated text; a length below 1 means up to the terminator.
  static BasicDecimal FromText(const char* text, int32_t length) {
    if (text == nullptr) return BasicDecimal();
    return FromText(length < 1 ? std::string_view(text)
                               : std::string_view(text, static_cast<size_t>(length)));
  }

  // Cut toward zero.
  int64_t ToInteger() const { return raw_ / kScale; }
  double ToDouble() const { return static_cast<double>(raw_) / static_cast<double>(kScale); }

  // Width 0 = as long as needed; a longer text keeps its first `width`
  // characters, a shorter one is right-aligned with spaces. Decimals >= 1:
  // exactly that many (cut or zero-extended); 0: none; negative: the
  // significant ones. Widths above kMaxFormatWidth are treated as that.
  Chaine Format(int32_t width, int32_t decimals) const {
    return fixed_point_internal::Format(raw_, kDigits, width, decimals);
  }

  // Through double precision; a zero operand gives 0.
  friend BasicDecimal Multiply(BasicDecimal a, BasicDecimal b) {
    if (a.raw_ == 0 || b.raw_ == 0) return BasicDecimal();
    return FromDouble(a.ToDouble() * b.ToDouble());
  }
  friend BasicDecimal Divide(BasicDecimal a, BasicDecimal b) {
    if (a.raw_ == 0 || b.raw_ == 0) return BasicDecimal();
    return FromDouble(static_cast<double>(a.raw_) / static_cast<double>(b.raw_));
  }

  friend constexpr bool operator==(BasicDecimal a, BasicDecimal b) { return a.raw_ == b.raw_; }
  friend constexpr auto operator<=>(BasicDecimal a, BasicDecimal b) { return a.raw_ <=> b.raw_; }

 private:
  static constexpr int64_t kMinRep = INT64_C(-1) << (8 * sizeof(Rep) - 1);
  static constexpr int64_t kMaxRep = -(kMinRep + 1);
  constexpr explicit BasicDecimal(Rep raw) : raw_(raw) {}
  static BasicDecimal Checked(int64_t raw) { return BasicDecimal(static_cast<Rep>(raw)); }
  Rep raw_ = 0;
};

using EDecimal32 = BasicDecimal<int32_t, 3, 2000000>;
using EDecimal64 = BasicDecimal<int64_t, 7, 1000000000000>;

class ECurrency {
 public:
  static constexpr int kDecimals = 4;
  static constexpr int64_t kScale = 10000;

  constexpr ECurrency() = default;
  static constexpr ECurrency FromRaw(int64_t raw) { return ECurrency(raw); }
  constexpr int64_t Raw() const { return raw_; }

  static ECurrency FromBytes(const uint8_t* bytes) { return ECurrency(LoadLittle<int64_t>(bytes)); }
  void ToBytes(uint8_t* bytes) const { StoreLittle<int64_t>(bytes, raw_); }

  // Magnitude x 10000, rounded up only when the dropped fraction exceeds 0.5;
  // NaN and magnitudes of 10^14 or more give 0.
  static ECurrency FromDouble(double value);
  // Up to 14 integer digits (a 15th gives 0), thousands spaces, "." or ","
  // then up to 4 fraction digits rounded on a fifth.
  static ECurrency FromText(std::string_view text);
  // n x 10000; 0 when that does not fit.
  static ECurrency FromInteger(int64_t n);

  int64_t ToInteger() const { return raw_ / kScale; }
  double ToDouble() const { return static_cast<double>(raw_) / 10000.0; }

  // The fixed-point formatter with 4 stored decimals.
  Chaine Format(int32_t width = 0, int32_t decimals = kDecimals) const {
    return fixed_point_internal::Format(raw_, kDecimals, width, decimals);
  }

  friend ECurrency Multiply(ECurrency a, ECurrency b);
  friend ECurrency Divide(ECurrency a, ECurrency b);

  friend constexpr bool operator==(ECurrency a, ECurrency b) { return a.raw_ == b.raw_; }
  friend constexpr auto operator<=>(ECurrency a, ECurrency b) { return a.raw_ <=> b.raw_; }

 private:
  constexpr explicit ECurrency(int64_t raw) : raw_(raw) {}
  int64_t raw_ = 0;
};

// Conversions between the fixed-point kinds; results that do not fit give 0.
EDecimal64 ToDecimal64(ECurrency c);  // stored x 1000
ECurrency ToCurrency(EDecimal64 d);   // stored / 1000, cut toward zero
EDecimal32 ToDecimal32(ECurrency c);  // stored x 1000 / 10000, cut toward zero

}  // namespace tavelnor::record
