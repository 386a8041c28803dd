// Windows-1252 case tables and the helpers built on them.
#include "foundation/case_tables.h"

#include <algorithm>

namespace tavelnor {

const uint8_t* UpperTable() { return case_tables_internal::kUpper.data(); }
const uint8_t* LowerTable() { return case_tables_internal::kLower.data(); }

std::string ToUpper1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(ToUpper1252(static_cast<uint8_t>(c)));
  return out;
}

std::string ToLower1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(ToLower1252(static_cast<uint8_t>(c)));
  return out;
}

int CompareNoCase1252(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = ToUpper1252(static_cast<uint8_t>(a[i]));
    int cb = ToUpper1252(static_cast<uint8_t>(b[i]));
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace tavelnor
