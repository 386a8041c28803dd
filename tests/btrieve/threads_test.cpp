// Calls from several threads, each with its own position blocks on one file,
// are serialised: nothing is lost and every index agrees with the records.
#include <thread>

#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

TEST(Threads, ConcurrentInsertsAndReadsLoseNothing) {
  ScratchDir dir;
  std::string path = dir.File("threads.btr");
  Block setup;
  ASSERT_EQ(setup.Create(path, ThreeKeySpec()), 0);
  constexpr int kThreads = 4;
  constexpr int kEach = 40;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Block b;
      if (b.Open(path) != 0) {
        failures[t]++;
        return;
      }
      for (int i = 0; i < kEach; ++i) {
        int id = t * kEach + i;
        auto r = Rec(id, "t" + std::to_string(t), static_cast<int16_t>(id));
        if (b.Write(kOpInsert, r, 0) != 0) failures[t]++;
        std::vector<uint8_t> got;
        if (b.Read(kOpGetLast, &got, 2) != 0) failures[t]++;
      }
      if (b.Close() != 0) failures[t]++;
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
  ASSERT_EQ(setup.Open(path), 0);
  for (int key : {0, 1, 2}) {
    std::vector<uint8_t> r;
    int seen = 0;
    for (int st = setup.Read(kOpGetFirst, &r, key); st == 0; st = setup.Read(kOpGetNext, &r, key)) {
      ++seen;
    }
    EXPECT_EQ(seen, kThreads * kEach) << "key " << key;
  }
  EXPECT_EQ(setup.Close(), 0);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
