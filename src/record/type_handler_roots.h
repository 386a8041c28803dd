// The root families of the type handlers: one class per category, between
// ETypeHandler and the concrete handlers of type_handler_generic.h.
//
// Every category has a root value type through which its members convert
// (CategoryRoot); a root family implements the getters, comparisons and
// arithmetic of its category on that value, and leaves GetValue/SetValue to
// the concrete handler, which converts between the root type and its own.
//   numeric roots: 2 (double), 26 (signed 64-bit), 27 (unsigned 64-bit),
//                  29 (ECurrency)
//   generic roots: 4, 5, 19, 25, 28, 34, 161 (type_handler_root_generic.h)
//   poor roots:    30 (EGuid), 32, 35, 36, 37 (blob kinds)
#pragma once

#include <compare>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include "foundation/case_tables.h"
#include "record/type_handler.h"
#include "record/type_handler_registry.h"
#include "record/type_handler_values.h"

namespace tavelnor::record {

// The root value type of a category and the getter that reads another
// handler's value as it.
template <int32_t kCat>
struct CategoryRoot;

#define TAVELNOR_CATEGORY_ROOT(cat, type, getter)                        \
  template <>                                                            \
  struct CategoryRoot<cat> {                                             \
    using Value = type;                                                  \
    static Value Read(const ETypeHandler& h) { return h.getter(); }      \
  }

TAVELNOR_CATEGORY_ROOT(2, double, GetDouble);
TAVELNOR_CATEGORY_ROOT(26, int64_t, GetInt64);
TAVELNOR_CATEGORY_ROOT(27, uint64_t, GetUInt64);
TAVELNOR_CATEGORY_ROOT(29, ECurrency, GetCurrency);
TAVELNOR_CATEGORY_ROOT(5, sTime, GetTime);
TAVELNOR_CATEGORY_ROOT(19, bool, GetBool);
TAVELNOR_CATEGORY_ROOT(25, Chaine, GetText);
TAVELNOR_CATEGORY_ROOT(161, Chaine, GetText);
TAVELNOR_CATEGORY_ROOT(28, ETimeStamp, GetTimeStamp);
TAVELNOR_CATEGORY_ROOT(34, sBlobRichText, GetRichText);
TAVELNOR_CATEGORY_ROOT(30, EGuid, GetGuid);
TAVELNOR_CATEGORY_ROOT(32, sBlob, GetBlob);
TAVELNOR_CATEGORY_ROOT(35, sBlobImage, GetImage);
TAVELNOR_CATEGORY_ROOT(36, sBlobSound, GetSound);
TAVELNOR_CATEGORY_ROOT(37, sBlobVideo, GetVideo);

#undef TAVELNOR_CATEGORY_ROOT

// A date that GetDate does not answer as valid is taken as the empty date,
// so that no invalid date reaches a record.
template <>
struct CategoryRoot<4> {
  using Value = sDate;
  static Value Read(const ETypeHandler& h) {
    sDate date;
    return h.GetDate(&date) ? date : sDate();
  }
};

constexpr bool IsNumericCategory(int32_t c) { return c == 2 || c == 26 || c == 27 || c == 29; }
constexpr bool IsPoorCategory(int32_t c) { return c == 30 || c == 32 || (c >= 35 && c <= 37); }
constexpr bool IsTextCategory(int32_t c) { return c == 25 || c == 161; }

// What every root family shares: the category, the root value and Assign.
template <int32_t kCat>
class ETypeHandlerRootBase : public ETypeHandler {
 public:
  using RootValue = typename CategoryRoot<kCat>::Value;
  static constexpr int32_t kCategory = kCat;

  // The value converted to the category's root value type.
  virtual RootValue GetValue() const = 0;
  // Stores a root value converted to the handler's own type.
  virtual void SetValue(const RootValue& value) = 0;

  int32_t GetCategory() const override { return kCat; }
  void Assign(const ETypeHandler& other) override { SetValue(ReadRoot(other)); }

  static RootValue ReadRoot(const ETypeHandler& other) { return CategoryRoot<kCat>::Read(other); }
};

// Root families whose values have an order: IsEqual, IsLess and IsGreater
// compare this value with the other handler's read through the root type.
// Texts: 25 byte by byte as unsigned bytes, 161 the same after the upper-case
// table, a prefix before the longer text; dates and times: their packed
// 32-bit numbers; RTF memos: their bytes. NaN is unordered: false three times.
template <int32_t kCat>
class ETypeHandlerRootOrdered : public ETypeHandlerRootBase<kCat> {
  using Base = ETypeHandlerRootBase<kCat>;

 public:
  using typename Base::RootValue;

  bool IsEqual(const ETypeHandler& other) const override {
    return Order(other) == std::partial_ordering::equivalent;
  }
  bool IsLess(const ETypeHandler& other) const override {
    return Order(other) == std::partial_ordering::less;
  }
  bool IsGreater(const ETypeHandler& other) const override {
    return Order(other) == std::partial_ordering::greater;
  }

  static std::partial_ordering OrderValues(const RootValue& a, const RootValue& b) {
    if constexpr (kCat == 25) {
      return a.Compare(b.view()) <=> 0;
    } else if constexpr (kCat == 161) {
      return CompareNoCase1252(a.view(), b.view()) <=> 0;
    } else if constexpr (kCat == 4 || kCat == 5) {
      return a.Packed() <=> b.Packed();
    } else if constexpr (kCat == 34) {
      return a.Bytes() <=> b.Bytes();
    } else {
      return a <=> b;
    }
  }

