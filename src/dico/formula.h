// Formula: the expression a dictionary field may carry to compute its value
// from other fields, constants and functions (French keywords: SI ALORS
// SINON, ET, OU, OX, NON, ENTIER, ARRONDI...). Create parses the text once
// into a tree; Evaluate computes it on demand, reading fields through a
// caller-supplied FormulaFieldSource (the current record).
//
// Language decisions of this implementation:
// - Keywords and function names ignore case (ASCII letters).
// - Constants: a digit run is an integer (a real when beyond 2147483647);
//   digits, one "." or "," and digits a real; "..." a text, where a doubled
//   quote stands for one; DATE(d/m/y) a date (DATE() the empty date);
//   HEURE(h[:m[:s[:cc]]]) a time (HEURE() midnight).
// - Names: "field", "table.field", either followed by "[index]" (an integer
//   expression) for an array item. A part written in braces, "{Prix HT}",
//   is taken verbatim.
// - Logical operators: OU and OX bind loosest, then ET, then NON(...).
//   OX gives the truth of its left operand alone; both operands are
//   evaluated and checked as for ET and OU.
// - A "+" or "-" right after another operator, or at the start, is the sign
//   of its operand ("2*-3", "7 - -2"); a sign applies to integers and reals.
// - Integer "+", "-", "*" wrap around in 32 bits; an integer quotient
//   beyond 32 bits wraps the same way.
// - Comparisons give a boolean: integers, reals and booleans compare as
//   numbers, texts byte by byte (unsigned), dates and times by their packed
//   32-bit numbers. A text or date against another kind is error 14, other
//   mixes (times against non-times, no value) error 10.
// - AJOUTE_JOURS, AJOUTE_HEURES and AJOUTE_MINUTES need an integer count
//   (error 12 otherwise). The time functions keep the seconds and
//   hundredths and wrap around midnight.
// - ENTIER and ARRONDI hold reals beyond the 32-bit range at its limits.
// - In a SI whose other branch failed, the chosen value is kept as it is.
//
// Thread-safety: a Formula is not safe for concurrent use (Evaluate writes
// the error fields); distinct objects are independent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dico/formula_value.h"

namespace tavelnor::dico {

class DDicoBase;
class DRubricTable;
namespace formula {
struct Node;
}

// Error codes of the formula object (0 = none).
namespace formula_error {
inline constexpr int kNone = 0;
inline constexpr int kDivisionByZero = 1;
inline constexpr int kUnclosedParen = 6;       // a "(" without its ")"
inline constexpr int kExtraParen = 7;          // a ")" too many
inline constexpr int kKindMix = 10;            // kinds that cannot be combined
inline constexpr int kUndefinedForKind = 12;   // operator or function not defined for the kind
inline constexpr int kUnknownOperator = 13;    // operator outside + - * /
inline constexpr int kTextOrDateMix = 14;      // text or date mixed with another kind
inline constexpr int kConditionKind = 15;      // condition of a SI not numeric
inline constexpr int kLogicalOperand = 17;     // operand of ET, OU, OX, NON not numeric
inline constexpr int kIncompleteSi = 19;       // SI without ALORS or SINON
inline constexpr int kUnclosedBracket = 21;    // a "[" without its "]"
inline constexpr int kExtraBracket = 22;       // a "]" too many
inline constexpr int kUnclosedBrace = 23;      // a "{" without its "}"
inline constexpr int kExtraBrace = 24;         // a "}" too many
// Codes of this implementation, outside the ones above:
inline constexpr int kUnknownName = 30;    // the field source knows no such field (or item)
inline constexpr int kTooDeep = 31;        // nesting beyond kMaxFormulaDepth
inline constexpr int kSyntax = 32;         // missing operand, unreadable constant or name,
                                           // unknown function, wrong argument count
inline constexpr int kUnclosedQuote = 33;  // a text constant without its closing quote
}  // namespace formula_error

// How deep parentheses, functions, signs, conditionals and operator levels
// may nest; deeper formulas are refused with kTooDeep.
inline constexpr int kMaxFormulaDepth = 200;

// Answers the fields a formula names, from the record being computed.
class FormulaFieldSource {
 public:
  virtual ~FormulaFieldSource() = default;
  // `table` is empty for the formula's own table; `index` is -1 when the
  // formula gave none. Sets *out and answers true when the field (item)
  // exists; false makes the evaluation fail with kUnknownName.
  virtual bool Lookup(std::string_view table, std::string_view name, int32_t index,
                      FormulaValue* out) = 0;
};

class Formula {
 public:
  Formula();
  ~Formula();
  Formula(const Formula&) = delete;
  Formula& operator=(const Formula&) = delete;
  Formula(Formula&&) noexcept;
  Formula& operator=(Formula&&) noexcept;

  // Trims `text` of spaces and tabs at both ends (and cuts it at a zero
  // byte) and parses it. True when a tree was built; otherwise ErrorCode()
  // and ErrorPosition() tell why. `field` and `table` are kept for the
  // caller (they may be null); names are resolved only at evaluation.
  bool Create(const DDicoBase* field, const DRubricTable* table, std::string_view text);
  // The same for a zero-terminated text, as the dictionary hands it out
  // (DVariable::Formula()); null reads as an empty text.
  bool Create(const DDicoBase* field, const DRubricTable* table, const char* text) {
    return Create(field, table, text != nullptr ? std::string_view(text) : std::string_view());
  }

  // Evaluates the tree, reading fields through `source` (null: none known).
  // True when the error code stayed 0; then *result (when not null) holds
  // the value. After a failed Create it answers false and keeps the error.
  bool Evaluate(FormulaValue* result, FormulaFieldSource* source = nullptr);

  int ErrorCode() const { return error_code_; }
  // A character index in Text().
  int ErrorPosition() const { return error_position_; }

  // Division by zero: error 1 when on (the default), the real 0 when off.
  void SetDivisionCheck(bool on) { division_check_ = on; }
  bool DivisionCheck() const { return division_check_; }

  const std::string& Text() const { return text_; }
  const DDicoBase* Field() const { return field_; }
  const DRubricTable* Table() const { return table_; }
  bool HasTree() const { return root_ != nullptr; }

 private:
  std::string text_;
  std::unique_ptr<formula::Node> root_;
  const DDicoBase* field_ = nullptr;
  const DRubricTable* table_ = nullptr;
  int error_code_ = 0;
  int error_position_ = 0;
  bool division_check_ = true;
};

}  // namespace tavelnor::dico
