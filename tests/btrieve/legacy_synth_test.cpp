// Files built by the test writer read back exactly: large 6.0 files over
// several page-allocation groups with stale copies, variable parts in
// fragment chains, 5.x files with deleted slots, several collating sequences.
#include "legacy_synth.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>

#include "foundation/byte_reader.h"
#include "legacy_test_util.h"

namespace tavelnor::btrieve {
namespace {

using legacy_test::Open;
using legacy_test::Opened;
using synth::SynthFile;

void PutZ(std::vector<uint8_t>* r, size_t at, const std::string& s) {
  std::copy(s.begin(), s.end(), r->begin() + at);
}

// Records like a teleconference verb file: a 16-byte list name (few
// distinct values: long duplicate chains), a 16-byte verb, filler.
SynthFile VerbFile(size_t count) {
  SynthFile f;
  f.record_length = 950;
  f.acs.push_back(synth::UpperCaseAcs("GALCAPS"));
  const uint16_t acs = kKeyAlternate | kKeyExtType;
  f.keys = {{{{0, 16, acs, kTypeZstring}, {16, 16, acs, kTypeZstring}}},
            {{{0, 16, static_cast<uint16_t>(acs | kKeyDup), kTypeZstring}}},
            {{{16, 16, static_cast<uint16_t>(acs | kKeyDup), kTypeZstring}}}};
  for (size_t i = 0; i < count; ++i) {
    std::vector<uint8_t> r(950);
    for (size_t j = 32; j < r.size(); ++j) r[j] = static_cast<uint8_t>(i * 31 + j);
    PutZ(&r, 0, "LIST" + std::to_string(i % 7));
    PutZ(&r, 16, "VERB" + std::to_string(i % 1000));
    f.records.push_back(std::move(r));
  }
  return f;
}

// Checks that `o` holds exactly the live records of `f` at the written
// addresses, with duplicate ranks in insertion order.
void ExpectReadsBack(const SynthFile& f, const synth::Written& w, const Opened& o) {
  ASSERT_EQ(o.status, 0) << o.reason;
  ASSERT_EQ(o.scan, 0);
  std::vector<bool> deleted(f.records.size());
  for (size_t r : f.deleted) deleted[r] = true;
  std::vector<std::map<std::vector<uint8_t>, uint32_t>> seen(f.keys.size());
  size_t n = 0;
  for (size_t r = 0; r < f.records.size(); ++r) {
    if (deleted[r]) {
      EXPECT_EQ(o.source->Read(w.addresses[r] ? w.addresses[r] : 1, nullptr), 43);
      continue;
    }
    ASSERT_LT(n, o.records.size());
    ASSERT_EQ(o.records[n], f.records[r]) << "record " << r;
    ASSERT_EQ(o.addresses[n], w.addresses[r]) << "record " << r;
    for (size_t k = 0; k < f.keys.size(); ++k) {
      if (!(f.keys[k].segments[0].flags & kKeyDup)) {
        EXPECT_EQ(o.ranks[n][k], 0u);
        continue;
      }
      std::vector<uint8_t> value;
      for (const auto& s : f.keys[k].segments) {
        value.insert(value.end(), f.records[r].begin() + s.offset,
                     f.records[r].begin() + s.offset + s.length);
      }
      ASSERT_EQ(o.ranks[n][k], seen[k][value]++) << "record " << r << " key " << k;
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
  const LegacyInfo& info = o.source->info();
  EXPECT_GT(info.page_count, 1022u) << "the file needs a second table group";
  EXPECT_EQ(info.major, 6);
  const FileSpec& spec = o.source->spec();
  EXPECT_EQ(spec.record_length, 950);
  ASSERT_EQ(spec.keys.size(), 3u);
  EXPECT_EQ(spec.keys[0].segments[1].position, 17);
  EXPECT_EQ(spec.keys[0].flags(), kKeyAlternate | kKeyExtType | kKeySegmented);
  EXPECT_TRUE(spec.keys[1].duplicates());
  EXPECT_EQ(info.unique_counts, (std::vector<uint32_t>{4997, 7, 1000}));
  ASSERT_EQ(spec.acs.size(), 1u);
  EXPECT_EQ(spec.acs[0], synth::UpperCaseAcs("GALCAPS"));
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

TEST(LegacySynthetic, NumberedCollatingSequences) {
  SynthFile f;
  f.record_length = 40;
  auto lower = synth::UpperCaseAcs("LOWER");
  for (int c = 0; c < 256; ++c) lower[9 + c] = static_cast<uint8_t>(std::tolower(c));
  f.acs = {synth::UpperCaseAcs("ALLCAPS"), lower};
  const uint16_t numbered = kKeyAlternate | kKeyNoCase | kKeyExtType;
  f.keys = {{{{0, 20, numbered, kTypeZstring}}, 0}, {{{20, 20, numbered, kTypeZstring}}, 1}};
  f.records.assign(3, std::vector<uint8_t>(40, 'x'));
  synth::Written w = synth::WriteVersion6(f);
  Opened o = Open(w.image);
  ExpectReadsBack(f, w, o);
  ASSERT_NE(o.source, nullptr);
  const FileSpec& spec = o.source->spec();
  EXPECT_EQ(spec.keys[0].segments[0].acs, 0);
  EXPECT_EQ(spec.keys[1].segments[0].acs, 1);
  EXPECT_EQ(spec.acs.at(1), lower);
}

TEST(LegacySynthetic, Version6PageSizesNotVerifiedAreRefused) {
  SynthFile f = VerbFile(10);
  f.record_length = 100;
  for (auto& r : f.records) r.resize(100);
  f.page_size = 1024;
  Opened o = Open(synth::WriteVersion6(f).image);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.reason.find("not verified"), std::string::npos) << o.reason;
  Opened five = Open(synth::WriteVersion5(f).image);
  EXPECT_EQ(five.status, 0) << five.reason << " (5.x pages need no table)";
}

}  // namespace
}  // namespace tavelnor::btrieve
