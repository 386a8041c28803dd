// Platform seam: child processes — starting a program with extra environment
// variables, killing it outright, waiting for its end — and the path of the
// running executable. Tests use them to run the record manager in several
// processes at once.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::platform {

struct ChildProcess {
  uint32_t pid = 0;
  intptr_t handle = 0;  // Windows process handle; unused on POSIX
};

// How a child ended: its exit code, or killed (by a signal on POSIX, by
// KillProcess on Windows, where `code` is then the code KillProcess gave).
struct ChildExit {
  bool killed = false;
  int code = 0;
};

using EnvVars = std::vector<std::pair<std::string, std::string>>;

// Starts `executable` with `args` (not counting the program name) and this
// process's environment plus `env` (which wins over inherited values).
Result<ChildProcess> StartProcess(const std::string& executable,
                                  const std::vector<std::string>& args, const EnvVars& env);
// Ends the child at once, with no chance to clean up (SIGKILL on POSIX).
Status KillProcess(const ChildProcess& child);
// Waits for the child to end and reaps it; `child` must not be used after.
Result<ChildExit> WaitProcess(ChildProcess* child);

// Absolute path of the running executable; empty when unknown.
std::string CurrentExecutablePath();

}  // namespace tavelnor::platform
