// Formula: creation (trim and parse) and evaluation.
#include "dico/formula.h"

#include "dico/formula_eval.h"
#include "dico/formula_node.h"
#include "dico/formula_parser.h"

namespace tavelnor::dico {

Formula::Formula() = default;
Formula::~Formula() = default;
Formula::Formula(Formula&&) noexcept = default;
Formula& Formula::operator=(Formula&&) noexcept = default;

bool Formula::Create(const DDicoBase* field, const DRubricTable* table, std::string_view text) {
  field_ = field;
  table_ = table;
  root_.reset();
  error_code_ = 0;
  error_position_ = 0;
  // The dictionary holds formulas as zero-terminated texts.
  if (size_t zero = text.find('\0'); zero != std::string_view::npos) text = text.substr(0, zero);
  size_t b = text.find_first_not_of(" \t");
  size_t e = text.find_last_not_of(" \t");
  text_ = b == std::string_view::npos ? std::string() : std::string(text.substr(b, e - b + 1));
  formula::ParseError error;
  root_ = formula::ParseFormula(text_, &error);
  if (!root_) {
    error_code_ = error.code;
    error_position_ = error.position;
    return false;
  }
  return true;
}

bool Formula::Evaluate(FormulaValue* result, FormulaFieldSource* source) {
  if (result != nullptr) *result = FormulaValue();
  if (!root_) {
    // Nothing parsed: keep the parse error, or report the missing text.
    if (error_code_ == 0) error_code_ = formula_error::kSyntax;
    return false;
  }
  error_code_ = 0;
  error_position_ = 0;
  formula::Evaluator evaluator(source, division_check_);
  FormulaValue value;
  if (!evaluator.Eval(*root_, &value)) {
    error_code_ = evaluator.code();
    error_position_ = evaluator.position();
    return false;
  }
  if (result != nullptr) *result = std::move(value);
  return true;
}

}  // namespace tavelnor::dico
