// FormulaScan: what the formula parser needs to know about each character
// of a formula text before it splits it: whether it lies in a quoted text,
// how many brackets are open before it, and where each bracket closes.
//
// Parentheses, square brackets and braces all count towards the depth;
// brackets inside quoted texts do not count. The balance check keeps one
// counter per bracket kind (a ")" needs an open "(" somewhere before it),
// so crossed pairs such as "([)]" pass it and are left to the parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tavelnor::dico::formula {

class FormulaScan {
 public:
  // REQUIRES: `text` outlives the scan.
  explicit FormulaScan(std::string_view text);

  // The balance check: 0, or an error code (7, 22, 24 at the closing
  // character too many; 33 at the quote left open; 6, 21, 23 at 0 for a
  // bracket left open) with its position in *position.
  int Check(int32_t* position) const;

  std::string_view text() const { return text_; }
  // Brackets open before character i.
  int32_t Depth(size_t i) const { return depth_[i]; }
  // Per character: -1 inside a quoted text (quotes included), else Depth.
  // A character is at the level of a part starting at b when its entry
  // equals Depth(b).
  const int32_t* Levels() const { return level_.data(); }
  // For an opening bracket at i, the index of the bracket that closes it
  // (of any kind); npos when none does or i is no opening bracket.
  size_t Match(size_t i) const { return match_[i]; }

  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  std::string_view text_;
  std::vector<int32_t> depth_;
  std::vector<int32_t> level_;
  std::vector<size_t> match_;
  int error_ = 0;
  int32_t error_position_ = 0;
};

}  // namespace tavelnor::dico::formula
