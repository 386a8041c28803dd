// FormulaValue: the value of a formula and of every step of its evaluation.
//
// A value has one kind (codes as the formula object reports them):
//   0 text (owned), 1 integer (signed 32-bit), 2 real (double),
//   3 real held in a second form (treated as 2 by every operator),
//   4 date (sDate), 5 time (sTime), 6 boolean, 9 no value yet.
// Accessors of another kind's payload answer that payload's zero value.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <variant>

#include "foundation/chaine.h"
#include "record/date_value.h"
#include "record/time_value.h"

namespace tavelnor::dico {

enum class FormulaKind : uint8_t {
  kText = 0,
  kInteger = 1,
  kReal = 2,
  kRealAlt = 3,
  kDate = 4,
  kTime = 5,
  kBool = 6,
  kNone = 9,
};

class FormulaValue {
 public:
  FormulaValue() = default;  // kNone

  static FormulaValue Text(std::string_view text);
  static FormulaValue Integer(int32_t value);
  static FormulaValue Real(double value);
  static FormulaValue RealAlt(double value);
  static FormulaValue Date(record::sDate date);
  static FormulaValue Time(record::sTime time);
  static FormulaValue Bool(bool value);

  FormulaKind kind() const { return kind_; }
  // The kind with 3 folded into 2, as the operators see it.
  FormulaKind OperandKind() const {
    return kind_ == FormulaKind::kRealAlt ? FormulaKind::kReal : kind_;
  }

  Chaine text() const;
  int32_t integer() const;
  double real() const;  // kinds 2 and 3
  record::sDate date() const;
  record::sTime time() const;
  bool boolean() const;

  // Integer, real (2 or 3) or boolean: the kinds that have a truth and a
  // numeric value (a boolean counts 0 or 1).
  bool IsNumeric() const;
  double AsDouble() const;  // for IsNumeric() values; 0 otherwise
  bool Truth() const { return AsDouble() != 0.0; }

  // The text form a conditional gives when its branches mix kinds: integer
  // in decimal, real in decimal notation without exponent ("." separator),
  // date as dd/mm/yyyy (empty for the empty date), time as hh:mm, boolean as
  // 1 or 0, no value as an empty text; a text stays as it is.
  Chaine ToText() const;

  friend bool operator==(const FormulaValue& a, const FormulaValue& b);

 private:
  using Payload =
      std::variant<std::monostate, Chaine, int32_t, double, record::sDate, record::sTime, bool>;
  FormulaValue(FormulaKind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

  FormulaKind kind_ = FormulaKind::kNone;
  Payload payload_;
};

// Decimal notation of a real without exponent ("." separator, the shortest
// digits that read back the same value); empty for infinities and NaN.
Chaine RealDecimalText(double value);

}  // namespace tavelnor::dico
