// Numbers of the Btrieve call interface that the access layer issues and
// interprets: operation codes, lock biases, statuses with a fixed role, and
// the two status lists that decide what is reported.
#pragma once

#include <cstdint>
#include <string>

namespace tavelnor::data {

namespace btrop {
inline constexpr uint16_t kOpen = 0, kClose = 1, kInsert = 2, kUpdate = 3, kDelete = 4,
                          kGetEqual = 5, kGetNext = 6, kGetPrevious = 7, kGetGreater = 8,
                          kGetGreaterOrEqual = 9, kGetLess = 10, kGetLessOrEqual = 11,
                          kGetFirst = 12, kGetLast = 13, kCreate = 14, kStat = 15,
                          kBeginTransaction = 19, kEndTransaction = 20,
                          kAbortTransaction = 21, kGetPosition = 22, kGetDirect = 23,
                          kStepNext = 24, kVersion = 26, kUnlock = 27, kSetOwner = 29,
                          kClearOwner = 30, kCreateIndex = 31, kStepFirst = 33, kStepLast = 34,
                          kStepPrevious = 35, kGetNextExtended = 36, kGetPreviousExtended = 37,
                          kStepNextExtended = 38, kStepPreviousExtended = 39,
                          kGetByPercentage = 44, kFindPercentage = 45, kUpdateChunk = 53;
// Begin Transaction in its concurrent form (19 + 1000).
inline constexpr uint16_t kBeginConcurrentTransaction = 1019;
}  // namespace btrop

// Lock biases added to read operations.
namespace btrbias {
inline constexpr uint16_t kSingleWait = 100, kSingleNoWait = 200, kMultipleWait = 300,
                          kMultipleNoWait = 400;
}  // namespace btrbias

// Statuses with a fixed role in the access layer.
namespace btrstat {
inline constexpr int16_t kOk = 0, kInvalidOperation = 1, kInvalidFileName = 11,
                         kFileNotFound = 12, kRecordManagerInactive = 20,
                         kDataBufferTooShort = 22, kKeyCountError = 26, kDirectoryError = 35,
                         kInvalidRecordAddress = 43, kOwnerError = 51, kRecordLocked = 84,
                         kFileLocked = 85, kSessionInvalid = 95, kCommunicationError = 96;
}  // namespace btrstat

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
