// Shared by the tests of the reader of earlier engines' data files: where
// the real files are, opening an image with every record collected, and the
// checks every file that opens must pass.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "btrieve/legacy_reader.h"
#include "btrieve/legacy_source.h"
#include "foundation/platform/files.h"

namespace tavelnor::btrieve::legacy_test {

// <project>/../shared/fixtures/btrieve-real, found from the test data folder
// (<project>/tests/data) or from this file (<project>/tests/btrieve).
inline std::filesystem::path FixtureRoot() {
  const char* data = std::getenv("TAVELNOR_TEST_DATA");
  std::filesystem::path tests_dir =
      data ? std::filesystem::path(data) : std::filesystem::path(__FILE__).parent_path();
  return tests_dir / ".." / ".." / ".." / "shared" / "fixtures" / "btrieve-real";
}

inline std::vector<uint8_t> LoadFixture(const std::string& name) {
  auto bytes = platform::ReadWholeFile((FixtureRoot() / name).string());
  return bytes.ok() ? std::move(bytes).value() : std::vector<uint8_t>{};
}

#define REQUIRE_FIXTURES()                                                             \
  if (!std::filesystem::is_directory(::tavelnor::btrieve::legacy_test::FixtureRoot())) \
  GTEST_SKIP() << "real data files not found at "                                      \
               << ::tavelnor::btrieve::legacy_test::FixtureRoot().string()

struct Opened {
  int status = -1;
  std::string reason;
  std::unique_ptr<LegacySource> source;
  std::vector<std::vector<uint8_t>> records;
  std::vector<uint32_t> addresses;
  std::vector<std::vector<uint32_t>> ranks;
  int scan = -1;
};

inline Opened Open(std::vector<uint8_t> image) {
  Opened o;
  o.status = legacy::OpenLegacyImage(std::move(image), &o.source, &o.reason);
  if (o.status != 0) return o;
  o.scan = o.source->Scan([&](const LegacyRecord& r) {
    o.records.emplace_back(r.data.begin(), r.data.end());
    o.addresses.push_back(r.address);
    o.ranks.emplace_back(r.dup_rank.begin(), r.dup_rank.end());
    return 0;
  });
  return o;
}

// The key value as the engine compares it: zero-terminated strings up to the
// terminator, collating sequences applied, segments kept apart.
inline std::vector<uint8_t> KeyValue(const FileSpec& spec, const KeyDef& key,
                                     const std::vector<uint8_t>& record) {
  std::vector<uint8_t> out;
  for (const Segment& s : key.segments) {
    auto begin = record.begin() + (s.position - 1), end = begin + s.length;
    if (s.type == kTypeZstring) end = std::find(begin, end, 0);
    for (auto it = begin; it != end; ++it) {
      out.push_back(s.flags & kKeyAlternate ? spec.acs.at(s.acs)[9 + *it] : *it);
    }
    out.push_back(0xFF);
  }
  return out;
}

// Each key holds as many distinct values as the file counts, duplicates rank
// 0, 1, 2... in the order of their addresses, and each record reads back at
// its address.
inline void ExpectConsistent(const Opened& o) {
  const FileSpec& spec = o.source->spec();
  for (size_t k = 0; k < spec.keys.size(); ++k) {
    std::map<std::vector<uint8_t>, uint32_t> next;
    for (size_t i = 0; i < o.records.size(); ++i) {
      uint32_t& rank = next[KeyValue(spec, spec.keys[k], o.records[i])];
      ASSERT_EQ(o.ranks[i][k], spec.keys[k].duplicates() ? rank++ : 0) << "key " << k << " @" << i;
    }
    EXPECT_EQ(next.size(), o.source->info().unique_counts[k]) << "key " << k;
  }
  for (size_t i = 0; i < o.records.size(); ++i) {
    std::vector<uint8_t> again;
    ASSERT_EQ(o.source->Read(o.addresses[i], &again), 0);
    EXPECT_EQ(again, o.records[i]);
    EXPECT_TRUE(i == 0 || o.addresses[i - 1] < o.addresses[i]);
  }
}

}  // namespace tavelnor::btrieve::legacy_test
