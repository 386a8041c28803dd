// Terminal detection, through the platform seam.
#include "browse/terminal.h"

#include "foundation/platform/console.h"

namespace tavelnor::tool {

bool IsTerminal(int fd) { return platform::IsTerminal(fd); }

}  // namespace tavelnor::tool
