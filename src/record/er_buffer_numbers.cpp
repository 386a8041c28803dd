// Buffers of the number kinds: integers of every width, booleans, floating
// point and the fixed-point kinds.
#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

#include "foundation/locale_words.h"
#include "foundation/string_resources.h"
#include "record/bool_value.h"
#include "record/byte_form.h"
#include "record/er_buffer_kinds.h"
#include "record/type_codes.h"
#include "record/value_text.h"

namespace tavelnor::record {
namespace {

constexpr int16_t kDoubleCode = TYPE_DOUBLE;
constexpr int16_t kDecimal64Code = TYPE_DECIMAL64;

int Order(auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); }

// A fixed-width value at the data address, little-endian.
template <RecordNumber T>
class StoredNumber : public ErBuffer {
 public:
  using ErBuffer::ErBuffer;

 protected:
  T Load() const { return HasBytes(sizeof(T)) ? LoadLittle<T>(data_) : T{}; }
  void Store(T v) {
    if (HasBytes(sizeof(T))) StoreLittle<T>(data_, v);
  }
};

// A whole number held at the limits of T.
template <typename T>
T Clamp(int64_t v) {
  using L = std::numeric_limits<T>;
  if (v < static_cast<int64_t>(L::min())) return L::min();
  if (v > 0 && static_cast<uint64_t>(v) > static_cast<uint64_t>(L::max())) return L::max();
  return static_cast<T>(v);
}
template <typename T>
T ClampUnsigned(uint64_t v) {
  using L = std::numeric_limits<T>;
  return v > static_cast<uint64_t>(L::max()) ? L::max() : static_cast<T>(v);
}

// The products and quotients of the fixed-point kinds (found by argument
// lookup, as the value classes declare them).
template <typename V>
V FixedProduct(V a, V b) {
  return Multiply(a, b);
}
template <typename V>
V FixedQuotient(V a, V b) {
  return Divide(a, b);
}

// Integers of 1 to 8 bytes. Whole-number setters wrap to the width as the
// machine does; text and floating point are held at the type's limits.
template <RecordNumber T, int16_t kCode, int16_t kArithmetic = 1>
class ErBufferInteger : public StoredNumber<T> {
  using Base = StoredNumber<T>;
  static constexpr bool kUnsigned64 = std::is_unsigned_v<T> && sizeof(T) == 8;

