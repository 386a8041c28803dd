// The string block pool and its process-wide instance.
#include "foundation/block_pool.h"

#include <cstring>
#include <mutex>

#include "foundation/platform/memory.h"
#include "foundation/process_singleton.h"

#if defined(__SANITIZE_ADDRESS__)
#define TAVELNOR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVELNOR_ASAN 1
#endif
#endif
#if defined(TAVELNOR_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace tavelnor {

namespace {

// Chunk layout: the link to the previous chunk, padded to 16 bytes, then the
// blocks at a stride of 76 bytes (so every block header is 4-aligned).
constexpr size_t kChunkLinkSize = 16;
constexpr size_t kChunkBytes = kChunkLinkSize + BlockPool::kBlocksPerChunk * BlockPool::kBlockSize;

// Free blocks are poisoned under AddressSanitizer, so a string used after its
// release is reported even though the pool memory is not from malloc.
void Poison(void* block) {
#if defined(TAVELNOR_ASAN)
  ASAN_POISON_MEMORY_REGION(block, BlockPool::kBlockSize);
#else
  (void)block;
#endif
}
void Unpoison(void* block) {
#if defined(TAVELNOR_ASAN)
  ASAN_UNPOISON_MEMORY_REGION(block, BlockPool::kBlockSize);
#else
  (void)block;
#endif
}

unsigned char* NextFree(unsigned char* block) {
  unsigned char* next;
  std::memcpy(&next, block + BlockPool::kHeaderSize, sizeof(next));
  return next;
}
void SetNextFree(unsigned char* block, unsigned char* next) {
  std::memcpy(block + BlockPool::kHeaderSize, &next, sizeof(next));
}

}  // namespace

BlockPool::BlockPool() {
  std::lock_guard<platform::CriticalSection> guard(lock_);
  AddChunk();
}

BlockPool::~BlockPool() {
  void* chunk = chunks_;
  while (chunk != nullptr) {
    void* previous;
    std::memcpy(&previous, chunk, sizeof(previous));
    Unpoison(chunk);  // the region may be reused by the system for anything
    for (size_t i = 0; i < kBlocksPerChunk; ++i) {
      Unpoison(static_cast<unsigned char*>(chunk) + kChunkLinkSize + i * kBlockSize);
    }
    platform::FreePages(chunk, kChunkBytes);
    chunk = previous;
  }
}

bool BlockPool::AddChunk() {
  auto* chunk = static_cast<unsigned char*>(platform::AllocatePages(kChunkBytes));
  if (chunk == nullptr) return false;
  std::memcpy(chunk, &chunks_, sizeof(chunks_));
  chunks_ = chunk;
  ++chunk_count_;
  // Thread the new blocks in address order in front of the list.
  unsigned char* first = chunk + kChunkLinkSize;
  for (size_t i = kBlocksPerChunk; i-- > 0;) {
    unsigned char* block = first + i * kBlockSize;
    SetNextFree(block, free_head_);
    Poison(block);
    free_head_ = block;
  }
  return true;
}

void* BlockPool::Allocate() {
  std::lock_guard<platform::CriticalSection> guard(lock_);
  if (free_head_ == nullptr && !AddChunk()) return nullptr;
  unsigned char* block = free_head_;
  Unpoison(block);
  free_head_ = NextFree(block);
  if (free_head_ == nullptr) AddChunk();  // a failure here is retried on the next call
  ++in_use_;
  return block;
}

void BlockPool::Free(void* block) {
  if (block == nullptr) return;
  auto* b = static_cast<unsigned char*>(block);
  std::lock_guard<platform::CriticalSection> guard(lock_);
  SetNextFree(b, free_head_);
  Poison(b);
  free_head_ = b;
  --in_use_;
}

size_t BlockPool::BlocksInUse() const {
  std::lock_guard<platform::CriticalSection> guard(lock_);
  return in_use_;
}

size_t BlockPool::ChunkCount() const {
  std::lock_guard<platform::CriticalSection> guard(lock_);
  return chunk_count_;
}

BlockPool& SharedBlockPool() {
  // Acquired once per copy of the library and never released (see header).
  static auto* holder = new ProcessSingleton<BlockPool>(kBlockPoolName);
  static BlockPool* pool = &holder->Get();
  return *pool;
}

}  // namespace tavelnor

