// Operation codes, biases and status numbers of the Btrieve call interface:
// the one list of these protocol numbers, shared by the record manager that
// answers the calls and by the access layer (src/data) that issues them.
//
// Header-only, and it stays a plain list of numbers: it includes nothing of
// the record manager, so including it does not make a caller depend on the
// record manager. The access layer still reaches the record manager only
// through its client seam (data/btrieve_client.h).
#pragma once

#include <cstdint>

namespace tavelnor::btrieve {

enum Op : int {
  kOpOpen = 0,
  kOpClose = 1,
  kOpInsert = 2,
  kOpUpdate = 3,
  kOpDelete = 4,
  kOpGetEqual = 5,
  kOpGetNext = 6,
  kOpGetPrevious = 7,
  kOpGetGreater = 8,
  kOpGetGreaterOrEqual = 9,
  kOpGetLess = 10,
  kOpGetLessOrEqual = 11,
  kOpGetFirst = 12,
  kOpGetLast = 13,
  kOpCreate = 14,
  kOpStat = 15,
  kOpBeginTransaction = 19,
  kOpEndTransaction = 20,
  kOpAbortTransaction = 21,
  kOpGetPosition = 22,
  kOpGetDirect = 23,
  kOpStepNext = 24,
  kOpVersion = 26,
  kOpUnlock = 27,
  kOpReset = 28,
  kOpSetOwner = 29,
  kOpClearOwner = 30,
  kOpCreateIndex = 31,
  kOpDropIndex = 32,
  kOpStepFirst = 33,
  kOpStepLast = 34,
  kOpStepPrevious = 35,
  kOpGetNextExtended = 36,
  kOpGetPreviousExtended = 37,
  kOpStepNextExtended = 38,
  kOpStepPreviousExtended = 39,
  kOpInsertExtended = 40,
  kOpGetByPercentage = 44,
  kOpFindPercentage = 45,
  kOpUpdateChunk = 53,
  kGetKeyBias = 50,
};

// Biases added to an operation code: record locks on reads (and on Begin
// Transaction, the default lock of the reads inside it), the concurrent form
// of Begin Transaction and its "do not wait for changed pages" variant.
inline constexpr int kBiasSingleWait = 100;
inline constexpr int kBiasSingleNoWait = 200;
inline constexpr int kBiasMultipleWait = 300;
inline constexpr int kBiasMultipleNoWait = 400;
inline constexpr int kBiasNoPageWait = 500;
inline constexpr int kBiasConcurrent = 1000;
// Begin Transaction in its concurrent form.
inline constexpr int kOpBeginConcurrentTransaction = kOpBeginTransaction + kBiasConcurrent;

enum StatusCode : int16_t {
  kOk = 0,
  kInvalidOperation = 1,
  kIoError = 2,
  kFileNotOpen = 3,
  kKeyNotFound = 4,
  kDuplicateKey = 5,
  kInvalidKeyNumber = 6,
  kDifferentKeyNumber = 7,
  kInvalidPositioning = 8,
  kEndOfFile = 9,
  kModifiableKeyChanged = 10,
  kInvalidFileName = 11,
  kFileNotFound = 12,
  kDiskFull = 18,
  kRecordManagerInactive = 20,  // no engine or requester loaded
  kKeyBufferTooShort = 21,
  kDataBufferTooShort = 22,
  kPageSizeError = 24,
  kCreateIoError = 25,
  kKeyCountError = 26,
  kKeyPositionError = 27,
  kRecordLengthError = 28,
  kKeyLengthError = 29,
  kNotOurFile = 30,
  kDirectoryError = 35,
  kTransactionActive = 37,
  kNoTransaction = 39,
  kTransactionFileLimit = 40,  // more files in one transaction than it can hold
  kNotAllowedNow = 41,
  kInvalidRecordAddress = 43,
  kInvalidKeyPath = 44,
  kInconsistentKeyFlags = 45,
  kAccessDenied = 46,
  kInvalidAcs = 48,
  kInvalidKeyType = 49,
  kOwnerAlreadySet = 50,
  kOwnerError = 51,
  kVariablePartDamaged = 54,
  kAutoIncrementError = 55,
  kFileExists = 59,
  kRejectCountReached = 60,
  kInvalidDescriptor = 62,
  kInvalidInsertExtended = 63,
  kFilterLimitReached = 64,
  kInvalidFieldOffset = 65,
  kEndTurnedIntoAbort = 74,
  kDeadlock = 78,
  kConflict = 80,  // the record changed since this position block read it
  kLockError = 81,
  kLostPosition = 82,
  kRecordLocked = 84,
  kFileLocked = 85,
  kHandleTableFull = 87,
  kIncompatibleMode = 88,
  kIncompatibleLockType = 93,
  kSessionInvalid = 95,
  kCommunicationError = 96,
  kChunkOffsetTooBig = 103,
  kNoIntrarecordPosition = 106,
  kFileSizeLimit = 132,
  kAcsNotInFile = 136,
};

}  // namespace tavelnor::btrieve
