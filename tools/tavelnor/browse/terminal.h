// Whether an output stream of the process is a terminal: the browsing
// commands print aligned tables and progress bars only there.
#pragma once

namespace tavelnor::tool {

// True when descriptor `fd` (1 standard output, 2 standard error) is a
// terminal. Read from the process's descriptor table under /proc, so that the
// tool needs no system header; false wherever that table is missing.
bool IsTerminal(int fd);

}  // namespace tavelnor::tool
