// The formula parser's operator levels: enclosing parentheses, the
// conditional, logical operators, comparisons and arithmetic.
#include "dico/formula_parser.h"

#include <algorithm>
#include <climits>

#include "dico/formula.h"
#include "dico/formula_parser_impl.h"

namespace tavelnor::dico::formula {
namespace {

int32_t Position(size_t i) { return static_cast<int32_t>(std::min<size_t>(i, INT32_MAX)); }

bool IsOperatorChar(char c) {
  switch (c) {
    case '+': case '-': case '*': case '/': case '%': case '^': case '<': case '>': case '=':
      return true;
    default:
      return false;
  }
}

}  // namespace

bool IsNameChar(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u <= 0x20 || u == 0x7F) return false;
  switch (c) {
    case '"': case '(': case ')': case '[': case ']': case '{': case '}': case ',': case '.':
      return false;
    default:
      return !IsOperatorChar(c);
  }
}

NodePtr ParseFormula(std::string_view text, ParseError* error) {
  *error = ParseError{};
  FormulaScan scan(text);
  int32_t position = 0;
  if (int code = scan.Check(&position); code != 0) {
    *error = ParseError{code, position};
    return nullptr;
  }
  Parser parser(scan, error);
  return parser.Parse(0, text.size(), 1);
}

NodePtr Parser::Fail(int code, size_t position) {
  if (error_->code == 0) *error_ = ParseError{code, Position(position)};
  return nullptr;
}

NodePtr Parser::MakeNode(size_t position) const {
  auto node = std::make_unique<Node>();
  node->position = Position(position);
  return node;
}

bool Parser::WordAt(size_t b, size_t e, size_t i, std::string_view word) const {
  if (i < b || i + word.size() > e) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (AsciiUpper(text_[i + k]) != word[k]) return false;
  }
  if (i > b && (IsNameChar(text_[i - 1]) || text_[i - 1] == '.')) return false;
  size_t after = i + word.size();
  if (after < e && (IsNameChar(text_[after]) || text_[after] == '.' || text_[after] == '[')) {
    return false;
  }
  return true;
}

NodePtr Parser::Parse(size_t b, size_t e, int depth) {
  if (depth > kMaxFormulaDepth) return Fail(formula_error::kTooDeep, b);
  TrimBlanks(&b, &e);
  if (b == e) return Fail(formula_error::kSyntax, b);
  if (text_[b] == '(' && scan_.Match(b) == e - 1 && text_[e - 1] == ')') {
    return Parse(b + 1, e - 1, depth + 1);
  }
  if (WordAt(b, e, b, "SI")) return ParseConditional(b, e, depth);
  Levels levels;
  Classify(b, e, &levels);
  if (!levels.loose.empty()) return BuildChain(b, e, depth, levels.loose);
  if (!levels.et.empty()) return BuildChain(b, e, depth, levels.et);
  bool found = false;
  NodePtr node = ParseNot(b, e, depth, &found);
  if (found) return node;
  if (!levels.compare.empty()) return BuildChain(b, e, depth, levels.compare);
  if (!levels.additive.empty()) return BuildChain(b, e, depth, levels.additive);
  if (text_[b] == '+' || text_[b] == '-') return ParseSign(b, e, depth);
  if (!levels.multiplicative.empty()) return BuildChain(b, e, depth, levels.multiplicative);
  node = ParseFunction(b, e, depth, &found);
  if (found) return node;
  return ParseLeaf(b, e, depth);
}

NodePtr Parser::ParseConditional(size_t b, size_t e, int depth) {
  constexpr size_t npos = FormulaScan::npos;
  size_t alors = npos;
  size_t sinon = npos;
  int nested = 0;  // SI opened inside this one and not yet closed by their SINON
  const int32_t* level = scan_.Levels();
  const int32_t base = scan_.Depth(b);
  for (size_t i = b + 2; i < e; ++i) {
    // Clearing bit 5 gives 'S' or 'A' for s, S, a and A only.
    char u = static_cast<char>(text_[i] & ~0x20);
    if ((u != 'S' && u != 'A') || level[i] != base) continue;
    if (u == 'S' && WordAt(b, e, i, "SI")) {
      ++nested;
      i += 1;
    } else if (u == 'S' && WordAt(b, e, i, "SINON")) {
      if (nested == 0) {
        if (alors != npos) sinon = i;
        break;
      }
      --nested;
      i += 4;
    } else if (u == 'A' && WordAt(b, e, i, "ALORS")) {
      if (nested == 0 && alors == npos) alors = i;
      i += 4;
    }
  }
  if (alors == npos || sinon == npos) return Fail(formula_error::kIncompleteSi, b);
  Conditional c;
  c.condition = Parse(b + 2, alors, depth + 1);
  if (!c.condition) return nullptr;
  c.first = Parse(alors + 5, sinon, depth + 1);
  if (!c.first) return nullptr;
  c.second = Parse(sinon + 5, e, depth + 1);
  if (!c.second) return nullptr;
  NodePtr node = MakeNode(b);
  node->body = std::move(c);
  return node;
}

