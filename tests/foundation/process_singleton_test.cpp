// The process singleton registry. Each test works on a registry of its own,
// named from a made-up process id, so that the library's real registry (which
// holds the string block pool) is left alone; two ProcessSingletonModule
// objects with the same id stand for two copies of the library.
#include "foundation/process_singleton.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/block_pool.h"
#include "foundation/chaine.h"
#include "foundation/platform/named_objects.h"
#include "foundation/platform/process.h"

namespace tavelnor {
namespace {

std::atomic<int> g_destroyed{0};

struct Counted : EProcessObject {
  ~Counted() override { g_destroyed.fetch_add(1); }
  int value = 0;
};

class ProcessSingletonTest : public testing::Test {
 protected:
  ProcessSingletonTest()
      : pid_(NextFakePid()), module_(pid_), other_copy_(AsAFreshCopy(pid_)) {}

  // The next view resolves the registry's names through the environment, as
  // another copy of the library loaded into this process would.
  static uint32_t AsAFreshCopy(uint32_t pid) {
    platform::ForgetResolvedNames();
    return pid;
  }

  static uint32_t NextFakePid() {
    static std::atomic<uint32_t> next{0x7E570000};
    return next.fetch_add(1);
  }

  ProcessSingletonModule::Snapshot Snap() {
    auto snap = module_.TakeSnapshot();
    EXPECT_TRUE(snap.ok());
    return snap.ok() ? *snap : ProcessSingletonModule::Snapshot{};
  }

