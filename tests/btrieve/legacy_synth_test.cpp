// Files built by the test writer read back exactly: a large 6.0 file over several
// page-allocation groups with stale copies, fragment chains, deleted slots.
#include "legacy_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "foundation/byte_reader.h"
#include "legacy_test_util.h"

namespace tavelnor::btrieve {
namespace {

using legacy_test::Open;
using legacy_test::Opened;
using synth::SynthFile;

// The file `write` makes of `f` opens (into `out`) with exactly the live records
// of `f` at the written addresses; the deleted ones do not read.
void ExpectReadsBack(const SynthFile& f, synth::Written (*write)(const SynthFile&), Opened* out) {
  const synth::Written w = write(f);
  const Opened& o = *out = Open(w.image);
  ASSERT_EQ(o.status, 0) << o.reason;
  ASSERT_EQ(o.scan, 0);
  std::vector<std::vector<uint8_t>> live;
  std::vector<uint32_t> addresses;
  for (size_t r = 0; r < f.records.size(); ++r) {
    if (std::count(f.deleted.begin(), f.deleted.end(), r)) {
      EXPECT_EQ(o.source->Read(w.addresses[r] ? w.addresses[r] : 1, nullptr), 43) << r;
    } else {
      live.push_back(f.records[r]), addresses.push_back(w.addresses[r]);
    }
  }
  EXPECT_TRUE(o.records == live);
  EXPECT_EQ(o.addresses, addresses);
  legacy_test::ExpectConsistent(o);
}

// A 16-byte list name of few values (long duplicate chains), a 16-byte verb.
TEST(LegacySynthetic, LargeVersion6FileOverSeveralTableGroups) {
  SynthFile f;
  f.record_length = 950;
  f.acs.push_back(synth::UpperCaseAcs("GALCAPS"));
  const uint16_t acs = kKeyAlternate | kKeyExtType, dup = acs | kKeyDup;
  f.keys = {{{{0, 16, acs, kTypeZstring}, {16, 16, acs, kTypeZstring}}},
            {{{0, 16, dup, kTypeZstring}}},
            {{{16, 16, dup, kTypeZstring}}}};
  for (size_t i = 0; i < 5000; ++i) {
    std::vector<uint8_t> r(950, static_cast<uint8_t>(i * 31));
    std::fill_n(r.begin(), 32, 0);
    std::snprintf(reinterpret_cast<char*>(&r[0]), 16, "LIST%zu", i % 7);
    std::snprintf(reinterpret_cast<char*>(&r[16]), 16, "VERB%zu", i % 1000);
    f.records.push_back(std::move(r));
  }
  f.deleted = {3, 4093, 4999};
  f.stale_copies = true;
  Opened o;
  ExpectReadsBack(f, synth::WriteVersion6, &o);
  ASSERT_NE(o.source, nullptr);
  EXPECT_GT(o.source->info().page_count, 1022u) << "the file needs a second table group";
  EXPECT_EQ(o.source->info().unique_counts, (std::vector<uint32_t>{4997, 7, 1000}));
  EXPECT_EQ(o.source->spec().acs, f.acs);
}

}  // namespace
}  // namespace tavelnor::btrieve
