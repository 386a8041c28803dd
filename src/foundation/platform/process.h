// Platform seam: the process and the current thread — process id, environment
// variables, tick counter, the system's per-thread "last error" value and the
// path of the module that carries this code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavelnor::platform {

uint32_t CurrentProcessId();

// Environment variables of this process only (nothing is exported to the
// parent or to a shell). GetEnv returns nullopt when the variable is unset.
std::optional<std::string> GetEnv(const char* name);
// Sets (or with a null value, removes) a variable. Returns false on failure.
bool SetEnv(const char* name, const char* value);

// Milliseconds since an arbitrary start, from a monotonic clock. Wraps around
// after about 49.7 days like the Windows tick count; differences computed in
// uint32_t stay right across the wrap.
uint32_t TickCountMs();

// The operating system's "last error" value of the calling thread. On Windows
// this is GetLastError/SetLastError; elsewhere a thread-local value that only
// this seam writes (errno is left alone).
void SetLastOsError(uint32_t code);
uint32_t LastOsError();

// Absolute path of the module (shared library or executable) that contains
// this code; empty when it cannot be determined.
std::string ModulePath();

}  // namespace tavelnor::platform
