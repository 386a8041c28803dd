// Shared by the tests of the reader of earlier engines' data files: where
// the real files are, and opening an image with every record collected.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

}  // namespace tavelnor::btrieve::legacy_test