template <typename Op>
NodePtr Parser::BuildChain(size_t b, size_t e, int depth, const std::vector<Split<Op>>& splits) {
  Chain<Op> chain;
  chain.operands.reserve(splits.size() + 1);
  size_t start = b;
  for (const Split<Op>& s : splits) {
    NodePtr operand = Parse(start, s.at, depth + 1);
    if (!operand) return nullptr;
    chain.operands.push_back(std::move(operand));
    chain.ops.push_back(s.op);
    chain.positions.push_back(Position(s.at));
    start = s.at + s.length;
  }
  NodePtr last = Parse(start, e, depth + 1);
  if (!last) return nullptr;
  chain.operands.push_back(std::move(last));
  NodePtr node = MakeNode(b);
  node->body = std::move(chain);
  return node;
}

void Parser::Classify(size_t b, size_t e, Levels* levels) const {
  const int32_t* level = scan_.Levels();
  const int32_t base = scan_.Depth(b);
  char last = '\0';  // the last non-blank character before i in the part
  for (size_t i = b; i < e; ++i) {
    char c = text_[i];
    if (level[i] == base) {
      switch (c) {
        case 'O': case 'o':
          if (WordAt(b, e, i, "OU")) {
            levels->loose.push_back({i, 2, LogicOp::kOu});
          } else if (WordAt(b, e, i, "OX")) {
            levels->loose.push_back({i, 2, LogicOp::kOx});
          }
          break;
        case 'E': case 'e':
          if (WordAt(b, e, i, "ET")) levels->et.push_back({i, 2, LogicOp::kEt});
          break;
        case '<': case '>': {
          char next = i + 1 < e ? text_[i + 1] : '\0';
          if (next == '=' || (c == '<' && next == '>')) {
            CompareOp op = next == '>'  ? CompareOp::kNe
                           : c == '<'   ? CompareOp::kLe
                                        : CompareOp::kGe;
            levels->compare.push_back({i, 2, op});
            last = next;
            ++i;
            continue;
          }
          levels->compare.push_back({i, 1, c == '<' ? CompareOp::kLt : CompareOp::kGt});
          break;
        }
        case '=':
          levels->compare.push_back({i, 1, CompareOp::kEq});
          break;
        case '+': case '-':
          // A sign at the start or right after another operator belongs to
          // its operand.
          if (last != '\0' && !IsOperatorChar(last)) {
            levels->additive.push_back({i, 1, c == '+' ? ArithOp::kAdd : ArithOp::kSub});
          }
          break;
        case '*': levels->multiplicative.push_back({i, 1, ArithOp::kMul}); break;
        case '/': levels->multiplicative.push_back({i, 1, ArithOp::kDiv}); break;
        case '%': levels->multiplicative.push_back({i, 1, ArithOp::kMod}); break;
        case '^': levels->multiplicative.push_back({i, 1, ArithOp::kPow}); break;
        default: break;
      }
    }
    if (!IsBlank(c)) last = c;
  }
}

NodePtr Parser::ParseNot(size_t b, size_t e, int depth, bool* found) {
  if (!WordAt(b, e, b, "NON")) return nullptr;
  size_t k = b + 3;
  while (k < e && IsBlank(text_[k])) ++k;
  if (k >= e || text_[k] != '(' || scan_.Match(k) != e - 1 || text_[e - 1] != ')') {
    return nullptr;
  }
  *found = true;
  NodePtr operand = Parse(k + 1, e - 1, depth + 1);
  if (!operand) return nullptr;
  NodePtr node = MakeNode(b);
  node->body = Not{std::move(operand)};
  return node;
}

NodePtr Parser::ParseSign(size_t b, size_t e, int depth) {
  NodePtr operand = Parse(b + 1, e, depth + 1);
  if (!operand) return nullptr;
  NodePtr node = MakeNode(b);
  node->body = Sign{text_[b] == '-', std::move(operand)};
  return node;
}

}  // namespace tavelnor::dico::formula
