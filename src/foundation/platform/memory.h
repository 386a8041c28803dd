// Platform seam: raw memory. Committed pages for the string block pool and the
// process heap, whose blocks may be freed by any copy of the library in the
// process (unlike the C++ runtime's allocator on some systems).
#pragma once

#include <cstddef>

namespace tavelnor::platform {

// Committed, read-write, zero-filled pages; requested top-down where the
// system supports it. Returns null on failure. `bytes` is rounded up to whole
// pages by the system.
void* AllocatePages(size_t bytes);
// Returns pages obtained from AllocatePages (same `bytes`).
void FreePages(void* pages, size_t bytes);

// The process heap. Returns null on failure (never throws).
void* ProcessHeapAlloc(size_t bytes);
// Accepts null.
void ProcessHeapFree(void* block);

}  // namespace tavelnor::platform
