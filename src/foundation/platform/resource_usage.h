// Platform seam: how much of the machine this process has used so far, for
// benchmarks and diagnostics.
#pragma once

#include <cstdint>

namespace tavelnor::platform {

// The largest resident set (working set on Windows) the process has had, in
// bytes; 0 when the system cannot tell.
uint64_t PeakResidentBytes();

}  // namespace tavelnor::platform
