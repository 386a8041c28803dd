// Allocation and release of Chaine buffers.
#include "foundation/chaine_buffer.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "foundation/block_pool.h"
#include "foundation/platform/memory.h"

namespace tavelnor::chaine_buffer {

namespace {

struct EmptyBuffer {
  Header header;
  char data[4];
};

constinit EmptyBuffer g_empty{{1, 1, 0}, {0, 0, 0, 0}};
static_assert(offsetof(EmptyBuffer, data) == sizeof(Header));
std::atomic<uint64_t> g_allocations{0};

}  // namespace

char* EmptyRef() {
  g_empty.header.ref_count.fetch_add(1, std::memory_order_relaxed);
  return g_empty.data;
}

char* Allocate(size_t capacity) {
  void* block;
  uint32_t recorded;
  if (capacity <= kPoolCapacity) {
    block = SharedBlockPool().Allocate();
    recorded = kPoolCapacity;
  } else {
    if (capacity > UINT32_MAX - sizeof(Header) - 1) throw std::length_error("Chaine too long");
    recorded = static_cast<uint32_t>(capacity | 1);
    block = platform::ProcessHeapAlloc(recorded + sizeof(Header));
  }
  if (block == nullptr) throw std::bad_alloc();
  auto* header = new (block) Header{1, 1, recorded};
  char* data = reinterpret_cast<char*>(header + 1);
  data[0] = '\0';
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return data;
}

void AddRef(char* data) { HeaderOf(data)->ref_count.fetch_add(1, std::memory_order_relaxed); }

void Release(char* data) {
  Header* header = HeaderOf(data);
  if (header->ref_count.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  const uint32_t capacity = header->capacity;
  if (capacity == 0) return;  // a static empty buffer
  header->~Header();
  if (capacity % 2 == 0) {
    SharedBlockPool().Free(header);
  } else {
    platform::ProcessHeapFree(header);
  }
}

size_t GrowthCapacity(size_t size, size_t old_capacity) {
  if (size < 256) return size;
  if (size > SIZE_MAX - 32768) return size;  // too long anyway: Allocate refuses it
  if (size < 2 * old_capacity && old_capacity < 32768) return 2 * old_capacity;
  return size + 32768;
}

uint64_t AllocationCount() { return g_allocations.load(std::memory_order_relaxed); }

}  // namespace tavelnor::chaine_buffer
