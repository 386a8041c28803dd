// The formula parser's last levels: functions, the DATE( and HEURE(
// constants, numbers, quoted texts and field names.
#include <charconv>
#include <cmath>
#include <string>

#include "dico/formula.h"
#include "dico/formula_parser_impl.h"

namespace tavelnor::dico::formula {
namespace {

enum class Family : uint8_t { kNumeric, kDate, kTime, kText, kDateConstant, kTimeConstant };

struct FunctionName {
  std::string_view name;  // upper case
  Family family;
  uint8_t fn;  // the family's enumerator
  int arity;   // 0 for the constants
};

template <typename Fn>
constexpr uint8_t F(Fn fn) {
  return static_cast<uint8_t>(fn);
}

constexpr FunctionName kFunctions[] = {
    {"ENTIER", Family::kNumeric, F(NumericFn::kEntier), 1},
    {"ARRONDI", Family::kNumeric, F(NumericFn::kArrondi), 1},
    {"EUROS", Family::kNumeric, F(NumericFn::kEuros), 1},
    {"FRANCS", Family::kNumeric, F(NumericFn::kFrancs), 1},
    {"AJOUTE_JOURS", Family::kDate, F(DateFn::kAjouteJours), 2},
    {"JOUR", Family::kDate, F(DateFn::kJour), 1},
    {"MOIS", Family::kDate, F(DateFn::kMois), 1},
    {"ANNEE", Family::kDate, F(DateFn::kAnnee), 1},
    {"AJOUTE_HEURES", Family::kTime, F(TimeFn::kAjouteHeures), 2},
    {"AJOUTE_MINUTES", Family::kTime, F(TimeFn::kAjouteMinutes), 2},
    {"LONGUEUR", Family::kText, F(TextFn::kLongueur), 1},
    {"CHAINE_DANS", Family::kText, F(TextFn::kChaineDans), 2},
    {"DATE", Family::kDateConstant, 0, 0},
    {"HEURE", Family::kTimeConstant, 0, 0},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

template <typename Fn>
Function<Fn> MakeFunction(uint8_t fn, NodePtr first, NodePtr second) {
  return Function<Fn>{static_cast<Fn>(fn), std::move(first), std::move(second)};
}

// Reads 1 to `max_digits` digits at *i into *value.
bool ReadField(std::string_view text, size_t* i, int max_digits, int32_t* value) {
  int digits = 0;
  *value = 0;
  while (*i < text.size() && IsDigit(text[*i]) && digits < max_digits) {
    *value = *value * 10 + (text[*i] - '0');
    ++*i;
    ++digits;
  }
  return digits > 0;
}

}  // namespace

NodePtr Parser::ParseFunction(size_t b, size_t e, int depth, bool* found) {
  if (text_[e - 1] != ')') return nullptr;
  for (const FunctionName& f : kFunctions) {
    if (e - b < f.name.size() + 2) continue;
    bool same = true;
    for (size_t k = 0; k < f.name.size() && same; ++k) same = AsciiUpper(text_[b + k]) == f.name[k];
    if (!same) continue;
    size_t open = b + f.name.size();
    while (open < e && IsBlank(text_[open])) ++open;
    if (open >= e || text_[open] != '(') continue;
    if (scan_.Match(open) != e - 1) continue;
    *found = true;
    size_t inner_b = open + 1;
    size_t inner_e = e - 1;
    if (f.family == Family::kDateConstant) return ParseDateConstant(b, inner_b, inner_e);
    if (f.family == Family::kTimeConstant) return ParseTimeConstant(b, inner_b, inner_e);
    size_t first_end = inner_e;
    if (f.arity == 2) {
      size_t comma = FormulaScan::npos;
      for (size_t i = inner_b; i < inner_e && comma == FormulaScan::npos; ++i) {
        if (text_[i] == ',' && AtLevel(inner_b, i)) comma = i;
      }
      if (comma == FormulaScan::npos) return Fail(formula_error::kSyntax, open);
      first_end = comma;
    }
    NodePtr first = Parse(inner_b, first_end, depth + 1);
    if (!first) return nullptr;
    NodePtr second;
    if (f.arity == 2) {
      second = Parse(first_end + 1, inner_e, depth + 1);
      if (!second) return nullptr;
    }
    NodePtr node = MakeNode(b);
    switch (f.family) {
      case Family::kNumeric:
        node->body = MakeFunction<NumericFn>(f.fn, std::move(first), std::move(second));
        break;
      case Family::kDate:
        node->body = MakeFunction<DateFn>(f.fn, std::move(first), std::move(second));
        break;
      case Family::kTime:
        node->body = MakeFunction<TimeFn>(f.fn, std::move(first), std::move(second));
        break;
      default:
        node->body = MakeFunction<TextFn>(f.fn, std::move(first), std::move(second));
        break;
    }
    return node;
  }
  return nullptr;
}

NodePtr Parser::ParseDateConstant(size_t b, size_t inner_b, size_t inner_e) {
  TrimBlanks(&inner_b, &inner_e);
  std::string_view inner = text_.substr(inner_b, inner_e - inner_b);
  record::sDate date;
  if (!inner.empty()) {
    size_t i = 0;
    int32_t day = 0, month = 0, year = 0;
    bool ok = ReadField(inner, &i, 2, &day) && i < inner.size() && inner[i++] == '/' &&
              ReadField(inner, &i, 2, &month) && i < inner.size() && inner[i++] == '/' &&
              ReadField(inner, &i, 5, &year) && i == inner.size() && year <= 0xFFFF;
    date = record::sDate{static_cast<uint8_t>(day), static_cast<uint8_t>(month),
                         static_cast<uint16_t>(year)};
    if (!ok || !date.IsValid()) return Fail(formula_error::kSyntax, inner_b);
  }
  NodePtr node = MakeNode(b);
  node->body = Constant{FormulaValue::Date(date)};
  return node;
}

NodePtr Parser::ParseTimeConstant(size_t b, size_t inner_b, size_t inner_e) {
  TrimBlanks(&inner_b, &inner_e);
  std::string_view inner = text_.substr(inner_b, inner_e - inner_b);
  record::sTime time;
  if (!inner.empty() && !time.FromColonText(inner)) {
    return Fail(formula_error::kSyntax, inner_b);
  }
  NodePtr node = MakeNode(b);
  node->body = Constant{FormulaValue::Time(time)};
  return node;
}

NodePtr Parser::ParseLeaf(size_t b, size_t e, int depth) {
  if (IsDigit(text_[b])) return ParseNumber(b, e);
  if (text_[b] == '"') return ParseQuoted(b, e);
  return ParseName(b, e, depth);
}

NodePtr Parser::ParseNumber(size_t b, size_t e) {
  size_t i = b;
  int64_t value = 0;
  while (i < e && IsDigit(text_[i])) {
    if (value <= INT32_MAX) value = value * 10 + (text_[i] - '0');
    ++i;
  }
  FormulaValue constant;
  if (i == e && value <= INT32_MAX) {
    constant = FormulaValue::Integer(static_cast<int32_t>(value));
  } else {
    if (i < e) {
      // Digits, one decimal separator, digits.
      if ((text_[i] != '.' && text_[i] != ',') || i + 1 == e) {
        return Fail(formula_error::kSyntax, b);
      }
      for (size_t k = i + 1; k < e; ++k) {
        if (!IsDigit(text_[k])) return Fail(formula_error::kSyntax, b);
      }
    }
    std::string digits(text_.substr(b, e - b));
    if (i < e) digits[i - b] = '.';
    double real = 0.0;
    auto r = std::from_chars(digits.data(), digits.data() + digits.size(), real);
    if (r.ec != std::errc() || !std::isfinite(real)) return Fail(formula_error::kSyntax, b);
    constant = FormulaValue::Real(real);
  }
  NodePtr node = MakeNode(b);
  node->body = Constant{std::move(constant)};
  return node;
}

NodePtr Parser::ParseQuoted(size_t b, size_t e) {
  if (e - b < 2 || text_[e - 1] != '"') return Fail(formula_error::kSyntax, b);
  std::string value;
  for (size_t i = b + 1; i + 1 < e; ++i) {
    if (text_[i] == '"') {
      // Inside a text constant a quote is written twice.
      if (i + 2 >= e || text_[i + 1] != '"') return Fail(formula_error::kSyntax, i);
      ++i;
    }
    value.push_back(text_[i]);
  }
  NodePtr node = MakeNode(b);
  node->body = Constant{FormulaValue::Text(value)};
  return node;
}

size_t Parser::ReadNamePart(size_t i, size_t e, std::string* part) const {
  constexpr size_t npos = FormulaScan::npos;
  if (i >= e) return npos;
  if (text_[i] == '{') {
    size_t close = scan_.Match(i);
    if (close == npos || close >= e || text_[close] != '}' || close == i + 1) return npos;
    part->assign(text_.substr(i + 1, close - i - 1));
    return close + 1;
  }
  size_t j = i;
  while (j < e && IsNameChar(text_[j])) ++j;
  if (j == i || IsDigit(text_[i])) return npos;
  part->assign(text_.substr(i, j - i));
  return j;
}

NodePtr Parser::ParseName(size_t b, size_t e, int depth) {
  constexpr size_t npos = FormulaScan::npos;
  FieldRef ref;
  size_t i = ReadNamePart(b, e, &ref.name);
  if (i == npos) return Fail(formula_error::kSyntax, b);
  if (i < e && text_[i] == '.') {
    ref.table = std::move(ref.name);
    i = ReadNamePart(i + 1, e, &ref.name);
    if (i == npos) return Fail(formula_error::kSyntax, b);
  }
  if (i < e && text_[i] == '[') {
    size_t close = scan_.Match(i);
    if (close != e - 1 || text_[close] != ']') return Fail(formula_error::kSyntax, i);
    ref.index = Parse(i + 1, close, depth + 1);
    if (!ref.index) return nullptr;
    i = e;
  }
  if (i != e) return Fail(formula_error::kSyntax, i);
  NodePtr node = MakeNode(b);
  node->body = std::move(ref);
  return node;
}

}  // namespace tavelnor::dico::formula
