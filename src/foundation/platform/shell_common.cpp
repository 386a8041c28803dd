// Known folders: the test override shared by both systems.
#include <string>

#include "foundation/platform/process.h"
#include "foundation/platform/shell.h"

namespace tavelnor::platform {

std::string KnownFolderPath(int csidl) {
  const std::string name = "TAVELNOR_KNOWN_FOLDER_" + std::to_string(csidl);
  if (std::optional<std::string> forced = GetEnv(name.c_str())) return *forced;
  return SystemKnownFolderPath(csidl);
}

}  // namespace tavelnor::platform
