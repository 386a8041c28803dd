// Data file paths.
#include "dico/data_paths.h"

#include <atomic>
#include <vector>

#include "foundation/platform/path_text.h"
#include "paths/special_paths.h"

namespace tavelnor::dico {
namespace {

using platform::kPathSeparator;

bool IsSeparator(char c) { return platform::IsPathSeparator(c); }

bool HasDrive(std::string_view p) {
  return p.size() >= 2 && p[1] == ':' &&
         ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

// The system's rules: a drive anchors a name everywhere, a share on Windows.
bool IsAbsolute(std::string_view p) { return !platform::PathRoot(p).empty(); }
std::string_view RootOf(std::string_view p) { return platform::PathRoot(p); }

std::string Normalise(std::string_view path) {
  std::string_view root = RootOf(path);
  std::string out;
  for (char c : root) out += IsSeparator(c) ? kPathSeparator : c;
  std::vector<std::string_view> parts;
  size_t i = root.size();
  while (i <= path.size()) {
    size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::string_view part = path.substr(i, end - i);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (root.empty()) {
        parts.push_back(part);  // a relative path keeps what it cannot resolve
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = end + 1;
  }
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) out += kPathSeparator;
    out += parts[k];
  }
  return out;
}

std::atomic<CommonFolderSource> g_common_source{nullptr};

}  // namespace

std::string JoinDataPath(std::string_view folder, std::string_view name) {
  if (name.empty()) return Normalise(folder);
  if (IsAbsolute(name) && !(IsSeparator(name[0]) && RootOf(folder).size() > 1)) {
    return Normalise(name);
  }
  if (IsSeparator(name[0])) {
    std::string joined(RootOf(folder));
    joined += name;
    return Normalise(joined);
  }
  std::string joined(folder);
  if (!joined.empty() && !IsSeparator(joined.back())) joined += kPathSeparator;
  joined += name;
  return Normalise(joined);
}

std::string ParentFolder(std::string_view path) {
  size_t sep = path.find_last_of("\\/");
  if (sep == std::string_view::npos) return HasDrive(path) ? std::string(path.substr(0, 2)) : "";
  if (sep == 0) return std::string(path.substr(0, 1));
  return std::string(path.substr(0, sep));
}

void SetCommonFolderSource(CommonFolderSource source) { g_common_source.store(source); }

std::string CommonDataFolder() {
  CommonFolderSource source = g_common_source.load();
  if (source != nullptr) return source();
  constexpr int32_t kCommon = 4;
  return paths::ResolveSpecialPath(kCommon, paths::PathMode::kMustExist).path;
}

}  // namespace tavelnor::dico
