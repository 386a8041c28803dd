// FormulaValue: construction, accessors and the text form used when the
// branches of a conditional mix kinds.
#include "dico/formula_value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "record/value_text.h"

namespace tavelnor::dico {

FormulaValue FormulaValue::Text(std::string_view text) {
  return FormulaValue(FormulaKind::kText, Chaine(text));
}
FormulaValue FormulaValue::Integer(int32_t value) {
  return FormulaValue(FormulaKind::kInteger, value);
}
FormulaValue FormulaValue::Real(double value) { return FormulaValue(FormulaKind::kReal, value); }
FormulaValue FormulaValue::RealAlt(double value) {
  return FormulaValue(FormulaKind::kRealAlt, value);
}
FormulaValue FormulaValue::Date(record::sDate date) {
  return FormulaValue(FormulaKind::kDate, date);
}
FormulaValue FormulaValue::Time(record::sTime time) {
  return FormulaValue(FormulaKind::kTime, time);
}
FormulaValue FormulaValue::Bool(bool value) { return FormulaValue(FormulaKind::kBool, value); }

Chaine FormulaValue::text() const {
  const Chaine* p = std::get_if<Chaine>(&payload_);
  return p != nullptr ? *p : Chaine();
}
int32_t FormulaValue::integer() const {
  const int32_t* p = std::get_if<int32_t>(&payload_);
  return p != nullptr ? *p : 0;
}
double FormulaValue::real() const {
  const double* p = std::get_if<double>(&payload_);
  return p != nullptr ? *p : 0.0;
}
record::sDate FormulaValue::date() const {
  const record::sDate* p = std::get_if<record::sDate>(&payload_);
  return p != nullptr ? *p : record::sDate{};
}
record::sTime FormulaValue::time() const {
  const record::sTime* p = std::get_if<record::sTime>(&payload_);
  return p != nullptr ? *p : record::sTime{};
}
bool FormulaValue::boolean() const {
  const bool* p = std::get_if<bool>(&payload_);
  return p != nullptr && *p;
}

bool FormulaValue::IsNumeric() const {
  switch (kind_) {
    case FormulaKind::kInteger:
    case FormulaKind::kReal:
    case FormulaKind::kRealAlt:
    case FormulaKind::kBool:
      return true;
    default:
      return false;
  }
}

double FormulaValue::AsDouble() const {
  switch (kind_) {
    case FormulaKind::kInteger:
      return integer();
    case FormulaKind::kReal:
    case FormulaKind::kRealAlt:
      return real();
    case FormulaKind::kBool:
      return boolean() ? 1.0 : 0.0;
    default:
      return 0.0;
  }
}

Chaine FormulaValue::ToText() const {
  char buf[16];
  switch (kind_) {
    case FormulaKind::kText:
      return text();
    case FormulaKind::kInteger:
      return record::IntegerText(integer());
    case FormulaKind::kReal:
    case FormulaKind::kRealAlt:
      return RealDecimalText(real());
    case FormulaKind::kDate: {
      record::sDate d = date();
      if (d.IsEmpty()) return Chaine();
      std::snprintf(buf, sizeof buf, "%02u/%02u/%04u", static_cast<unsigned>(d.day),
                    static_cast<unsigned>(d.month), static_cast<unsigned>(d.year));
      return Chaine(buf);
    }
    case FormulaKind::kTime: {
      record::sTime t = time();
      std::snprintf(buf, sizeof buf, "%02u:%02u", static_cast<unsigned>(t.hour),
                    static_cast<unsigned>(t.minute));
      return Chaine(buf);
    }
    case FormulaKind::kBool:
      return Chaine(boolean() ? "1" : "0");
    case FormulaKind::kNone:
      break;
  }
  return Chaine();
}

bool operator==(const FormulaValue& a, const FormulaValue& b) {
  return a.kind_ == b.kind_ && a.payload_ == b.payload_;
}

Chaine RealDecimalText(double value) {
  if (!std::isfinite(value)) return Chaine();
  // The largest doubles take 309 digits before the point; the shortest
  // fixed form of the smallest ones about 330 after it.
  char buf[800];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (r.ec != std::errc()) return Chaine();
  return Chaine(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

}  // namespace tavelnor::dico
