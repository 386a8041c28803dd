// The formula parser: balance check, then splitting of the text at the
// operator of lowest precedence found outside quotes and brackets, in this
// order: enclosing parentheses, SI ... ALORS ... SINON, OU/OX, ET, NON(...),
// comparisons, "+"/"-" (or a leading sign), "*" "/" "%" "^", functions and
// the DATE( / HEURE( constants, then leaves. Operators of one level are
// collected into one chain node (left grouping).
//
// Cost: every split level scans its part of the text a fixed number of
// times; recursion stops at kMaxFormulaDepth, so parsing is linear in the
// text length times that depth.
#pragma once

#include <cstdint>
#include <string_view>

#include "dico/formula_node.h"

namespace tavelnor::dico::formula {

struct ParseError {
  int code = 0;
  int32_t position = 0;
};

// Parses `text` (already trimmed). Null with *error set on failure.
NodePtr ParseFormula(std::string_view text, ParseError* error);

}  // namespace tavelnor::dico::formula
