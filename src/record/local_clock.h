// The local wall clock and the local time zone's offset from universal time,
// through the standard C++ time functions (serialised, as they share state).
#pragma once

#include <cstdint>

namespace tavelnor::record {

struct LocalDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The local date and time now.
LocalDateTime LocalNow();

// Local time minus universal time, in seconds, at the universal instant
// `utc_seconds` (seconds since 1970-01-01 00:00:00 UTC). 0 when the platform
// cannot tell.
int64_t LocalOffsetSeconds(int64_t utc_seconds);

}  // namespace tavelnor::record
