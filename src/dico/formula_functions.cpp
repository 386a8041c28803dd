// The formula functions: ENTIER, ARRONDI, EUROS, FRANCS (numbers),
// AJOUTE_JOURS, JOUR, MOIS, ANNEE (dates), AJOUTE_HEURES, AJOUTE_MINUTES
// (times), LONGUEUR and CHAINE_DANS (texts).
#include <algorithm>
#include <climits>
#include <cmath>

#include "dico/formula_eval.h"

namespace tavelnor::dico::formula {
namespace {

using K = FormulaKind;
namespace err = formula_error;

// The euro in francs.
constexpr double kFrancsPerEuro = 6.55957;

// A real to 32 bits: NaN gives 0, values beyond the range are held at its
// limits.
int32_t Saturate(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

double RoundToCents(double v) { return std::round(v * 100.0) / 100.0; }

// Moves `time` by `minutes`, around midnight either way; seconds and
// hundredths stay.
record::sTime AddMinutes(record::sTime time, int64_t minutes) {
  constexpr int64_t kDay = 24 * 60;
  int64_t m = (static_cast<int64_t>(time.hour) * 60 + time.minute + minutes) % kDay;
  if (m < 0) m += kDay;
  time.hour = static_cast<uint8_t>(m / 60);
  time.minute = static_cast<uint8_t>(m % 60);
  return time;
}

}  // namespace

template <typename Fn>
bool Evaluator::EvalArguments(const Function<Fn>& f, FormulaValue* first, FormulaValue* second) {
  if (!Eval(*f.first, first)) return false;
  return !f.second || Eval(*f.second, second);
}

bool Evaluator::EvalNode(const Node& n, const NumericFunction& f, FormulaValue* out) {
  FormulaValue x, unused;
  if (!EvalArguments(f, &x, &unused)) return false;
  K kind = x.OperandKind();
  if (kind != K::kInteger && kind != K::kReal) return Fail(err::kUndefinedForKind, n.position);
  switch (f.fn) {
    case NumericFn::kEntier:
      *out = kind == K::kInteger ? x : FormulaValue::Integer(Saturate(std::trunc(x.real())));
      return true;
    case NumericFn::kArrondi: {
      if (kind == K::kInteger) {
        *out = x;
        return true;
      }
      // The integer part, plus one when the fraction is 0.5 or more (so
      // -2.5 gives -2).
      double whole = std::trunc(x.real());
      double rounded = whole + (x.real() - whole >= 0.5 ? 1.0 : 0.0);
      *out = FormulaValue::Integer(Saturate(rounded));
      return true;
    }
    case NumericFn::kEuros:
      *out = FormulaValue::Real(RoundToCents(x.AsDouble() / kFrancsPerEuro));
      return true;
    case NumericFn::kFrancs:
      *out = FormulaValue::Real(RoundToCents(x.AsDouble() * kFrancsPerEuro));
      return true;
  }
  return Fail(err::kUndefinedForKind, n.position);
}

bool Evaluator::EvalNode(const Node& n, const DateFunction& f, FormulaValue* out) {
  FormulaValue d, count;
  if (!EvalArguments(f, &d, &count)) return false;
  if (d.kind() != K::kDate) return Fail(err::kUndefinedForKind, n.position);
  record::sDate date = d.date();
  switch (f.fn) {
    case DateFn::kAjouteJours:
      if (count.kind() != K::kInteger) return Fail(err::kUndefinedForKind, f.second->position);
      *out = FormulaValue::Date(date.Add(0, 0, count.integer()));
      return true;
    case DateFn::kJour:
      *out = FormulaValue::Integer(date.day);
      return true;
    case DateFn::kMois:
      *out = FormulaValue::Integer(date.month);
      return true;
    case DateFn::kAnnee:
      *out = FormulaValue::Integer(date.year);
      return true;
  }
  return Fail(err::kUndefinedForKind, n.position);
}

bool Evaluator::EvalNode(const Node& n, const TimeFunction& f, FormulaValue* out) {
  FormulaValue t, count;
  if (!EvalArguments(f, &t, &count)) return false;
  if (t.kind() != K::kTime) return Fail(err::kUndefinedForKind, n.position);
  if (count.kind() != K::kInteger) return Fail(err::kUndefinedForKind, f.second->position);
  int64_t minutes = count.integer();
  if (f.fn == TimeFn::kAjouteHeures) minutes *= 60;
  *out = FormulaValue::Time(AddMinutes(t.time(), minutes));
  return true;
}

bool Evaluator::EvalNode(const Node& n, const TextFunction& f, FormulaValue* out) {
  FormulaValue a, b;
  if (!EvalArguments(f, &a, &b)) return false;
  if (a.kind() != K::kText) return Fail(err::kUndefinedForKind, n.position);
  if (f.fn == TextFn::kLongueur) {
    *out = FormulaValue::Integer(
        static_cast<int32_t>(std::min<size_t>(a.text().Length(), INT32_MAX)));
    return true;
  }
  if (b.kind() != K::kText) return Fail(err::kUndefinedForKind, f.second->position);
  Chaine haystack = a.text();
  Chaine needle = b.text();
  bool found = !haystack.IsEmpty() && !needle.IsEmpty() &&
               haystack.Find(needle.view()) != Chaine::npos;
  *out = FormulaValue::Bool(found);
  return true;
}

}  // namespace tavelnor::dico::formula
