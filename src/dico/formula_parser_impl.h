// The parser's working state, shared by formula_parser.cpp (operator
// levels) and formula_leaves.cpp (functions, constants and names).
// Internal to the formula object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "dico/formula_node.h"
#include "dico/formula_parser.h"
#include "dico/formula_scan.h"

namespace tavelnor::dico::formula {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
// Characters a plain name may hold: anything printable except blanks and
// the characters the language gives a meaning.
bool IsNameChar(char c);

class Parser {
 public:
  Parser(const FormulaScan& scan, ParseError* error) : scan_(scan), text_(scan.text()),
                                                       error_(error) {}

  // Parses text_[b, e) at nesting `depth`; null after setting the error.
  NodePtr Parse(size_t b, size_t e, int depth);

 private:
  // An operator found at the level of the part being split.
  template <typename Op>
  struct Split {
    size_t at;
    size_t length;
    Op op;
  };

  NodePtr Fail(int code, size_t position);
  NodePtr MakeNode(size_t position) const;
  // The operators found at the level of one part, by precedence.
  struct Levels {
    std::vector<Split<LogicOp>> loose;  // OU, OX
    std::vector<Split<LogicOp>> et;
    std::vector<Split<CompareOp>> compare;
    std::vector<Split<ArithOp>> additive;
    std::vector<Split<ArithOp>> multiplicative;
  };

  // True when character i belongs to the part that starts at b (not in a
  // quoted text, no more brackets open than at b).
  bool AtLevel(size_t b, size_t i) const { return scan_.Levels()[i] == scan_.Depth(b); }
  // True when the keyword `word` (upper case) starts at i, ignoring case,
  // with no name character (nor "." or "[") joined to it inside [b, e).
  bool WordAt(size_t b, size_t e, size_t i, std::string_view word) const;

  NodePtr ParseConditional(size_t b, size_t e, int depth);
  // One pass over text_[b, e) collecting the operators at its level.
  void Classify(size_t b, size_t e, Levels* levels) const;
  NodePtr ParseNot(size_t b, size_t e, int depth, bool* found);
  NodePtr ParseSign(size_t b, size_t e, int depth);

  template <typename Op>
  NodePtr BuildChain(size_t b, size_t e, int depth, const std::vector<Split<Op>>& splits);

  // formula_leaves.cpp
  NodePtr ParseFunction(size_t b, size_t e, int depth, bool* found);
  // Moves [*b, *e) inwards past blanks at both ends.
  void TrimBlanks(size_t* b, size_t* e) const {
    while (*b < *e && IsBlank(text_[*b])) ++*b;
    while (*e > *b && IsBlank(text_[*e - 1])) --*e;
  }
  NodePtr ParseDateConstant(size_t b, size_t inner_b, size_t inner_e);
  NodePtr ParseTimeConstant(size_t b, size_t inner_b, size_t inner_e);
  NodePtr ParseLeaf(size_t b, size_t e, int depth);
  NodePtr ParseNumber(size_t b, size_t e);
  NodePtr ParseQuoted(size_t b, size_t e);
  NodePtr ParseName(size_t b, size_t e, int depth);
  // A name part at i (plain or in braces) into *part; the index after it,
  // or npos when there is none.
  size_t ReadNamePart(size_t i, size_t e, std::string* part) const;

  const FormulaScan& scan_;
  std::string_view text_;
  ParseError* error_;
};

}  // namespace tavelnor::dico::formula