 public:
  using Base::Base;
  int16_t GetTypeCode() const override { return kCode; }
  void SetFromBuffer(const ErBuffer& other) override {
    if constexpr (kUnsigned64) {
      SetUInt64(other.GetUInt64());
    } else {
      SetInt64(other.GetInt64());
    }
  }
  void SetInt64(int64_t v) override { this->Store(static_cast<T>(v)); }
  void SetUInt64(uint64_t v) override { this->Store(static_cast<T>(v)); }
  void SetDouble(double v) override {
    if constexpr (std::is_signed_v<T>) {
      this->Store(Clamp<T>(SaturatingToInt64(v)));
    } else {
      this->Store(ClampUnsigned<T>(SaturatingToUInt64(v)));
    }
  }
  void SetText(std::string_view text) override {
    if constexpr (std::is_signed_v<T>) {
      this->Store(Clamp<T>(ParseInteger(text)));
    } else {
      this->Store(ClampUnsigned<T>(ParseUnsigned(text)));
    }
  }
  void SetMax() override { this->Store(std::numeric_limits<T>::max()); }
  void SetMin() override { this->Store(std::numeric_limits<T>::min()); }
  void Clear() override { this->Store(T{}); }
  Chaine GetEditMask(int32_t width, int32_t, int32_t, int32_t) const override {
    return IntegerEditMask(width);
  }
  Chaine Format(int32_t width, int32_t, uint32_t) const override {
    return FitToWidth(GetText().view(), width, true);
  }
  double GetDouble() const override { return static_cast<double>(this->Load()); }
  Chaine GetText() const override {
    if constexpr (std::is_signed_v<T>) return IntegerText(this->Load());
    return UnsignedText(this->Load());
  }
  int64_t GetInt64() const override { return static_cast<int64_t>(this->Load()); }
  uint64_t GetUInt64() const override {
    if constexpr (std::is_signed_v<T>) return static_cast<uint64_t>(GetInt64());
    return this->Load();
  }
  bool IsEmpty() const override { return this->Load() == 0; }
  int16_t ResultType(char op, const ErBuffer&, int32_t* size) const override {
    if (size != nullptr) *size = -1;
    if (op == '*' || op == '+' || op == '-') return kArithmetic;
    return op == '/' ? kDoubleCode : kOperatorRefused;
  }
  int16_t GetArithmeticType() const override { return kArithmetic; }
  void Add(const ErBuffer& other) override {
    if constexpr (kUnsigned64) {
      SetUInt64(GetUInt64() + other.GetUInt64());
    } else {
      ErBuffer::Add(other);
    }
  }
  void Subtract(const ErBuffer& other) override {
    if constexpr (kUnsigned64) {
      SetUInt64(GetUInt64() - other.GetUInt64());
    } else {
      ErBuffer::Subtract(other);
    }
  }
  void Multiply(const ErBuffer& other) override {
    if constexpr (kUnsigned64) {
      SetUInt64(GetUInt64() * other.GetUInt64());
    } else {
      ErBuffer::Multiply(other);
    }
  }
  void Divide(const ErBuffer& other) override {
    if constexpr (kUnsigned64) {
      uint64_t d = other.GetUInt64();
      SetUInt64(d == 0 ? 0 : GetUInt64() / d);
    } else {
      ErBuffer::Divide(other);
    }
  }

 protected:
  int CompareWith(const ErBuffer& other) const override {
    if constexpr (kUnsigned64) return Order(GetUInt64(), other.GetUInt64());
    return Order(GetInt64(), other.GetInt64());
  }
};

// bdBool (4 bytes) and bool (1 byte): stored as 0 or 1, any non-zero byte
// pattern reads as true.
template <RecordNumber T, int16_t kCode>
class ErBufferBoolean : public ErBufferInteger<T, kCode> {
  using Base = ErBufferInteger<T, kCode>;

