// Finding the data file a FILE.DDF location names, on a file system whose
// names may differ in case from what a DOS program stored.
#include <filesystem>
#include <system_error>

#include "ddf/ddf_reader.h"

namespace tavelnor::ddf {
namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 texts here, as the tool's command line gives them.
std::string Utf8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

// The spelling on disk of `dir`'s entry named `name` in any case: the exact
// one first, so that a folder holding both spellings gives that one.
bool FindEntry(const fs::path& dir, const std::string& name, std::string* found) {
  std::error_code ec;
  std::string other;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = Utf8(it->path().filename());
    if (entry == name) {
      *found = entry;
      return true;
    }
    if (other.empty() && SameNoCase(entry, name)) other = entry;
  }
  *found = other;
  return !other.empty();
}

}  // namespace

std::string ResolveDdfLocation(const std::string& folder, const std::string& location) {
  std::string loc = location;
  if (loc.size() >= 2 && loc[1] == ':') loc.erase(0, 2);
  std::vector<std::string> parts;
  std::string part;
  for (char c : loc + "\\") {
    if (c == '\\' || c == '/') {
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  // The path found is written with "/" (which Windows takes too), the
  // entries as they are spelled on disk.
  for (size_t first = 0; first < parts.size(); ++first) {
    fs::path at = fs::u8path(folder);
    std::string text = folder;
    bool found = true;
    for (size_t i = first; i < parts.size() && found; ++i) {
      std::string entry = "..";
      if (parts[i] != "..") found = FindEntry(at, parts[i], &entry);
      at /= fs::u8path(entry);
      text += (text.empty() || text.back() == '/' || text.back() == '\\' ? "" : "/") + entry;
    }
    std::error_code ec;
    if (found && fs::is_regular_file(at, ec)) return text;
  }
  return {};
}

}  // namespace tavelnor::ddf
