// Terminal detection through /proc/self/fd.
#include "browse/terminal.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace tavelnor::tool {

bool IsTerminal(int fd) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path link = "/proc/self/fd/" + std::to_string(fd);
  const fs::path target = fs::read_symlink(link, ec);
  if (ec || !fs::is_character_file(link, ec) || ec) return false;
  // Character devices that are terminals: pseudo-terminals and consoles
  // (/dev/null, also a character device, is not one).
  const std::string name = target.string();
  return name.rfind("/dev/pts/", 0) == 0 || name.rfind("/dev/tty", 0) == 0 ||
         name.rfind("/dev/console", 0) == 0;
}

}  // namespace tavelnor::tool
