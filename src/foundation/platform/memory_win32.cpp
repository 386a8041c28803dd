// Raw memory on Windows: committed top-down virtual memory and the process heap.
#include "foundation/platform/win32_headers.h"

#include "foundation/platform/memory.h"

namespace tavelnor::platform {

void* AllocatePages(size_t bytes) {
  if (bytes == 0) return nullptr;
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
}

void FreePages(void* pages, size_t) {
  if (pages != nullptr) VirtualFree(pages, 0, MEM_RELEASE);
}

void* ProcessHeapAlloc(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes == 0 ? 1 : bytes); }

void ProcessHeapFree(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace tavelnor::platform
