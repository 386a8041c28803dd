// The string block pool: chunk growth, block reuse, layout, concurrency and
// the process-wide instance.
#include "foundation/block_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "foundation/process_singleton.h"

namespace tavelnor {
namespace {

TEST(BlockPool, StartsWithOneChunkAndAddsOneWhenTheFreeListEmpties) {
  BlockPool pool;
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_EQ(pool.BlocksInUse(), 0u);
  std::vector<void*> blocks;
  for (size_t i = 0; i + 1 < BlockPool::kBlocksPerChunk; ++i) blocks.push_back(pool.Allocate());
  EXPECT_EQ(pool.ChunkCount(), 1u);
  blocks.push_back(pool.Allocate());  // takes the last block of the first chunk
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_EQ(pool.BlocksInUse(), BlockPool::kBlocksPerChunk);
  for (void* b : blocks) pool.Free(b);
  EXPECT_EQ(pool.BlocksInUse(), 0u);
  EXPECT_EQ(pool.ChunkCount(), 2u);  // chunks are kept
}

TEST(BlockPool, BlocksAreDistinctAlignedAndWholeBlocksAreWritable) {
  BlockPool pool;
  std::vector<uint8_t*> blocks;
  for (size_t i = 0; i < 2 * BlockPool::kBlocksPerChunk + 10; ++i) {
    auto* b = static_cast<uint8_t*>(pool.Allocate());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 4, 0u);
    std::memset(b, static_cast<int>(i & 0xFF), BlockPool::kBlockSize);
    blocks.push_back(b);
  }
  std::vector<uint8_t*> sorted = blocks;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 1; i < sorted.size(); ++i) {
    EXPECT_GE(static_cast<size_t>(sorted[i] - sorted[i - 1]), BlockPool::kBlockSize);
  }
  for (size_t i = 0; i < blocks.size(); ++i) {  // no block overwrote another
    EXPECT_EQ(blocks[i][0], static_cast<uint8_t>(i & 0xFF));
    EXPECT_EQ(blocks[i][BlockPool::kBlockSize - 1], static_cast<uint8_t>(i & 0xFF));
  }
  for (uint8_t* b : blocks) pool.Free(b);
}

TEST(BlockPool, FreedBlockIsTheNextOneHandedOut) {
  BlockPool pool;
  void* a = pool.Allocate();
  void* b = pool.Allocate();
  pool.Free(a);
  EXPECT_EQ(pool.Allocate(), a);
  pool.Free(b);
  pool.Free(a);
  EXPECT_EQ(pool.Allocate(), a);
  EXPECT_EQ(pool.Allocate(), b);
  pool.Free(a);
  pool.Free(b);
  pool.Free(nullptr);  // ignored
  EXPECT_EQ(pool.BlocksInUse(), 0u);
}

TEST(BlockPool, ConcurrentUsersNeverShareABlock) {
  BlockPool pool;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&pool, t] {
      std::vector<uint8_t*> held;
      for (int i = 0; i < 3000; ++i) {
        auto* b = static_cast<uint8_t*>(pool.Allocate());
        std::memset(b, t + 1, BlockPool::kBlockSize);
        held.push_back(b);
        if (i % 3 == 2) {  // release some along the way, checking nobody wrote into them
          for (uint8_t* h : held) {
            EXPECT_EQ(h[0], t + 1);
            EXPECT_EQ(h[BlockPool::kBlockSize - 1], t + 1);
            pool.Free(h);
          }
          held.clear();
        }
      }
      for (uint8_t* h : held) pool.Free(h);
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(pool.BlocksInUse(), 0u);
}

TEST(SharedBlockPool, IsTheRegisteredBlockStorageSingleton) {
  BlockPool& shared = SharedBlockPool();
  EXPECT_EQ(&SharedBlockPool(), &shared);
  // Another handle on the name, as another copy of the library would take.
  ProcessSingleton<BlockPool> other(kBlockPoolName);
  EXPECT_EQ(&other.Get(), &shared);
  auto snapshot = ProcessSingletonModule::Current().TakeSnapshot();
  ASSERT_TRUE(snapshot.ok());
  const auto& slots = snapshot->slots;
  auto it = std::find_if(slots.begin(), slots.end(),
                         [](const auto& s) { return s.used && s.name == kBlockPoolName; });
  ASSERT_NE(it, slots.end());
  EXPECT_TRUE(it->has_object);
  EXPECT_GE(it->ref_count, 2);
}

}  // namespace
}  // namespace tavelnor