 public:
  using Base::Base;
  void SetFromBuffer(const ErBuffer& other) override { SetBool(other.GetBool()); }
  void SetInt64(int64_t v) override { this->Store(v != 0 ? 1 : 0); }
  void SetUInt64(uint64_t v) override { this->Store(v != 0 ? 1 : 0); }
  void SetBool(bool v) override { this->Store(v ? 1 : 0); }
  void SetDouble(double v) override { this->Store(v != 0.0 && !std::isnan(v) ? 1 : 0); }
  // The locale's words; a text that is no word reads as a number.
  void SetText(std::string_view text) override {
    bool value = false;
    if (!BoolFromText(text, &value)) value = ParseInteger(text) != 0;
    SetBool(value);
  }
  void SetMax() override { this->Store(1); }
  void SetMin() override { this->Store(0); }
  bool GetBool() const override { return this->Load() != 0; }
  Chaine GetText() const override { return BoolToText(GetBool()); }
  Chaine Format(int32_t width, int32_t, uint32_t) const override {
    return FitToWidth(GetText().view(), width, false);
  }
};

// The amount-in-words option of the number formatters.
Chaine AmountText(double value, int32_t width) {
  return FitToWidth(AmountInWords(value, ResourceLanguage()), width, false);
}

// Decimal separator of the formatted numbers.
Chaine WithComma(Chaine text) {
  text.Replace('.', ',');
  return text;
}

template <typename T, int16_t kCode>
class ErBufferFloating : public StoredNumber<T> {
 public:
  using StoredNumber<T>::StoredNumber;
  int16_t GetTypeCode() const override { return kCode; }
  void SetFromBuffer(const ErBuffer& other) override { SetDouble(other.GetDouble()); }
  void SetDouble(double v) override {
    if constexpr (sizeof(T) == 4) {
      this->Store(SaturatingToFloat(v));
    } else {
      this->Store(v);
    }
  }
  void SetInt64(int64_t v) override { SetDouble(static_cast<double>(v)); }
  void SetUInt64(uint64_t v) override { SetDouble(static_cast<double>(v)); }
  void SetText(std::string_view text) override { SetDouble(ParseDouble(text)); }
  // The smallest positive normal number, not the most negative one.
  void SetMax() override { this->Store(std::numeric_limits<T>::max()); }
  void SetMin() override { this->Store(std::numeric_limits<T>::min()); }
  void Clear() override { this->Store(T{}); }
  Chaine Format(int32_t width, int32_t decimals, uint32_t flags) const override {
    if ((flags & kFormatAlternate) != 0) return AmountText(GetDouble(), width);
    Chaine text = decimals >= 0 ? FixedText(GetDouble(), decimals) : GetText();
    return FitToWidth(WithComma(text).view(), width, true);
  }
  double GetDouble() const override { return static_cast<double>(this->Load()); }
  float GetFloat() const override {
    if constexpr (sizeof(T) == 4) return this->Load();
    return SaturatingToFloat(this->Load());
  }
  Chaine GetText() const override { return DoubleText(GetDouble()); }
  int64_t GetInt64() const override { return SaturatingToInt64(GetDouble()); }
  uint64_t GetUInt64() const override { return SaturatingToUInt64(GetDouble()); }
  bool IsEmpty() const override { return this->Load() == T{}; }
  void Add(const ErBuffer& other) override { SetDouble(GetDouble() + other.GetDouble()); }
  void Subtract(const ErBuffer& other) override { SetDouble(GetDouble() - other.GetDouble()); }
  void Multiply(const ErBuffer& other) override { SetDouble(GetDouble() * other.GetDouble()); }
  void Divide(const ErBuffer& other) override {
    double d = other.GetDouble();
    SetDouble(d == 0.0 ? 0.0 : GetDouble() / d);
  }
  int16_t ResultType(char op, const ErBuffer&, int32_t* size) const override {
    if (size != nullptr) *size = -1;
    return op == '*' || op == '+' || op == '-' || op == '/' ? kDoubleCode : kOperatorRefused;
  }
  int16_t GetArithmeticType() const override { return kDoubleCode; }

 protected:
  int CompareWith(const ErBuffer& other) const override {
    return Order(GetDouble(), other.GetDouble());
  }
};

// One fixed-point kind into another: the stored integer rescaled, cut toward
// zero; 0 when the result does not fit.
template <typename To, typename From>
To ConvertFixed(From value) {
  using Rep = decltype(To().Raw());
  int64_t raw = value.Raw();
  int64_t out;
  if constexpr (To::kScale >= From::kScale) {
    if (__builtin_mul_overflow(raw, To::kScale / From::kScale, &out)) return To();
  } else {
    out = raw / (From::kScale / To::kScale);
  }
  if (out < std::numeric_limits<Rep>::min() || out > std::numeric_limits<Rep>::max()) return To();
  return To::FromRaw(static_cast<Rep>(out));
}

template <typename V, int16_t kCode>
class ErBufferFixed : public ErBuffer {
  using Rep = decltype(V().Raw());

