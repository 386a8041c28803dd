#include "browse/suggest.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace tavelnor::tool {
namespace {

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Optimal string alignment distance over three rolling rows.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> before(b.size() + 1), last(b.size() + 1), row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) last[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const bool same = Folded(a[i - 1]) == Folded(b[j - 1]);
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) &&
          Folded(a[i - 2]) == Folded(b[j - 1])) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
    std::swap(before, last);
    std::swap(last, row);
  }
  return last[b.size()];
}

}  // namespace

std::vector<std::string> ClosestNames(const std::string& wrong,
                                      const std::vector<std::string>& candidates) {
  const size_t reach = std::max<size_t>(2, wrong.size() / 3);
  std::vector<std::pair<size_t, const std::string*>> near;
  for (const std::string& c : candidates) {
    const bool seen =
        std::any_of(near.begin(), near.end(), [&c](const auto& n) { return *n.second == c; });
    if (seen) continue;
    const size_t d = Distance(wrong, c);
    if (d <= reach) near.emplace_back(d, &c);
  }
  std::stable_sort(near.begin(), near.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> names;
  for (size_t i = 0; i < near.size() && i < 3; ++i) names.push_back(*near[i].second);
  return names;
}

}  // namespace tavelnor::tool
