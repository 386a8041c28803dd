// The generic root families of the type handlers: texts (25, and 161 that
// compares without regard to case), date (4), time (5), boolean (19), time
// stamp (28) and RTF memo (34). The primary template is the text family;
// the others are its explicit specializations. Their comparisons come from
// ETypeHandlerRootOrdered (type_handler_roots.h).
//
// Texts convert to the other kinds by parsing with the value classes'
// readers; an unreadable text gives the empty value or 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "record/bool_value.h"
#include "record/rtf_text.h"
#include "record/type_catalog.h"
#include "record/type_handler_roots.h"

namespace tavelnor::record {

// Texts: categories 25 and 161.
template <int32_t kCat>
class ETypeHandlerRootGeneric : public ETypeHandlerRootOrdered<kCat> {
  static_assert(IsTextCategory(kCat));

 public:
  // 161 and every text whose descriptor is not dynamic: the text icon.
  TypeIconId GetIconId() const override {
    if (kCat == 161) return kTypeIconText;
    return GetTypeDesc(this->GetTypeCode())->IsDynamic() ? kTypeIconDynamicText : kTypeIconText;
  }

  Chaine GetText() const override { return this->GetValue(); }
  int64_t GetInt64() const override { return ParseInt64(this->GetValue().view()); }
  uint64_t GetUInt64() const override { return ParseUInt64(this->GetValue().view()); }
  double GetDouble() const override { return ParseDouble(this->GetValue().view()); }
  ECurrency GetCurrency() const override { return ECurrency::FromText(this->GetValue().view()); }
  // The locale's words for true and false, else a number that is not 0.
  bool GetBool() const override {
    Chaine text = this->GetValue();
    bool value = false;
    if (BoolFromText(text.view(), &value)) return value;
    return ParseDouble(text.view()) != 0.0;
  }
  bool GetDate(sDate* date) const override {
    sDate d;
    d.FromText(this->GetValue().view());
    if (date != nullptr) *date = d;
    return d.IsValid();
  }
  sTime GetTime() const override {
    sTime t;
    t.FromText(this->GetValue().view());
    return t;
  }
  ETimeStamp GetTimeStamp() const override {
    ETimeStamp ts;
    ts.FromText(this->GetValue().view());
    return ts;
  }
  EGuid GetGuid() const override {
    EGuid guid;
    guid.FromText(this->GetValue().view());
    return guid;
  }
  sBlob GetBlob() const override { return sBlob(this->GetValue().view()); }

  // Only "+" with another text; the result is this category.
  int32_t ResultType(char op, const ETypeHandler& other) const override {
    return op == '+' && other.GetGeneralType() == 25 ? kCat : -1;
  }
  // The concatenation, in a direct Chaine handler (code 25 is the only direct
  // text handler; a case-insensitive caller compares the result as such).
  // Anything ResultType does not allow gives a base handler.
  std::unique_ptr<ETypeHandler> Add(const ETypeHandler& other) const override {
    if (ResultType('+', other) < 0) return ETypeHandler::Add(other);
    std::unique_ptr<ETypeHandler> result = GetDirectTypeHandler(25, -1);
    if (auto* text = dynamic_cast<ETypeHandlerRootBase<25>*>(result.get())) {
      text->SetValue(Chaine::Concat(this->GetValue().view(), other.GetText().view()));
    }
    return result;
  }
};

template <>
class ETypeHandlerRootGeneric<4> : public ETypeHandlerRootOrdered<4> {
 public:
  TypeIconId GetIconId() const override { return kTypeIconDate; }
  bool GetDate(sDate* date) const override {
    sDate d = GetValue();
    if (date != nullptr) *date = d;
    return d.IsValid();
  }
  // The day number; 0 for the empty date.
  int64_t GetInt64() const override { return GetValue().DayNumber(); }
  Chaine GetText() const override { return GetValue().ToText(); }
};

template <>
class ETypeHandlerRootGeneric<5> : public ETypeHandlerRootOrdered<5> {
 public:
  TypeIconId GetIconId() const override { return kTypeIconTime; }
  sTime GetTime() const override { return GetValue(); }
  // Seconds since midnight.
  int64_t GetInt64() const override { return GetValue().ToSeconds(); }
  Chaine GetText() const override { return GetValue().ToText(3); }
};

template <>
class ETypeHandlerRootGeneric<19> : public ETypeHandlerRootOrdered<19> {
 public:
  TypeIconId GetIconId() const override { return kTypeIconBool; }
  bool GetBool() const override { return GetValue(); }
  int64_t GetInt64() const override { return GetValue() ? 1 : 0; }
  Chaine GetText() const override { return BoolToText(GetValue()); }
};

template <>
class ETypeHandlerRootGeneric<28> : public ETypeHandlerRootOrdered<28> {
 public:
  TypeIconId GetIconId() const override { return kTypeIconDate; }
  ETimeStamp GetTimeStamp() const override { return GetValue(); }
  // The local date and time in the current zone.
  bool GetDate(sDate* date) const override {
    sDate d;
    sTime t;
    GetValue().ToLocal(TimeZone::Local(), &d, &t);
    if (date != nullptr) *date = d;
    return d.IsValid();
  }
  sTime GetTime() const override {
    sDate d;
    sTime t;
    GetValue().ToLocal(TimeZone::Local(), &d, &t);
    return t;
  }
  // Seconds since 1970-01-01; 0 for the empty time stamp.
  int64_t GetInt64() const override {
    ETimeStamp ts = GetValue();
    return ts.IsEmpty() ? 0 : ts.ToTimeT();
  }
  // Days since 1899-12-30 local time.
  double GetDouble() const override { return GetValue().ToOleDays(); }
  Chaine GetText() const override { return GetValue().ToText(); }
};

template <>
class ETypeHandlerRootGeneric<34> : public ETypeHandlerRootOrdered<34> {
 public:
  TypeIconId GetIconId() const override { return kTypeIconRichText; }
  sBlobRichText GetRichText() const override { return GetValue(); }
  Chaine GetText() const override { return Chaine(RtfToPlainText(GetValue().Bytes())); }
  sBlob GetBlob() const override { return sBlob(GetValue().Bytes()); }
};

}  // namespace tavelnor::record