 public:
  using ErBuffer::ErBuffer;
  int16_t GetTypeCode() const override { return kCode; }
  void SetFromBuffer(const ErBuffer& other) override { Store(OwnGetter(other)); }
  void SetDouble(double v) override { Store(V::FromDouble(v)); }
  void SetInt64(int64_t v) override {
    int64_t raw;
    if (__builtin_mul_overflow(v, V::kScale, &raw) || raw < std::numeric_limits<Rep>::min() ||
        raw > std::numeric_limits<Rep>::max()) {
      raw = 0;
    }
    Store(V::FromRaw(static_cast<Rep>(raw)));
  }
  void SetUInt64(uint64_t v) override {
    SetInt64(v > static_cast<uint64_t>(INT64_MAX) ? 0 : static_cast<int64_t>(v));
  }
  void SetText(std::string_view text) override { Store(V::FromText(text)); }
  void SetCurrency(ECurrency v) override { Store(ConvertFixed<V>(v)); }
  void SetDecimal64(EDecimal64 v) override { Store(ConvertFixed<V>(v)); }
  void SetMax() override;
  void SetMin() override;
  void Clear() override { Store(V()); }
  Chaine Format(int32_t width, int32_t decimals, uint32_t flags) const override {
    if ((flags & kFormatAlternate) != 0) return AmountText(GetDouble(), width);
    return Load().Format(width, decimals);
  }
  double GetDouble() const override { return Load().ToDouble(); }
  EDecimal32 GetDecimal32() const override { return ConvertFixed<EDecimal32>(Load()); }
  EDecimal64 GetDecimal64() const override { return ConvertFixed<EDecimal64>(Load()); }
  ECurrency GetCurrency() const override { return ConvertFixed<ECurrency>(Load()); }
  Chaine GetText() const override { return Load().Format(0, V::kDecimals); }
  int64_t GetInt64() const override { return Load().ToInteger(); }
  bool IsEmpty() const override { return Load().Raw() == 0; }
  void Add(const ErBuffer& other) override { AddRaw(OwnGetter(other).Raw(), false); }
  void Subtract(const ErBuffer& other) override { AddRaw(OwnGetter(other).Raw(), true); }
  void Multiply(const ErBuffer& other) override { Store(FixedProduct(Load(), OwnGetter(other))); }
  void Divide(const ErBuffer& other) override { Store(FixedQuotient(Load(), OwnGetter(other))); }
  int16_t ResultType(char op, const ErBuffer& other, int32_t* size) const override {
    if (size != nullptr) *size = -1;
    if (op != '*' && op != '+' && op != '-' && op != '/') return kOperatorRefused;
    if (kCode == TYPE_DECIMAL32 && other.GetArithmeticType() == kDoubleCode) return kDoubleCode;
    return kDecimal64Code;
  }
  int16_t GetArithmeticType() const override { return kDecimal64Code; }

 protected:
  int CompareWith(const ErBuffer& other) const override {
    return Order(Load().Raw(), OwnGetter(other).Raw());
  }

 private:
  static constexpr size_t kWidth = sizeof(Rep);
  V Load() const { return HasBytes(kWidth) ? V::FromBytes(data_) : V(); }
  void Store(V v) {
    if (HasBytes(kWidth)) v.ToBytes(data_);
  }
  static V OwnGetter(const ErBuffer& other) {
    if constexpr (std::is_same_v<V, EDecimal32>) return other.GetDecimal32();
    if constexpr (std::is_same_v<V, EDecimal64>) return other.GetDecimal64();
    if constexpr (std::is_same_v<V, ECurrency>) return other.GetCurrency();
  }
  // Sums that leave the stored range give 0.
  void AddRaw(int64_t other, bool subtract) {
    int64_t out;
    bool overflow = subtract ? __builtin_sub_overflow(static_cast<int64_t>(Load().Raw()), other, &out)
                             : __builtin_add_overflow(static_cast<int64_t>(Load().Raw()), other, &out);
    if (overflow || out < std::numeric_limits<Rep>::min() || out > std::numeric_limits<Rep>::max()) {
      out = 0;
    }
    Store(V::FromRaw(static_cast<Rep>(out)));
  }
};

// The extremes of the fixed-point kinds are those of their stored integers,
// except the largest EDecimal64, which is 2147483647.0000000.
template <>
void ErBufferFixed<EDecimal32, TYPE_DECIMAL32>::SetMax() {
  Store(EDecimal32::FromRaw(INT32_MAX));
}
template <>
void ErBufferFixed<EDecimal32, TYPE_DECIMAL32>::SetMin() {
  Store(EDecimal32::FromRaw(INT32_MIN));
}
template <>
void ErBufferFixed<EDecimal64, TYPE_DECIMAL64>::SetMax() {
  Store(EDecimal64::FromRaw(INT64_C(21474836470000000)));
}
template <>
void ErBufferFixed<EDecimal64, TYPE_DECIMAL64>::SetMin() {
  Store(EDecimal64::FromRaw(INT64_MIN));
}
template <>
void ErBufferFixed<ECurrency, TYPE_CURRENCY>::SetMax() {
  Store(ECurrency::FromRaw(INT64_MAX));
}
template <>
void ErBufferFixed<ECurrency, TYPE_CURRENCY>::SetMin() {
  Store(ECurrency::FromRaw(INT64_MIN));
}

}  // namespace

