// "Did you mean": the names closest to a misspelt one, for the messages of
// the tool (commands, options, tables, fields).
#pragma once

#include <string>
#include <vector>

namespace tavelnor::tool {

// The candidates within reach of `wrong`, best first, at most three.
// Distance counts insertions, deletions, substitutions and swaps of two
// neighbouring characters, ASCII letters compared without case; a candidate
// is within reach at a distance of at most max(2, length of `wrong` / 3).
// Equal distances keep the candidates' order; a name given twice is
// returned once.
std::vector<std::string> ClosestNames(const std::string& wrong,
                                      const std::vector<std::string>& candidates);

}  // namespace tavelnor::tool
