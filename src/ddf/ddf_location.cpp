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

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// `dir`'s entry named `name` in any case, the exact spelling first.
bool FindEntry(const fs::path& dir, const std::string& name, fs::path* out) {
  std::error_code ec;
  if (fs::exists(dir / name, ec)) {
    *out = dir / name;
    return true;
  }
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (SameNoCase(it->path().filename().string(), name)) {
      *out = it->path();
      return true;
    }
  }
  return false;
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
  for (size_t first = 0; first < parts.size(); ++first) {
    fs::path at = fs::u8path(folder);
    bool found = true;
    for (size_t i = first; i < parts.size() && found; ++i) {
      if (parts[i] == "..") {
        at /= "..";
        continue;
      }
      found = FindEntry(at, parts[i], &at);
    }
    std::error_code ec;
    if (found && fs::is_regular_file(at, ec)) return Utf8(at);
  }
  return {};
}

}  // namespace tavelnor::ddf