Chaine IntegerEditMask(int32_t width) {
  int32_t n = width == 0 ? 9 : std::min(width, 9);
  return n > 0 ? Chaine(std::string(static_cast<size_t>(n), '9')) : Chaine();
}

std::unique_ptr<ErBuffer> MakeNumberBuffer(BufferKind kind, int32_t size, bool upper) {
  switch (kind) {
    case BufferKind::kInt8: return std::make_unique<ErBufferInteger<int8_t, TYPE_INT8>>(size, upper);
    case BufferKind::kUInt8:
      return std::make_unique<ErBufferInteger<uint8_t, TYPE_UINT8>>(size, upper);
    case BufferKind::kInt16:
      return std::make_unique<ErBufferInteger<int16_t, TYPE_INT16>>(size, upper);
    case BufferKind::kUInt16:
      return std::make_unique<ErBufferInteger<uint16_t, TYPE_UINT16>>(size, upper);
    case BufferKind::kInt32:
      return std::make_unique<ErBufferInteger<int32_t, TYPE_LONG>>(size, upper);
    case BufferKind::kInt: return std::make_unique<ErBufferInteger<int32_t, TYPE_INT>>(size, upper);
    case BufferKind::kUInt32:
      return std::make_unique<ErBufferInteger<uint32_t, TYPE_UINT32>>(size, upper);
    case BufferKind::kInt64:
      return std::make_unique<ErBufferInteger<int64_t, TYPE_INT64, TYPE_INT64>>(size, upper);
    case BufferKind::kUInt64:
      return std::make_unique<ErBufferInteger<uint64_t, TYPE_UINT64, TYPE_UINT64>>(size, upper);
    case BufferKind::kbdBool:
      return std::make_unique<ErBufferBoolean<int32_t, TYPE_OLDBOOL>>(size, upper);
    case BufferKind::kBool: return std::make_unique<ErBufferBoolean<uint8_t, TYPE_BOOL>>(size, upper);
    case BufferKind::kDouble:
      return std::make_unique<ErBufferFloating<double, TYPE_DOUBLE>>(size, upper);
    case BufferKind::kFloat: return std::make_unique<ErBufferFloating<float, TYPE_FLOAT>>(size, upper);
    case BufferKind::kDec32:
      return std::make_unique<ErBufferFixed<EDecimal32, TYPE_DECIMAL32>>(size, upper);
    case BufferKind::kDec64:
      return std::make_unique<ErBufferFixed<EDecimal64, TYPE_DECIMAL64>>(size, upper);
    case BufferKind::kCurrency:
      return std::make_unique<ErBufferFixed<ECurrency, TYPE_CURRENCY>>(size, upper);
    default: return nullptr;
  }
}

}  // namespace tavelnor::record
