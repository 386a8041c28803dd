// Files built by the test writer read back exactly at every page size, 6.0
// ones over several page-allocation groups with stale copies, with fragment
// chains and deleted slots; and the limits small pages put on files.
#include "legacy_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "btrieve/legacy_format.h"
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

// A file of `ps`-byte pages with every feature the writer has: a two-segment
// unique key and two duplicatable ones (one through a collating sequence),
// deleted slots, stale header and table copies. Fixed records come three to a
// page, variable parts 0 to 2 pages long; either way the 6.0 file needs a
// second page-allocation group.
SynthFile PagedFile(uint16_t ps, bool variable) {
  SynthFile f;
  f.page_size = ps;
  f.variable = variable;
  f.record_length = static_cast<uint16_t>(variable ? 24 : ps / 3 - 24);
  f.acs.push_back(synth::UpperCaseAcs("UPPER"));
  const uint16_t acs = kKeyAlternate | kKeyExtType;
  f.keys = {{{{0, 8, 0, kTypeString}, {8, 8, acs, kTypeZstring}}},
            {{{8, 8, acs | kKeyDup, kTypeZstring}}},
            {{{16, 2, kKeyExtType | kKeyDup, kTypeUnsignedBinary}}}};
  const size_t per_table = ps / 4 - 2;
  const size_t n = variable ? per_table * 5 / 4 + 8 : 3 * (per_table + 4);
  for (size_t i = 0; i < n; ++i) {
    const size_t tail = variable ? i * 7919 % (2u * ps) : 0;
    std::vector<uint8_t> r(f.record_length + tail);
    for (size_t j = 0; j < r.size(); ++j) r[j] = static_cast<uint8_t>(i * 31 + j * 7);
    char id[24];
    std::snprintf(id, sizeof id, "%08zu", i);
    std::memcpy(&r[0], id, 8);
    std::fill_n(&r[8], 8, 0);  // the writer chains duplicates by all 8 bytes
    std::snprintf(reinterpret_cast<char*>(&r[8]), 8, "LIST%zu", i % 7);
    StoreLE16(&r[16], static_cast<uint16_t>(i % 50));
    f.records.push_back(std::move(r));
  }
  f.deleted = {3, n / 2, n - 1};
  f.stale_copies = true;
  return f;
}

// An owner name without encryption leaves the pages plain: the file reads
// (read-only, as every earlier engine's file) and says it is owned. With
// encryption, modelled by enciphering every page past the header, it is
// refused with that reason; the same pages enciphered in a file without an
// owner are damage.
TEST(LegacySynthetic, OwnedFilesReadUnlessEncrypted) {
  SynthFile f;
  f.page_size = 512;
  f.record_length = 16;
  f.keys = {{{{0, 8, 0, kTypeString}}}};
  for (int i = 0; i < 60; ++i) {
    std::vector<uint8_t> r(16, static_cast<uint8_t>(i));
    std::snprintf(reinterpret_cast<char*>(r.data()), 9, "%08d", i);
    f.records.push_back(std::move(r));
  }
  const uint8_t owner[9] = {0xEA, 0xB3, 0xBB, 0x10, 0x10, 0x88, 0xC8, 0xA8, 0x49};
  for (const bool v6 : {false, true}) {
    SCOPED_TRACE(v6 ? "6.0" : "5.x");
    const std::vector<uint8_t> plain = (v6 ? synth::WriteVersion6 : synth::WriteVersion5)(f).image;
    ASSERT_FALSE(plain.empty());
    std::vector<uint8_t> owned = plain;
    for (size_t header = 0; header < (v6 ? 2u : 1u); ++header) {
      std::copy_n(owner, 9, owned.begin() + header * f.page_size + legacy::kFcrOwner);
    }
    if (!v6) StoreLE16(&owned[6], static_cast<uint16_t>(-LoadLE16(&owned[6])));
    const Opened o = Open(owned);
    ASSERT_EQ(o.status, 0) << o.reason;
    EXPECT_TRUE(o.source->info().owner_protected);
    EXPECT_TRUE(o.records == f.records);

    auto encipher = [&](std::vector<uint8_t> image) {
      for (size_t i = (v6 ? 2u : 1u) * f.page_size; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(((image[i] << 3) | (image[i] >> 5)) ^ owner[i % 9]);
      }
      return image;
    };
    const Opened encrypted = Open(encipher(owned));
    EXPECT_EQ(encrypted.status, 2);
    EXPECT_NE(encrypted.reason.find("encrypts"), std::string::npos) << encrypted.reason;
    const Opened damaged = Open(encipher(plain));
    EXPECT_EQ(damaged.status, 2);
    EXPECT_EQ(damaged.reason.find("encrypts"), std::string::npos) << damaged.reason;
  }
}

