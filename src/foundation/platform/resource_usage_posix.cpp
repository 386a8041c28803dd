// Resource usage on POSIX: getrusage. Linux reports the peak in kilobytes,
// macOS in bytes.
#include <sys/resource.h>

#include "foundation/platform/resource_usage.h"

namespace tavelnor::platform {

uint64_t PeakResidentBytes() {
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) != 0 || usage.ru_maxrss < 0) return 0;
#if defined(__APPLE__)
  return static_cast<uint64_t>(usage.ru_maxrss);
#else
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024u;
#endif
}

}  // namespace tavelnor::platform
