// How the access layer treats the Btrieve numbers it issues and reads back:
// the two status lists that decide what is reported, and the operation names
// the error report shows. The numbers themselves are in btrieve_codes.h.
#pragma once

#include <cstdint>
#include <string>

#include "btrieve/btrieve_codes.h"

namespace tavelnor::data {

// Statuses returned to the caller without any report (Open with 85 excepted).
inline constexpr int32_t kSilentStatusList[] = {3,  4,  5,  8,  9,  12, 44, 51, 59,  60,
                                                64, 77, 78, 80, 81, 82, 84, 85, 103, 0};
// Statuses that the caller or the option word can keep quiet.
inline constexpr int32_t kQuietStatusSet[] = {8, 43, 44, 78, 82};

bool IsSilentStatus(int status);
bool IsQuietStatus(int status);

// The operation name the error dialog shows: the name of the exact code, or
// "Unknown(<code>)" for a code outside the table (a biased code included).
const char* OperationName(int operation);  // null for an unknown code
std::string OperationDisplayName(int operation);

}  // namespace tavelnor::data