  static int SlotOf(const ProcessSingletonModule::Snapshot& snap, const std::string& name) {
    for (size_t i = 0; i < snap.slots.size(); ++i) {
      if (snap.slots[i].used && snap.slots[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }

  const uint32_t pid_;
  ProcessSingletonModule module_;
  ProcessSingletonModule other_copy_;
};

TEST(ProcessSingletonNames, FormattedFromBuildAndProcessId) {
  EXPECT_EQ(ProcessSingletonModule::MutexName(0x1a2b), "OXA_EProcessSingleton_Mutex_992_1a2b");
  EXPECT_EQ(ProcessSingletonModule::MappingName(0x1a2b), "OXA_EProcessSingleton_Mapping_992_1a2b");
  EXPECT_NE(ProcessSingletonModule::MappingName(100), ProcessSingletonModule::MappingName(101));
  const uint32_t pid = platform::CurrentProcessId();
  EXPECT_EQ(ProcessSingletonModule::Current().mutex_name(), ProcessSingletonModule::MutexName(pid));
  EXPECT_EQ(ProcessSingletonModule::Current().mapping_name(),
            ProcessSingletonModule::MappingName(pid));
}

TEST_F(ProcessSingletonTest, TwoCopiesShareTheObjectUntilTheLastRelease) {
  g_destroyed = 0;
  auto first = std::make_unique<EProcessSingleton>("Shared", module_);
  auto second = std::make_unique<EProcessSingleton>("Shared", other_copy_);
  ASSERT_TRUE(first->ok());
  ASSERT_TRUE(second->ok());
  EXPECT_EQ(first->Object(), nullptr);
  EProcessObject* made = first->GetOrCreate([] { return new Counted(); });
  EXPECT_EQ(second->GetOrCreate([] { return new Counted(); }), made);  // not created twice
  EXPECT_EQ(second->Object(), made);

  first.reset();  // the first holder goes: the object stays
  EXPECT_EQ(g_destroyed, 0);
  EXPECT_EQ(second->Object(), made);
  auto snap = Snap();
  EXPECT_EQ(snap.attach_count, 1u);
  ASSERT_EQ(snap.slots.size(), 1u);
  EXPECT_EQ(snap.slots[0].ref_count, 1);

  second.reset();  // the last holder destroys it and the empty registry lets go of its array
  EXPECT_EQ(g_destroyed, 1);
  snap = Snap();
  EXPECT_EQ(snap.attach_count, 0u);
  EXPECT_TRUE(snap.slots.empty());
}

TEST_F(ProcessSingletonTest, FreedSlotIsReusedBeforeTheArrayGrows) {
  EProcessSingleton a("A", module_);
  EXPECT_EQ(Snap().slots.size(), 1u);
  auto b = std::make_unique<EProcessSingleton>("B", module_);
  EXPECT_EQ(Snap().slots.size(), 2u);  // grown by exactly one slot per new name
  EProcessSingleton c("C", module_);
  EXPECT_EQ(Snap().slots.size(), 3u);
  const int slot_b = SlotOf(Snap(), "B");
  ASSERT_EQ(slot_b, 1);

  b.reset();
  auto snap = Snap();
  ASSERT_EQ(snap.slots.size(), 3u);
  EXPECT_FALSE(snap.slots[1].used);

  EProcessSingleton d("D", other_copy_);
  snap = Snap();
  EXPECT_EQ(snap.slots.size(), 3u);
  EXPECT_EQ(SlotOf(snap, "D"), slot_b);
  EProcessSingleton e("E", module_);
  EXPECT_EQ(SlotOf(Snap(), "E"), 3);
}

TEST_F(ProcessSingletonTest, InvalidNamesGiveAHandleWithoutObject) {
  EProcessSingleton empty("", module_);
  EProcessSingleton with_zero(std::string_view("a\0b", 3), module_);
  for (EProcessSingleton* h : {&empty, &with_zero}) {
    EXPECT_FALSE(h->ok());
    EXPECT_EQ(h->status().code(), Status::Code::kInvalidArgument);
    EXPECT_EQ(h->Object(), nullptr);
    EXPECT_EQ(h->GetOrCreate([] { return new Counted(); }), nullptr);
  }
  ProcessSingleton<int> typed("", module_);
  EXPECT_THROW(typed.Get(), ProcessSingletonError);
  EXPECT_EQ(Snap().attach_count, 0u);
}

TEST_F(ProcessSingletonTest, ConcurrentCopiesCreateTheObjectOnce) {
  static std::atomic<int> constructed{0};
  struct Once {
    Once() { constructed.fetch_add(1); }
  };
  constructed = 0;
  constexpr int kCopies = 6;
  std::vector<std::unique_ptr<ProcessSingletonModule>> copies;
  for (int i = 0; i < kCopies; ++i) {
    copies.push_back(std::make_unique<ProcessSingletonModule>(AsAFreshCopy(pid_)));
  }
  std::vector<Once*> seen(kCopies, nullptr);
  std::atomic<bool> go{false};
  std::atomic<int> holding{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kCopies; ++i) {
    threads.emplace_back([&, i] {
      ProcessSingletonModule& m = *copies[i];
      while (!go.load()) std::this_thread::yield();
      ProcessSingleton<Once> keep("Once", m);  // all race to create it
      seen[i] = &keep.Get();
      holding.fetch_add(1);
      for (int round = 0; round < 200; ++round) {
        EProcessSingleton churn("Churn" + std::to_string((round + i) % 5), m);
      }
      while (holding.load() < kCopies) std::this_thread::yield();  // nobody releases early
    });
  }
  go = true;
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(constructed, 1);
  for (Once* p : seen) EXPECT_EQ(p, seen[0]);
  auto snap = Snap();
  EXPECT_EQ(snap.attach_count, 0u);
  EXPECT_TRUE(snap.slots.empty());
}

#if !defined(_WIN32)
// Names are published through the environment on POSIX only.
TEST_F(ProcessSingletonTest, StaleVariableFromAnotherProgramIsReplaced) {
  const uint32_t pid = NextFakePid();
  const std::string name = ProcessSingletonModule::MappingName(pid);
  ASSERT_TRUE(platform::SetEnv(name.c_str(), "12345678:9abc"));  // as inherited through exec
  ProcessSingletonModule fresh(pid);
  ASSERT_TRUE(fresh.status().ok());
  {
    EProcessSingleton h("X", fresh);
    EXPECT_TRUE(h.ok());
    auto snap = fresh.TakeSnapshot();
    ASSERT_TRUE(snap.ok());
    EXPECT_EQ(snap->attach_count, 1u);
  }
  auto value = platform::GetEnv(name.c_str());
  ASSERT_TRUE(value.has_value());
  EXPECT_NE(*value, "12345678:9abc");
}

// A second, independent lookup of the library's real registry: the published
// variables are there, and a fresh view for this process that resolves them
// through the environment reaches the very pool object the strings use.
TEST(ProcessSingletonPublished, RealRegistryIsFoundThroughItsPublishedName) {
  Chaine warm_up("makes sure the pool exists");
  const uint32_t pid = platform::CurrentProcessId();
  const char* value = std::getenv(ProcessSingletonModule::MappingName(pid).c_str());
  ASSERT_NE(value, nullptr);
  const std::string text(value);
  const size_t colon = text.find(':');
  ASSERT_NE(colon, std::string::npos);
  EXPECT_NE(std::strtoull(text.substr(0, colon).c_str(), nullptr, 16), 0u);
  ASSERT_NE(std::getenv(ProcessSingletonModule::MutexName(pid).c_str()), nullptr);

  platform::ForgetResolvedNames();
  ProcessSingletonModule second_copy(pid);
  ASSERT_TRUE(second_copy.status().ok());
  ProcessSingleton<BlockPool> pool(kBlockPoolName, second_copy);
  EXPECT_EQ(&pool.Get(), &SharedBlockPool());
}
#endif

}  // namespace
}  // namespace tavelnor
