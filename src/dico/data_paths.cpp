// Data file paths.
#include "dico/data_paths.h"

#include <atomic>
#include <vector>

#include "paths/special_paths.h"

namespace tavelnor::dico {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(std::string_view p) {
  return p.size() >= 2 && p[1] == ':' &&
         ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

bool IsAbsolute(std::string_view p) {
#ifdef _WIN32
  return HasDrive(p) || (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1]));
#else
  return HasDrive(p) || (!p.empty() && IsSeparator(p[0]));
#endif
}

// The root part of a path: "X:\", "\\server\share\" or "/" (Windows), "/" or
// "X:" names (POSIX keeps a drive as written); "" for a relative path.
std::string_view RootOf(std::string_view p) {
  if (HasDrive(p)) return p.substr(0, p.size() > 2 && IsSeparator(p[2]) ? 3 : 2);
#ifdef _WIN32
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    size_t server_end = p.find_first_of("\\/", 2);
    if (server_end == std::string_view::npos) return p;
    size_t share_end = p.find_first_of("\\/", server_end + 1);
    return share_end == std::string_view::npos ? p : p.substr(0, share_end + 1);
  }
#endif
  if (!p.empty() && IsSeparator(p[0])) return p.substr(0, 1);
  return {};
}

std::string Normalise(std::string_view path) {
  std::string_view root = RootOf(path);
  std::string out;
  for (char c : root) out += IsSeparator(c) ? kSeparator : c;
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
    if (k > 0) out += kSeparator;
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
  if (!joined.empty() && !IsSeparator(joined.back())) joined += kSeparator;
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
