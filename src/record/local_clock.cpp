// Local clock and zone offset over <ctime>.
#include "record/local_clock.h"

#include <ctime>
#include <mutex>

namespace tavelnor::record {
namespace {

std::mutex& ClockMutex() {
  static std::mutex mutex;
  return mutex;
}

// Days from 1970-01-01 to the given proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

LocalDateTime LocalNow() {
  std::time_t now = std::time(nullptr);
  std::lock_guard<std::mutex> lock(ClockMutex());
  const std::tm* tm = std::localtime(&now);
  if (tm == nullptr) return LocalDateTime{1970, 1, 1, 0, 0, 0};
  return LocalDateTime{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday,
                       tm->tm_hour,        tm->tm_min,     tm->tm_sec};
}

int64_t LocalOffsetSeconds(int64_t utc_seconds) {
  std::time_t t = static_cast<std::time_t>(utc_seconds);
  if (static_cast<int64_t>(t) != utc_seconds) return 0;
  std::lock_guard<std::mutex> lock(ClockMutex());
  const std::tm* tm = std::localtime(&t);
  if (tm == nullptr) return 0;
  int64_t local = DaysFromCivil(tm->tm_year + 1900LL, tm->tm_mon + 1, tm->tm_mday) * 86400 +
                  tm->tm_hour * 3600 + tm->tm_min * 60 + tm->tm_sec;
  return local - utc_seconds;
}

}  // namespace tavelnor::record
