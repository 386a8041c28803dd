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

bool IsRelativePath(std::string_view path) {
  if (path.empty()) return true;
  if (IsPathSeparator(path[0])) return false;
#if defined(_WIN32)
  const char c = path[0];
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (letter && path.size() >= 2 && path[1] == ':') return false;
#endif
  return true;
}

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
