// Helpers for the formula tests: value shorthands, a field source backed by
// a map that records what it was asked, and one call that creates and
// evaluates a formula.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "dico/formula.h"

namespace tavelnor::dico {

// How the tests print a value (found by argument lookup).
inline void PrintTo(const FormulaValue& v, std::ostream* os) {
  *os << "kind " << static_cast<int>(v.kind()) << " '" << v.ToText().view() << "'";
}

}  // namespace tavelnor::dico

namespace tavelnor::dico::testing {

inline FormulaValue I(int32_t v) { return FormulaValue::Integer(v); }
inline FormulaValue R(double v) { return FormulaValue::Real(v); }
inline FormulaValue T(const char* s) { return FormulaValue::Text(s); }
inline FormulaValue B(bool v) { return FormulaValue::Bool(v); }
inline FormulaValue D(int day, int month, int year) {
  return FormulaValue::Date(record::sDate{static_cast<uint8_t>(day), static_cast<uint8_t>(month),
                                          static_cast<uint16_t>(year)});
}
inline FormulaValue H(int hour, int minute, int second = 0, int hundredths = 0) {
  return FormulaValue::Time(record::sTime{static_cast<uint8_t>(hundredths),
                                          static_cast<uint8_t>(second),
                                          static_cast<uint8_t>(minute),
                                          static_cast<uint8_t>(hour)});
}

// Fields by (table, name, index); the table is empty for the own table and
// the index -1 for none.
class MapSource : public FormulaFieldSource {
 public:
  using Key = std::tuple<std::string, std::string, int32_t>;
  void Set(std::string table, std::string name, int32_t index, FormulaValue v) {
    fields_[Key{std::move(table), std::move(name), index}] = std::move(v);
  }
  bool Lookup(std::string_view table, std::string_view name, int32_t index,
              FormulaValue* out) override {
    Key key{std::string(table), std::string(name), index};
    asked.push_back(key);
    auto it = fields_.find(key);
    if (it == fields_.end()) return false;
    *out = it->second;
    return true;
  }
  std::vector<Key> asked;

 private:
  std::map<Key, FormulaValue> fields_;
};

struct Outcome {
  FormulaValue value;
  int error = 0;
  int position = 0;
};

// Creates and, when that succeeded, evaluates `text`.
inline Outcome RunFormula(std::string_view text, FormulaFieldSource* source = nullptr,
                   bool division_check = true) {
  Formula f;
  f.SetDivisionCheck(division_check);
  Outcome o;
  if (f.Create(nullptr, nullptr, text)) {
    bool ok = f.Evaluate(&o.value, source);
    EXPECT_EQ(ok, f.ErrorCode() == 0) << text;
  }
  o.error = f.ErrorCode();
  o.position = f.ErrorPosition();
  return o;
}

// One row of a table: a text and either its value or its error and position.
struct FormulaCase {
  const char* text;
  FormulaValue value;
  int error = 0;
  int position = 0;
};
inline FormulaCase Ok(const char* text, FormulaValue v) { return {text, std::move(v), 0, 0}; }
inline FormulaCase Err(const char* text, int code, int position) {
  return {text, FormulaValue(), code, position};
}
inline void PrintTo(const FormulaCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

inline void ExpectOutcome(const FormulaCase& c, const Outcome& o) {
  if (c.error == 0) {
    EXPECT_EQ(o.error, 0) << "at " << o.position;
    EXPECT_EQ(o.value, c.value);
  } else {
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(o.position, c.position);
  }
}

}  // namespace tavelnor::dico::testing
