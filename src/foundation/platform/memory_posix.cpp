// Raw memory on POSIX: anonymous private mappings and the C library heap.
#include <sys/mman.h>

#include <cstdlib>

#include "foundation/platform/memory.h"

namespace tavelnor::platform {

void* AllocatePages(size_t bytes) {
  if (bytes == 0) return nullptr;
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void FreePages(void* pages, size_t bytes) {
  if (pages != nullptr) munmap(pages, bytes);
}

void* ProcessHeapAlloc(size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void ProcessHeapFree(void* block) { std::free(block); }

}  // namespace tavelnor::platform
