// Chaine buffers: the 12-byte header in front of the characters, allocation
// from the block pool or the process heap, release, and the growth rule.
//
//   offset  size  field
//   0       4     reference count, signed, changed only atomically
//   4       4     size = length + 1 (terminating zero included)
//   8       4     capacity in data bytes: even = pool block (64),
//                 odd = heap block, 0 = the static empty buffer
//   12      ...   characters, always zero-terminated
//
// The static empty buffer of this copy of the library is never freed; its
// count starts at 1 so it never drops to 0, and a release recognises it (or
// another copy's) by its zero capacity.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tavelnor::chaine_buffer {

struct Header {
  std::atomic<int32_t> ref_count;
  uint32_t size;
  uint32_t capacity;
};
static_assert(sizeof(Header) == 12);
static_assert(std::atomic<int32_t>::is_always_lock_free);

inline constexpr size_t kPoolCapacity = 64;

inline Header* HeaderOf(const char* data) {
  return reinterpret_cast<Header*>(const_cast<char*>(data) - sizeof(Header));
}

// The static empty buffer's data, with one more reference taken.
char* EmptyRef();
// A new buffer with room for `capacity` bytes (terminator included): a pool
// block when capacity <= 64, else a heap block of capacity (capacity | 1).
// Reference count 1, size 1, empty text. Throws std::bad_alloc, or
// std::length_error when capacity does not fit the 32-bit header.
char* Allocate(size_t capacity);
void AddRef(char* data);
// Drops one reference; the last one frees the buffer.
void Release(char* data);

// Capacity for a buffer that must grow to hold `size` bytes when the old one
// had `old_capacity`: size below 256: size; else twice the old capacity when
// that is larger and the old capacity is below 32768; else size + 32768.
size_t GrowthCapacity(size_t size, size_t old_capacity);

// Number of buffers allocated by this copy of the library so far.
uint64_t AllocationCount();

}  // namespace tavelnor::chaine_buffer
