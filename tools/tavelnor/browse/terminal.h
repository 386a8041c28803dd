// Whether an output stream of the process is a terminal: the browsing
// commands print aligned tables and progress bars only there.
#pragma once

namespace tavelnor::tool {

// True when descriptor `fd` (1 standard output, 2 standard error) is a
// terminal (on Windows a console).
bool IsTerminal(int fd);

}  // namespace tavelnor::tool
