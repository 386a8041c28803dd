// The host directory and Paths.ini lookups.
#include "paths/host_folder.h"

#include <mutex>
#include <vector>

#include "foundation/ini_text.h"
#include "foundation/platform/files.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/shell.h"
#include "foundation/platform/sync.h"

namespace tavelnor::paths {

namespace {

constexpr size_t kMaxPathsIniBytes = size_t{1} << 20;
constexpr std::string_view kPathBlanks = " \t\r\n";

struct HostOverride {
  platform::CriticalSection lock;
  std::optional<std::string> dir;
};

HostOverride& TestHost() {
  static auto* host = new HostOverride();
  return *host;
}

const std::string& RealHostDirectory() {
  static const std::string* dir =
      new std::string(platform::DirectoryPart(platform::HostExecutablePath()));
  return *dir;
}

std::string_view TrimPathBlanks(std::string_view s) {
  const size_t first = s.find_first_not_of(kPathBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kPathBlanks) - first + 1);
}

}  // namespace

std::string HostDirectory() {
  HostOverride& host = TestHost();
  {
    std::lock_guard<platform::CriticalSection> guard(host.lock);
    if (host.dir) return *host.dir;
  }
  return RealHostDirectory();
}

void SetHostDirectoryForTesting(std::optional<std::string> dir) {
  HostOverride& host = TestHost();
  std::lock_guard<platform::CriticalSection> guard(host.lock);
  host.dir = std::move(dir);
}

std::string PathsIniFile() {
  const std::string dir = HostDirectory();
  return dir.empty() ? std::string() : platform::JoinPath(dir, "Paths.ini");
}

std::optional<std::string> PathsIniValue(std::string_view name) {
  const std::string file = PathsIniFile();
  if (file.empty()) return std::nullopt;
  Result<std::vector<uint8_t>> bytes = platform::ReadWholeFile(file, kMaxPathsIniBytes);
  if (!bytes.ok()) return std::nullopt;
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  std::optional<std::string> value = FindIniValue(text, "Paths", name);
  if (!value) return std::nullopt;
  const std::string_view trimmed = TrimPathBlanks(*value);
  if (trimmed.empty()) return std::nullopt;
  return std::string(trimmed);
}

}  // namespace tavelnor::paths
