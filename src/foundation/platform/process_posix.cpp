// The process and the current thread on POSIX.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "foundation/platform/process.h"

namespace tavelnor::platform {

namespace {
thread_local uint32_t t_last_error = 0;
const char kModuleAnchor = 0;  // any address inside this module

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}
}  // namespace

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

std::optional<std::string> GetEnv(const char* name) {
  if (name == nullptr) return std::nullopt;
  const char* v = std::getenv(name);
  if (v == nullptr) return std::nullopt;
  return std::string(v);
}

bool SetEnv(const char* name, const char* value) {
  if (name == nullptr || *name == '\0') return false;
  if (value == nullptr) return unsetenv(name) == 0;
  return setenv(name, value, 1) == 0;
}

uint32_t TickCountMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SetLastOsError(uint32_t code) { t_last_error = code; }

uint32_t LastOsError() { return t_last_error; }

std::string ModulePath() {
  Dl_info info{};
  if (dladdr(&kModuleAnchor, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0') {
    return ExecutablePath();
  }
  if (info.dli_fname[0] == '/') return info.dli_fname;
  // A relative name (dlopen("./x.so") or argv[0] for the main program).
  if (char* full = realpath(info.dli_fname, nullptr)) {
    std::string path(full);
    std::free(full);
    return path;
  }
  return ExecutablePath();
}

}  // namespace tavelnor::platform
