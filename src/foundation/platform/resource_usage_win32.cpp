// Resource usage on Windows: the process memory counters, through the
// kernel32 export so that no extra import library is needed.
#include "foundation/platform/resource_usage.h"
#include "foundation/platform/win32_headers.h"

// After <windows.h>, which it needs.
#include <psapi.h>

namespace tavelnor::platform {

uint64_t PeakResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<uint64_t>(counters.PeakWorkingSetSize);
}

}  // namespace tavelnor::platform
