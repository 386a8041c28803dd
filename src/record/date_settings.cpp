#include "record/date_settings.h"

#include <atomic>

namespace tavelnor::record {
namespace {
std::atomic<bool> g_minimum_date_zero{false};
}

void SetMinimumDateZero(bool zero) { g_minimum_date_zero.store(zero); }
bool MinimumDateIsZero() { return g_minimum_date_zero.load(); }

}  // namespace tavelnor::record
