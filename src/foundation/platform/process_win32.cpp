// The process and the current thread on Windows. Texts are in the ANSI code
// page (Windows-1252 on the systems the library serves).
#include "foundation/platform/win32_headers.h"

#include <vector>

#include "foundation/platform/process.h"

namespace tavelnor::platform {

namespace {
const char kModuleAnchor = 0;  // any address inside this module
}  // namespace

uint32_t CurrentProcessId() { return static_cast<uint32_t>(GetCurrentProcessId()); }

std::optional<std::string> GetEnv(const char* name) {
  if (name == nullptr) return std::nullopt;
  DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
  if (needed == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::vector<char> buf(needed);
  DWORD n = GetEnvironmentVariableA(name, buf.data(), needed);
  if (n == 0 || n >= needed) return std::nullopt;
  return std::string(buf.data(), n);
}

bool SetEnv(const char* name, const char* value) {
  if (name == nullptr || *name == '\0') return false;
  return SetEnvironmentVariableA(name, value) != FALSE;
}

uint32_t TickCountMs() { return static_cast<uint32_t>(GetTickCount()); }

void SetLastOsError(uint32_t code) { SetLastError(static_cast<DWORD>(code)); }

uint32_t LastOsError() { return static_cast<uint32_t>(GetLastError()); }

std::string ModulePath() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          &kModuleAnchor, &module)) {
    return {};
  }
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(module, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::string(buf.data(), n);
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);  // truncated: try a larger buffer
  }
}

}  // namespace tavelnor::platform
