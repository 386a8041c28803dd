// The special path tables as process singletons: registered under their
// names, shared by every holder, and safe to use from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/process_singleton.h"
#include "paths/app_values.h"
#include "paths/paths_sandbox.h"
#include "paths/special_path_ids.h"
#include "paths/special_path_tables.h"
#include "paths/special_paths.h"
#include "tavelnor/zavl.h"

namespace tavelnor::paths {
namespace {

using SharedTables = testing::PathsSandbox;

TEST_F(SharedTables, RegisteredUnderTheirNames) {
  // The sandbox has touched every table; the registry now holds them.
  Result<ProcessSingletonModule::Snapshot> snap = ProcessSingletonModule::Current().TakeSnapshot();
  ASSERT_TRUE(snap.ok()) << snap.status().ToString();
  std::set<std::string> names;
  for (const auto& slot : snap->slots) {
    if (slot.used && slot.has_object) names.insert(slot.name);
  }
  for (const char* name : {"SpecialOXAPathPaths", "SpecialOXAPathRules", "SpecialOXAPathLegacies",
                           "SpecialOXAPathLegacyDefs", "SpecialOXAPathLock", "ProcessDico"}) {
    EXPECT_TRUE(names.count(name)) << name;
  }
}

TEST_F(SharedTables, ConcurrentForcingAndReading) {
  const std::string a = MakeDir("a");
  const std::string b = MakeDir("b");
  std::atomic<bool> go{false};
  std::atomic<int> odd{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      char buf[512];
      for (int i = 0; i < 200; ++i) {
        if (t % 2 == 0) {
          ZAVL_ForceSpecialPathByID(kCommon, (i % 2 ? a : b).c_str());
          SetAppValue(kAppName, i % 2 ? "One" : "Two");
        } else if (ZAVL_GetSpecialPathByID(kCommon, buf, sizeof(buf))) {
          const std::string got(buf);
          if (got != a && got != b) odd.fetch_add(1);
        }
      }
    });
  }
  go = true;
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(odd.load(), 0);
  const std::string last = ById(kCommon);
  EXPECT_TRUE(last == a || last == b) << last;
}

}  // namespace
}  // namespace tavelnor::paths
