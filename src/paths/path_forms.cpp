// Normalisation of candidate folders, the file-name form and the version text.
#include "paths/path_forms.h"

#include <cstdio>

#include "foundation/platform/directories.h"
#include "foundation/platform/files.h"
#include "foundation/platform/path_text.h"
#include "paths/host_folder.h"

namespace tavelnor::paths {

namespace {

constexpr std::string_view kPathBlanks = " \t\r\n";

std::string Trimmed(std::string_view s, std::string_view left_set, std::string_view right_set) {
  const size_t first = s.find_first_not_of(left_set);
  if (first == std::string_view::npos) return {};
  s.remove_prefix(first);
  const size_t last = s.find_last_not_of(right_set);
  return last == std::string_view::npos ? std::string() : std::string(s.substr(0, last + 1));
}

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size())) {
    s.replace(pos, from.size(), to);
  }
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsReservedDeviceName(std::string_view name) {
  std::string upper;
  for (char c : name) upper += AsciiUpper(c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

std::string NormalisePath(std::string_view candidate, PathMode mode) {
  std::string path = Trimmed(candidate, kPathBlanks, kPathBlanks);
  if (path.find('%') != std::string::npos) {
    path = Trimmed(platform::ExpandEnvironment(path), kPathBlanks, kPathBlanks);
  }
  if (path.empty()) return {};
  if (platform::IsRelativePath(path)) path = platform::JoinPath(HostDirectory(), path);
  path = platform::NativeSeparators(path);
  if (platform::DirectoryExists(path)) return path;
  if (mode == PathMode::kMustExist) return {};
  return platform::CreateDirectories(path).ok() ? path : std::string();
}

std::string FileNameForm(std::string_view text) {
  std::string s(text);
  ReplaceAll(s, "\r\r\n", " ");
  ReplaceAll(s, "\r\n", " ");
  std::string kept;
  for (char c : s) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 1 && u <= 31) || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
      continue;
    }
    kept += c;
  }
  std::string out = Trimmed(kept, " ", " .");
  if (out.empty()) return "_";
  if (IsReservedDeviceName(out)) out += '_';
  return out;
}

std::string VersionText(const platform::ModuleVersion& version) {
  switch (version.state) {
    case platform::ModuleVersion::State::kFound: {
      char buf[32];
      std::snprintf(buf, sizeof(buf), "%d.%d", version.major, version.minor);
      return buf;
    }
    case platform::ModuleVersion::State::kNoVersionResource: return "Alpha";
    case platform::ModuleVersion::State::kNoModuleFile: return "***";
  }
  return "***";
}

std::string ModuleVersionText() { return VersionText(platform::CurrentModuleVersion()); }

}  // namespace tavelnor::paths
