// Which typed buffer wraps the bytes of each type code, and the default size
// given to a buffer whose creator passes a negative size.
//
// The buffer factory is a table of 256 slots indexed by code + 1 (slot 0 is
// code -1); a slot holds the buffer kind registered for the code, and every
// code without an entry (derived text codes, unassigned codes) takes the raw
// buffer. The buffer classes themselves bind to these kinds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavelnor::record {

enum class BufferKind : uint8_t {
  kRaw,
  kZString,
  kInt32,
  kDouble,
  kDate,
  kTime,
  kbdBool,
  kStr,
  kAutre,
  kDec32,
  kInt8,
  kUInt8,
  kInt16,
  kUInt16,
  kUInt32,
  kBool,
  kDec64,
  kCharacter,
  kInt,
  kFloat,
  kChaine,
  kInt64,
  kUInt64,
  kTimeStamp,
  kCurrency,
  kGuid,
  kBlob,
  kBlobText,
  kBlobRichText,
  kBlobImage,
  kBlobSound,
  kBlobVideo,
};

inline constexpr size_t kBufferFactorySlots = 256;
inline constexpr int32_t kFallbackBufferSize = 256;

// The 256-slot kind table, slot = code + 1.
const std::array<BufferKind, kBufferFactorySlots>& BufferFactoryTable();

// The kind the factory creates for `code`; raw outside the table.
BufferKind BufferKindForCode(int16_t code);

// The default size of `code`: the 31-entry table for codes 0 to 30 (compared
// unsigned, so negative codes fall outside), 256 otherwise.
int32_t DefaultBufferSize(int16_t code);

// `size` itself when it is 0 or more, else the code's default size.
int32_t ResolveBufferSize(int16_t code, int32_t size);

}  // namespace tavelnor::record
