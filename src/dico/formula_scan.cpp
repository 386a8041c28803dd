// FormulaScan: one pass over a formula text for quotes, bracket depth,
// bracket pairs and the balance check.
#include "dico/formula_scan.h"

#include "dico/formula.h"

namespace tavelnor::dico::formula {
namespace {

enum BracketKind { kParen = 0, kSquare = 1, kBrace = 2 };

int OpenerKind(char c) {
  switch (c) {
    case '(': return kParen;
    case '[': return kSquare;
    case '{': return kBrace;
    default: return -1;
  }
}

int CloserKind(char c) {
  switch (c) {
    case ')': return kParen;
    case ']': return kSquare;
    case '}': return kBrace;
    default: return -1;
  }
}

constexpr int kExtraCode[3] = {formula_error::kExtraParen, formula_error::kExtraBracket,
                               formula_error::kExtraBrace};
constexpr int kUnclosedCode[3] = {formula_error::kUnclosedParen,
                                  formula_error::kUnclosedBracket,
                                  formula_error::kUnclosedBrace};

}  // namespace

FormulaScan::FormulaScan(std::string_view text)
    : text_(text),
      depth_(text.size(), 0),
      level_(text.size(), -1),
      match_(text.size(), npos) {
  int32_t open[3] = {0, 0, 0};
  std::vector<size_t> stack;
  bool in_quote = false;
  size_t quote_start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    depth_[i] = static_cast<int32_t>(stack.size());
    if (in_quote) {
      if (c == '"') in_quote = false;
      continue;
    }
    if (c == '"') {
      in_quote = true;
      quote_start = i;
      continue;
    }
    level_[i] = depth_[i];
    if (int kind = OpenerKind(c); kind >= 0) {
      ++open[kind];
      stack.push_back(i);
    } else if (int closer = CloserKind(c); closer >= 0) {
      if (open[closer] == 0) {
        // Seen where it happens; the character then counts as plain text.
        if (error_ == 0) {
          error_ = kExtraCode[closer];
          error_position_ = static_cast<int32_t>(i);
        }
        continue;
      }
      --open[closer];
      // Every counter is positive only while the stack holds its opener.
      match_[stack.back()] = i;
      stack.pop_back();
    }
  }
  if (error_ != 0) return;
  if (in_quote) {
    error_ = formula_error::kUnclosedQuote;
    error_position_ = static_cast<int32_t>(quote_start);
    return;
  }
  for (int kind = kParen; kind <= kBrace; ++kind) {
    if (open[kind] > 0) {
      error_ = kUnclosedCode[kind];
      error_position_ = 0;
      return;
    }
  }
}

int FormulaScan::Check(int32_t* position) const {
  *position = error_position_;
  return error_;
}

}  // namespace tavelnor::dico::formula
