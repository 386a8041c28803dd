// The string block pool: fixed blocks for small Chaine buffers.
//
// A block is a 12-byte string header followed by 64 data bytes. Blocks come in
// chunks of 512, each one allocation of committed read-write pages; chunks are
// chained and are not given back while the pool lives. A free block holds the
// address of the next free block in its first data word. One critical section
// guards the free list.
//
// The process shares one pool, the singleton "BlockStorage V2", so that a
// buffer taken by one copy of the library may be returned by another. That
// pool is never destroyed: strings may be released until the very end of the
// process, and its chunks stay reachable from the registry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/platform/sync.h"

namespace tavelnor {

inline constexpr char kBlockPoolName[] = "BlockStorage V2";

class BlockPool {
 public:
  static constexpr size_t kHeaderSize = 12;
  static constexpr size_t kDataSize = 64;
  static constexpr size_t kBlockSize = kHeaderSize + kDataSize;
  static constexpr size_t kBlocksPerChunk = 512;

  // Starts with one chunk (when memory allows).
  BlockPool();
  // Returns every chunk. REQUIRES: no block in use.
  ~BlockPool();
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;

  // A block of kBlockSize bytes, aligned to 4; null when no chunk can be added.
  void* Allocate();
  // Returns a block obtained from Allocate of this pool (or of any pool of the
  // process: blocks are interchangeable).
  void Free(void* block);

  size_t BlocksInUse() const;
  size_t ChunkCount() const;

 private:
  bool AddChunk();  // REQUIRES: lock_ held

  mutable platform::CriticalSection lock_;
  unsigned char* free_head_ = nullptr;
  void* chunks_ = nullptr;  // newest chunk; each chunk starts with the link to the previous
  size_t in_use_ = 0;
  size_t chunk_count_ = 0;
};

// The process-wide pool.
BlockPool& SharedBlockPool();

}  // namespace tavelnor
