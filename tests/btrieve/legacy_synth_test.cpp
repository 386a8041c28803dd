// Files built by the test writer read back exactly: a large 6.0 file over
// several page-allocation groups with stale copies, variable parts in
// fragment chains, deleted slots; and 6.0 page sizes not yet verified.
#include "legacy_synth.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "foundation/byte_reader.h"
#include "legacy_test_util.h"

namespace tavelnor::btrieve {
namespace {

using legacy_test::Open;
using legacy_test::Opened;
using synth::SynthFile;

// Records like a teleconference verb file: a 16-byte list name (few
// distinct values: long duplicate chains), a 16-byte verb, filler.
SynthFile VerbFile(size_t count, uint16_t length = 950) {
  SynthFile f;
  f.record_length = length;
  f.acs.push_back(synth::UpperCaseAcs("GALCAPS"));
  const uint16_t acs = kKeyAlternate | kKeyExtType, dup = acs | kKeyDup;
  f.keys = {{{{0, 16, acs, kTypeZstring}, {16, 16, acs, kTypeZstring}}},
            {{{0, 16, dup, kTypeZstring}}},
            {{{16, 16, dup, kTypeZstring}}}};
  for (size_t i = 0; i < count; ++i) {
    std::vector<uint8_t> r(length);
    for (size_t j = 32; j < r.size(); ++j) r[j] = static_cast<uint8_t>(i * 31 + j);
    const std::string list = "LIST" + std::to_string(i % 7), verb = "VERB" + std::to_string(i % 1000);
    std::copy(list.begin(), list.end(), r.begin());
    std::copy(verb.begin(), verb.end(), r.begin() + 16);
    f.records.push_back(std::move(r));
  }
  return f;
}

// `o` holds exactly the live records of `f` at the written addresses, with
// duplicate ranks in insertion order; deleted ones do not read.
void ExpectReadsBack(const SynthFile& f, const synth::Written& w, const Opened& o) {
  ASSERT_EQ(o.status, 0) << o.reason;
  ASSERT_EQ(o.scan, 0);
  std::vector<std::map<std::vector<uint8_t>, uint32_t>> seen(f.keys.size());
  size_t n = 0;
  for (size_t r = 0; r < f.records.size(); ++r) {
    if (std::count(f.deleted.begin(), f.deleted.end(), r)) {
      EXPECT_EQ(o.source->Read(w.addresses[r] ? w.addresses[r] : 1, nullptr), 43);
      continue;
    }
    ASSERT_LT(n, o.records.size());
    ASSERT_EQ(o.records[n], f.records[r]) << "record " << r;
    ASSERT_EQ(o.addresses[n], w.addresses[r]) << "record " << r;
    for (size_t k = 0; k < f.keys.size(); ++k) {
      std::vector<uint8_t> value;
      for (const auto& s : f.keys[k].segments) {
        value.insert(value.end(), &f.records[r][s.offset], &f.records[r][s.offset + s.length]);
      }
      const bool dup = f.keys[k].segments[0].flags & kKeyDup;
      ASSERT_EQ(o.ranks[n][k], dup ? seen[k][value]++ : 0) << "record " << r << " key " << k;
    }
    ++n;
  }
  EXPECT_EQ(n, o.records.size());
  EXPECT_EQ(o.source->info().record_count, n);
}

TEST(LegacySynthetic, LargeVersion6FileOverSeveralTableGroups) {
  SynthFile f = VerbFile(5000);
  f.deleted = {3, 4093, 4999};
  f.stale_copies = true;
  synth::Written w = synth::WriteVersion6(f);
  Opened o = Open(w.image);
  ExpectReadsBack(f, w, o);
  ASSERT_NE(o.source, nullptr);
  EXPECT_GT(o.source->info().page_count, 1022u) << "the file needs a second table group";
  EXPECT_EQ(o.source->info().unique_counts, (std::vector<uint32_t>{4997, 7, 1000}));
  EXPECT_EQ(o.source->spec().acs, f.acs);
}

TEST(LegacySynthetic, VariablePartsInFragmentChains) {
  for (bool v6 : {true, false}) {
    SynthFile f;
    f.record_length = 12;
    f.variable = true;
    f.page_size = v6 ? 4096 : 512;
    f.max_fragment = v6 ? 700 : 150;
    f.keys = {{{{4, 4, kKeyExtType | kKeyDup, kTypeInteger}}},
              {{{8, 4, kKeyExtType, kTypeInteger}}}};
    for (uint32_t i = 0; i < 300; ++i) {
      std::vector<uint8_t> r(12 + (i * 37) % 2500);
      StoreLE32(r.data() + 4, i % 9);
      StoreLE32(r.data() + 8, i);
      for (size_t j = 12; j < r.size(); ++j) r[j] = static_cast<uint8_t>(j ^ i);
      f.records.push_back(std::move(r));
    }
    f.deleted = {0, 17, 18, 299};
    synth::Written w = v6 ? synth::WriteVersion6(f) : synth::WriteVersion5(f);
    SCOPED_TRACE(v6 ? "6.0" : "5.x");
    ExpectReadsBack(f, w, Open(w.image));
  }
}

TEST(LegacySynthetic, Version6PageSizesNotVerifiedAreRefused) {
  SynthFile f = VerbFile(10, 100);
  f.page_size = 1024;
  Opened o = Open(synth::WriteVersion6(f).image);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.reason.find("not verified"), std::string::npos) << o.reason;
  EXPECT_EQ(Open(synth::WriteVersion5(f).image).status, 0) << "5.x pages need no table";
}

}  // namespace
}  // namespace tavelnor::btrieve
