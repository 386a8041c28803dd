// The records the crash test's writers insert (three-key layout of
// record_fixture.h): id, a name shared by every seventh id, a unique code.
#pragma once

#include "record_fixture.h"

namespace tavelnor::btrieve::testing {

inline std::vector<uint8_t> CrashRecord(int32_t id) {
  return Rec(id, "w" + std::to_string(id % 7), static_cast<int16_t>(id),
             static_cast<uint8_t>(id * 31));
}

}  // namespace tavelnor::btrieve::testing
