// Reading values from INI-style text; the rules are in ini_text.h.
#include "foundation/ini_text.h"

#include "foundation/case_tables.h"

namespace tavelnor {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

// The next line of `text` from `pos`, without its end of line; advances `pos`.
std::string_view NextLine(std::string_view text, size_t& pos) {
  const size_t start = pos;
  const size_t end = text.find_first_of("\r\n", start);
  if (end == std::string_view::npos) {
    pos = text.size();
    return text.substr(start);
  }
  pos = end + 1;
  if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  return text.substr(start, end - start);
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::optional<std::string> found;
  bool in_section = false;
  size_t pos = 0;
  while (pos < text.size()) {
    const std::string_view line = TrimBlanks(NextLine(text, pos));
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      in_section = CompareNoCase1252(TrimBlanks(line.substr(1, close - 1)), section) == 0;
      continue;
    }
    if (!in_section) continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (CompareNoCase1252(TrimBlanks(line.substr(0, eq)), key) != 0) continue;
    found = std::string(TrimBlanks(line.substr(eq + 1)));
  }
  return found;
}

}  // namespace tavelnor
