// The program's console on POSIX: terminals through isatty; output and the
// command line are bytes already.
#include <unistd.h>

#include "foundation/platform/console.h"

namespace tavelnor::platform {

bool IsTerminal(int fd) { return fd >= 0 && isatty(fd) == 1; }

void PrepareUtf8Output() {}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return args;
}

}  // namespace tavelnor::platform