 private:
  std::partial_ordering Order(const ETypeHandler& other) const {
    return OrderValues(this->GetValue(), Base::ReadRoot(other));
  }
};

template <int32_t kCat>
class ETypeHandlerRootNumeric : public ETypeHandlerRootOrdered<kCat> {
  static_assert(IsNumericCategory(kCat));
  using Base = ETypeHandlerRootOrdered<kCat>;

 public:
  using typename Base::RootValue;

  TypeIconId GetIconId() const override { return kTypeIconNumber; }
  bool IsEmpty() const override { return this->GetValue() == RootValue{}; }

  int64_t GetInt64() const override {
    RootValue v = this->GetValue();
    if constexpr (kCat == 2) {
      return DoubleToInt64(v);
    } else if constexpr (kCat == 29) {
      return v.ToInteger();
    } else {
      return static_cast<int64_t>(v);
    }
  }
  uint64_t GetUInt64() const override {
    RootValue v = this->GetValue();
    if constexpr (kCat == 27) {
      return v;
    } else if constexpr (kCat == 2) {
      return v < 0 ? static_cast<uint64_t>(DoubleToInt64(v)) : DoubleToUInt64(v);
    } else {
      return static_cast<uint64_t>(GetInt64());
    }
  }
  double GetDouble() const override {
    RootValue v = this->GetValue();
    if constexpr (kCat == 29) {
      return v.ToDouble();
    } else {
      return static_cast<double>(v);
    }
  }
  ECurrency GetCurrency() const override {
    RootValue v = this->GetValue();
    if constexpr (kCat == 29) {
      return v;
    } else if constexpr (kCat == 2) {
      return ECurrency::FromDouble(v);
    } else if constexpr (kCat == 27) {
      return std::in_range<int64_t>(v) ? ECurrency::FromInteger(static_cast<int64_t>(v))
                                       : ECurrency();
    } else {
      return ECurrency::FromInteger(v);
    }
  }
  bool GetBool() const override { return this->GetValue() != RootValue{}; }
  Chaine GetText() const override {
    RootValue v = this->GetValue();
    if constexpr (kCat == 29) {
      return v.Format(0, ECurrency::kDecimals);
    } else {
      return NumberText(v);
    }
  }

  // A new direct handler of this category's root code holding
  // `this op other`, the other operand read through the root type's getter.
  std::unique_ptr<ETypeHandler> Add(const ETypeHandler& other) const override {
    return Combine('+', other);
  }
  std::unique_ptr<ETypeHandler> Subtract(const ETypeHandler& other) const override {
    return Combine('-', other);
  }
  std::unique_ptr<ETypeHandler> Multiply(const ETypeHandler& other) const override {
    return Combine('*', other);
  }
  std::unique_ptr<ETypeHandler> Divide(const ETypeHandler& other) const override {
    return Combine('/', other);
  }

  // The four operators are allowed with a number (general type 2) and give
  // this category's root code; any other operand or operator gives -1. Dates,
  // times and booleans are not numbers here: their general types are 26 and
  // -1.
  int32_t ResultType(char op, const ETypeHandler& other) const override {
    bool arithmetic = op == '+' || op == '-' || op == '*' || op == '/';
    return arithmetic && other.GetGeneralType() == 2 ? kCat : -1;
  }

 private:
  std::unique_ptr<ETypeHandler> Combine(char op, const ETypeHandler& other) const {
    std::unique_ptr<ETypeHandler> result = GetDirectTypeHandler(kCat, -1);
    if (auto* numeric = dynamic_cast<ETypeHandlerRootNumeric*>(result.get())) {
      numeric->SetValue(ApplyOperator(op, this->GetValue(), Base::ReadRoot(other)));
    }
    return result;
  }
};

// GUID and blob kinds: their own getter, equality, nothing else. The blob
// kinds answer every blob getter with their bytes, so that any blob can be
// assigned to another kind of blob.
template <int32_t kCat>
class ETypeHandlerRootPoor : public ETypeHandlerRootBase<kCat> {
  static_assert(IsPoorCategory(kCat));
  static constexpr bool kBlob = kCat != 30;

 public:
  TypeIconId GetIconId() const override {
    switch (kCat) {
      case 35:
        return kTypeIconImage;
      case 36:
        return kTypeIconSound;
      case 37:
        return kTypeIconVideo;
      default:
        return kTypeIconBinary;
    }
  }

  EGuid GetGuid() const override {
    if constexpr (kBlob) {
      return ETypeHandler::GetGuid();
    } else {
      return this->GetValue();
    }
  }
  Chaine GetText() const override {
    if constexpr (kBlob) {
      return ETypeHandler::GetText();
    } else {
      return this->GetValue().ToText();
    }
  }
  sBlob GetBlob() const override { return AsBlob<sBlob>(); }
  sBlobImage GetImage() const override { return AsBlob<sBlobImage>(); }
  sBlobSound GetSound() const override { return AsBlob<sBlobSound>(); }
  sBlobVideo GetVideo() const override { return AsBlob<sBlobVideo>(); }

  bool IsEqual(const ETypeHandler& other) const override {
    return this->GetValue() == ETypeHandlerRootBase<kCat>::ReadRoot(other);
  }

 private:
  template <typename B>
  B AsBlob() const {
    if constexpr (kBlob) {
      return B(this->GetValue().Bytes());
    } else {
      return B();
    }
  }
};

}  // namespace tavelnor::record
