// Known folders, environment expansion, the executable and the module version
// on POSIX. The mapping of known folders is described in shell.h.
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "foundation/platform/process.h"
#include "foundation/platform/shell.h"

namespace tavelnor::platform {

namespace {

std::string HomeDirectory() {
  if (std::optional<std::string> home = GetEnv("HOME"); home && !home->empty()) return *home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr) {
    return {};
  }
  return found->pw_dir;
}

// $name when set and absolute, else $HOME followed by `under_home`.
std::string XdgFolder(const char* name, const char* under_home) {
  if (std::optional<std::string> v = GetEnv(name); v && !v->empty() && (*v)[0] == '/') return *v;
  const std::string home = HomeDirectory();
  return home.empty() ? std::string() : home + under_home;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string SystemKnownFolderPath(int csidl) {
  switch (csidl) {
    case kCsidlPersonal:
    case kCsidlCommonDocuments:
      return WithoutTrailingSlash(XdgFolder("XDG_DOCUMENTS_DIR", "/Documents"));
    case kCsidlAppData: return WithoutTrailingSlash(XdgFolder("XDG_DATA_HOME", "/.local/share"));
    case kCsidlCommonAppData: return "/var/lib";
    case kCsidlProgramFiles: return "/opt";
    default: return {};
  }
}

std::string ExpandEnvironment(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find('%', pos);
    if (open == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    const size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) {
      pos = open;
      break;
    }
    const std::string name(text.substr(open + 1, close - open - 1));
    std::optional<std::string> value = name.empty() ? std::nullopt : GetEnv(name.c_str());
    if (value) {
      out += *value;
      pos = close + 1;
    } else {
      out.append(text.substr(open, close - open));  // "%NAME", the closing % may open the next
      pos = close;
    }
  }
  out.append(text.substr(pos));
  return out;
}

std::string HostExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

ModuleVersion CurrentModuleVersion() {
  ModuleVersion v;
  if (ModulePath().empty()) return v;  // kNoModuleFile
#if defined(TAVELNOR_VERSION_MAJOR) && defined(TAVELNOR_VERSION_MINOR)
  v.state = ModuleVersion::State::kFound;
  v.major = TAVELNOR_VERSION_MAJOR;
  v.minor = TAVELNOR_VERSION_MINOR;
#else
  v.state = ModuleVersion::State::kNoVersionResource;
#endif
  return v;
}

}  // namespace tavelnor::platform
