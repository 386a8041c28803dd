// Choosing the record manager: the embedded one, a client library loaded by
// path, and the client libraries that are left aside.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "data/btrieve_client.h"
#include "data/btrv_constants.h"

namespace tavelnor::data {
namespace {

// Version (26) through a chosen record manager's BTRCALL.
int VersionThrough(const RecordManager& m) {
  uint8_t pos[128] = {}, data[5] = {}, key[255] = {};
  uint32_t len = sizeof data;
  if (m.entries().call(btrieve::kOpVersion, pos, data, &len, key, 255, 0) != 0) return -1;
  return data[0] | (data[1] << 8);
}

TEST(RecordManagerChoiceTest, NoLibraryMeansTheEmbeddedOne) {
  const RecordManager m = RecordManager::Choose("", false);
  EXPECT_EQ(m.kind(), RecordManager::Kind::kEmbedded);
  EXPECT_EQ(m.Describe(), "embedded");
  EXPECT_EQ(m.entries().call, &BTRCALL);
  EXPECT_EQ(VersionThrough(m), 7);
}

TEST(RecordManagerChoiceTest, UnusableLibrariesFallBackWithANote) {
  const std::pair<const char*, const char*> cases[] = {
      {"/nonexistent/libnothing.so", "embedded (/nonexistent/libnothing.so"},
      {TAVELNOR_TEST_NO_ENTRIES_LIBRARY, "no BTRCALL/BTRCALLID entry points"}};
  for (const auto& [library, note] : cases) {
    const RecordManager m = RecordManager::Choose(library, false);
    EXPECT_EQ(m.kind(), RecordManager::Kind::kEmbedded) << library;
    EXPECT_NE(m.Describe().find(note), std::string::npos) << m.Describe();
    EXPECT_EQ(m.entries().call, &BTRCALL);
  }
}

TEST(RecordManagerChoiceTest, ClientLibraryByName) {
  RecordManager m = RecordManager::Choose(TAVELNOR_TEST_CLIENT_LIBRARY, false);
  ASSERT_EQ(m.kind(), RecordManager::Kind::kClientLibrary) << m.Describe();
  EXPECT_EQ(m.Describe(), std::string("client library ") + TAVELNOR_TEST_CLIENT_LIBRARY);
  EXPECT_NE(m.entries().call, &BTRCALL);
  EXPECT_EQ(VersionThrough(m), 7);
  // Moving keeps the library loaded for the new owner only.
  RecordManager moved(std::move(m));
  EXPECT_EQ(VersionThrough(moved), 7);
}

TEST(RecordManagerChoiceTest, ReplacementEndsWhenTakenAway) {
  static int calls = 0;
  calls = 0;
  auto fake = [](uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t) -> int16_t {
    ++calls;
    return 1;
  };
  const RecordManagerEntries old = ReplaceRecordManager({fake, nullptr});
  uint8_t pos[128] = {}, key[255] = {};
  EXPECT_EQ(BtrvCall(btrieve::kOpStat, pos, nullptr, nullptr, key, -1), 1);
  EXPECT_EQ(BtrvCallId(btrieve::kOpStat, pos, nullptr, nullptr, key, -1, &ProcessClientId()), 20)
      << "a replacement without BTRCALLID answers 20";
  ReplaceRecordManager(old);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(BtrvCall(btrieve::kOpStat, pos, nullptr, nullptr, key, -1), 3) << "embedded: not open";
}

}  // namespace
}  // namespace tavelnor::data
