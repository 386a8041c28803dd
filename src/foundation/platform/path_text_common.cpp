// Path texts, shared by both systems; the few differences are spelled out here.
#include "foundation/platform/path_text.h"

namespace tavelnor::platform {

std::string NativeSeparators(std::string_view text) {
  std::string out(text);
#if !defined(_WIN32)
  for (char& c : out) {
    if (IsPathSeparator(c)) c = kPathSeparator;
  }
#endif
  return out;
}

std::string JoinPath(std::string_view base, std::string_view part) {
  std::string out(base);
  if (!out.empty() && !IsPathSeparator(out.back())) out += kPathSeparator;
  out += part;
  return NativeSeparators(out);
}

std::string_view PathRoot(std::string_view p) {
  const bool drive = p.size() >= 2 && p[1] == ':' &&
                     ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (drive) return p.substr(0, p.size() > 2 && IsPathSeparator(p[2]) ? 3 : 2);
#if defined(_WIN32)
  if (p.size() >= 2 && IsPathSeparator(p[0]) && IsPathSeparator(p[1])) {
    const size_t server_end = p.find_first_of("\\/", 2);
    if (server_end == std::string_view::npos) return p;
    const size_t share_end = p.find_first_of("\\/", server_end + 1);
    return share_end == std::string_view::npos ? p : p.substr(0, share_end + 1);
  }
#endif
  if (!p.empty() && IsPathSeparator(p[0])) return p.substr(0, 1);
  return {};
}

bool IsRelativePath(std::string_view path) { return PathRoot(path).empty(); }

std::string DirectoryPart(std::string_view path) {
  size_t cut = path.size();
  while (cut > 0 && !IsPathSeparator(path[cut - 1])) --cut;
  if (cut == 0) return {};
  std::string_view dir = path.substr(0, cut - 1);
  // Keep the separator of a root: "/" or a drive root such as "C:\".
  if (dir.empty() || (dir.size() == 2 && dir[1] == ':')) dir = path.substr(0, cut);
  return std::string(dir);
}

std::string SystemDriveRoot(std::string_view windows_root) {
#if defined(_WIN32)
  return std::string(windows_root);
#else
  (void)windows_root;
  return std::string(1, kPathSeparator);
#endif
}

}  // namespace tavelnor::platform
