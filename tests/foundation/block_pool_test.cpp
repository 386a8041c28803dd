// The string block pool: chunk growth, blocks given back, and concurrent
// users that never share a block.
#include "foundation/block_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace tavelnor