class LegacyPageSize : public ::testing::TestWithParam<uint16_t> {};

TEST_P(LegacyPageSize, FixedAndVariableFilesReadBack) {
  const uint16_t ps = GetParam();
  for (bool variable : {false, true}) {
    const SynthFile f = PagedFile(ps, variable);
    for (auto write : {synth::WriteVersion6, synth::WriteVersion5}) {
      const bool v6 = write == synth::WriteVersion6;
      SCOPED_TRACE(std::string(variable ? "variable" : "fixed") + (v6 ? " 6.0" : " 5.x"));
      Opened o;
      ExpectReadsBack(f, write, &o);
      ASSERT_NE(o.source, nullptr);
      EXPECT_EQ(o.source->info().page_size, ps);
      EXPECT_EQ(o.source->info().major, v6 ? 6 : 5);
      EXPECT_EQ(o.source->spec().acs, f.acs);
      EXPECT_EQ(o.source->info().unique_counts[1], 7u);
      if (v6) {
        EXPECT_GT(o.source->info().page_count, ps / 4 - 1u) << "needs a second table group";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Legacy, LegacyPageSize,
                         ::testing::Values(512, 1024, 1536, 2048, 2560, 3072, 3584, 4096));

// At 512-byte pages 30 page-allocation groups end below 2 MiB. A file that
// fills them reads; one more logical page, or a table that maps a page past
// them, is refused: the layout there is unverified.
TEST(LegacySynthetic, ThirtyTableGroupsAtSmallPages) {
  SynthFile f;
  f.page_size = 512;
  f.record_length = 400;  // one record per page, the first data page is logical 1
  for (size_t i = 0; i < 30 * 126; ++i) f.records.emplace_back(400, static_cast<uint8_t>(i));
  f.stale_copies = true;  // one page past the last group
  Opened o;
  ExpectReadsBack(f, synth::WriteVersion6, &o);

  std::vector<uint8_t> image = synth::WriteVersion6(f).image;
  StoreLE32(&image[2 * 512 + 4], 3);  // the older table copy, mapping the stale page
  o = Open(image);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.reason.find("logical page 1 lies beyond 30 page-allocation groups"),
            std::string::npos)
      << o.reason;

  f.records.emplace_back(400, 0);
  o = Open(synth::WriteVersion6(f).image);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.reason.find("3782 logical pages reach beyond 30 page-allocation groups"),
            std::string::npos)
      << o.reason;
  EXPECT_NE(o.reason.find("unverified"), std::string::npos);
}

// A 512-byte header page holds eight 5.x key segments, or seven 6.0 ones and
// their key attribute table, and a data page a slot of 506 bytes. The writer
// refuses more; the reader refuses a header that claims more.
TEST(LegacySynthetic, SmallPagesBoundHeaderAndSlots) {
  SynthFile f;
  f.page_size = 512;
  f.record_length = 64;
  for (uint16_t k = 0; k < 8; ++k) f.keys.push_back({{{static_cast<uint16_t>(8 * k), 8}}});
  for (size_t i = 0; i < 20; ++i) f.records.emplace_back(64, static_cast<uint8_t>('A' + i));
  EXPECT_TRUE(synth::WriteVersion6(f).image.empty());
  Opened o;
  ExpectReadsBack(f, synth::WriteVersion5, &o);
  std::vector<uint8_t> image = synth::WriteVersion5(f).image;
  StoreLE16(&image[0x14], 9);
  o = Open(image);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.reason.find("run past the header page"), std::string::npos) << o.reason;

  f.keys.pop_back();
  f.record_length = 504;
  for (auto& r : f.records) r.resize(504);
  ExpectReadsBack(f, synth::WriteVersion6, &o);
  image = synth::WriteVersion6(f).image;
  StoreLE16(&image[512 + 0x16], 505);  // the current header, slot 507 bytes
  StoreLE16(&image[512 + 0x18], 507);
  o = Open(image);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.reason.find("larger than a page"), std::string::npos) << o.reason;
  f.record_length = 505;
  for (auto& r : f.records) r.resize(505);
  EXPECT_TRUE(synth::WriteVersion6(f).image.empty());
}

}  // namespace
}  // namespace tavelnor::btrieve
