// The reader of earlier engines' data files on real files of known content (one
// case per file), on randomly damaged copies and on copies patched to be refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <tuple>

#include "btrieve/key_codec.h"
#include "btrieve/legacy_format.h"
#include "btrieve/legacy_index.h"
#include "foundation/platform/files.h"
#include "legacy_test_util.h"

namespace tavelnor::btrieve {
namespace {

using legacy_test::KeyValue;
using legacy_test::Open;
using legacy_test::Opened;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

std::string Z(const Bytes& r, size_t at) { return reinterpret_cast<const char*>(r.data() + at); }

struct Patched {
  std::vector<std::pair<size_t, Bytes>> patches;  // offset, bytes
  int status;
  const char* reason;  // a part of the reason given
};

using Segs = std::vector<std::array<int, 5>>;  // position (from 1), length, flags, type, ACS
struct FixtureCase {
  const char* file;
  int major, format_level, version_word;
  uint32_t page_size, pages, records;
  int record_length, physical, flags;
  std::vector<std::pair<uint32_t, Segs>> keys;  // unique count, segments
  std::vector<std::string> acs_names = {};
  std::function<void(const Opened&)> content = nullptr;
  std::vector<Patched> refused = {};
  friend void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.file; }
};

void CheckMbbsemu(const Opened& o) {
  const std::pair<uint32_t, std::string> fields[] = {
      {3444, "3444"}, {7776, "7776"}, {0x3EB7D159, "StringValue"}, {0xDB4E2979, "stringValue"}};
  for (uint32_t i = 0; i < 4; ++i) {
    Bytes want(74);
    std::copy_n("Sysop", 5, &want[2]);
    std::copy(fields[i].second.begin(), fields[i].second.end(), &want[38]);
    StoreLE32(&want[34], fields[i].first), StoreLE32(&want[70], i + 1);
    EXPECT_EQ(o.records[i], want) << i;
    EXPECT_EQ(o.addresses[i], 0x0A06 + 0x5A * i);
  }
}

void CheckVariable(const Opened& o) {
  for (size_t n = 0; n < o.records.size(); ++n) {
    Bytes want(8 + n);
    StoreLE32(&want[0], 0xDEADBEEF), StoreLE16(&want[4], n % 64), StoreLE16(&want[6], uint16_t(n));
    for (size_t j = 0; j < n; ++j) want[8 + j] = uint8_t(j);
    ASSERT_EQ(o.records[n], want) << n;
  }
}

// A STRING key over integers sorts by bytes: the engine's index holds 300 first.
void CheckTest(const Opened& o) {
  const FileSpec& spec = o.source->spec();
  std::map<Bytes, std::string> names;  // by key 0
  for (const Bytes& r : o.records) names[KeyValue(spec, spec.keys[0], r)] = Z(r, 4);
  std::string order;
  for (const auto& [key, name] : names) order += name + ",";
  EXPECT_EQ(order, "Customer 3,Customer 1,Customer 4,Customer 2,Customer 5,");
}

void CheckFileDdf(const Opened& o) {
  for (size_t i = 0; i < o.records.size(); ++i) EXPECT_EQ(LoadLE16(o.records[i].data()), i + 1);
  EXPECT_EQ(std::string(o.records[0].begin() + 2, o.records[0].begin() + 8), "X$File");
  EXPECT_EQ(std::string(o.records[0].begin() + 22, o.records[0].begin() + 30), "file.ddf");
}

void CheckGaltela(const Opened& o) {
  std::map<std::string, int> lists;
  for (const Bytes& r : o.records) ++lists[Z(r, 0)];
  EXPECT_EQ(lists, (std::map<std::string, int>{{"!List", 1}, {"DEFAULT", 72}}));
  EXPECT_NE(std::find(o.addresses.begin(), o.addresses.end(), 0x53CEu), o.addresses.end());
}

void CheckWgsmenu(const Opened& o) {
  std::map<std::string, size_t> lengths;
  for (const Bytes& r : o.records) lengths[Z(r, 0)] = r.size();
  std::string seen;
  for (const auto& [name, length] : lengths) seen += name + " " + std::to_string(length) + " ";
  EXPECT_EQ(seen,
      "AACCOUNT 448 ADLTAGGED 450 ADOORS 448 AEMAIL 448 AEXIT 448 AEXIT2 450 AFINGER 450 "
      "AFORUMS 448 AFTP 450 AFTPMENU 828 AGLOBALS 448 AHELP 448 AHOST 450 AINFO 828 "
      "ALIBRARY 448 ANETWORK 1080 APOLLS 448 AQWK 448 AREGISTRY 448 AREMOTE 448 ARLOGIN 450 "
      "ATELE 450 ATELNET 450 ATOP 2214 AWORLNK 450 AYOURSYS 448 CACCOUNT 450 CBROADCAST 450 "
      "CCSFTP 450 CDOORS 450 CFINGER 450 CHOST 450 CLIBRARY 450 CMESSAGE 450 CNETWORK 1080 "
      "CPOLLS 450 CREGISTRY 450 CREMOTE 450 CRLOGIN 450 CTELE 448 CTELNET 450 CTOP 1962 "
      "CVIDSYSOP 450 CWORLDLINK 702 CWORLNK 450 CWORMSG 450 ");
}

const std::vector<FixtureCase>& Fixtures() {
  // clang-format off
  static const std::vector<FixtureCase> cases = {
      {"v5-mbbsemu-fixed/MBBSEMU.DAT", 5, 4, 0x0400, 512, 6, 4, 74, 90, 0,
       {{1, {{3, 32, 0x101, 11}}}, {4, {{35, 4, 0x102, 1}}}, {4, {{39, 32, 0x103, 11}}},
        {4, {{71, 4, 0x100, 15}}}}, {}, CheckMbbsemu, {
       // Records at 0xA06 + 0x5A * n, key 0's duplicate pair at slot offset 74.
       {{{6, {0, 2}}}, 30, "version word"}, {{{6, {0, 0xFA}}}, 30, "version word"},
       {{{0, {'S', 'Q', 'L', 'i'}}}, 30, "signature"}, {{{0x106, {0x08, 0}}}, 2, "compression"},
       {{{0x22, {0xFF, 0xFF}}}, 2, "recovery"}, {{{0x0A, {1}}}, 2, "0x0A"},
       {{{0x110 + 8, {0x81, 0x01}}}, 2, "repeating"}, {{{0x18, {91}}}, 2, "record layout"},
       {{{0x1A, {0, 0, 5, 0}}}, 2, "counts 5 records"}, {{{0x1A, {0, 0, 3, 0}}}, 2, "more records"},
       {{{0x26, {0, 0x10, 0, 0}}}, 2, "shorter"}, {{{0x110 + 0x14, {70}}}, 2, "outside the record"},
       {{{0xA06 + 74, {0, 0, 0x14, 0x0B}}, {0xB14 + 78, {0, 0, 6, 0x0A}}}, 2, "no start"},
       {{{0xA06 + 78, {0, 0, 7, 0x0A}}}, 2, "no record"},
       {{{0xA60 + 74, {0, 0, 0xBA, 0x0A}}}, 2, "disagree"},
       {{{0x10, {0, 0, 0x10, 0}}}, 2, "deleted records"},
       {{{0x10, {0, 0, 6, 0x0A}}, {0xA06, {0, 0, 6, 0x0A}}}, 2, "deleted records"}}},
      {"v5-mbbsemu-variable/VARIABLE.DAT", 5, 4, 0x0400, 512, 1156, 1024, 8, 20, 1,
       {{64, {{5, 2, 0x101, 1}}}, {1024, {{7, 2, 0x100, 1}}}}, {}, CheckVariable,
       // The first chained fragment (page 15, fragment 0) pointing to itself.
       {{{{0x1E0C, {0, 0x0F, 0, 0}}}, 2, "circle"}}},
      {"v5-wbtrv32-mbmgeplt/MBMGEPLT.DAT", 5, 4, 0x0400, 1024, 15, 22, 493, 509, 0,
       {{22, {{1, 6, 0x104, 14}}}, {8, {{25, 30, 0x103, 11}}}, {3, {{7, 2, 0x105, 14}}}}},
      {"v5-xtrieve-test/TEST.DAT", 5, 3, 0x0300, 1024, 3, 5, 64, 72, 0,
       {{5, {{1, 4, 0x001, kTypeString}}}}, {}, CheckTest},
      {"v5-mbbsemu-bbsgen-empty/BBSGEN.VIR", 5, 4, 0x0400, 1024, 5, 0, 55, 75, 1,
       {{0, {{1, 30, 0x133, 11}, {31, 25, 0x123, 11}}}, {0, {{31, 25, 0x123, 11}}}}, {"ALLCAPS"}},
      {"v5-doclife-ddf/FILE.DDF", 5, 4, -0x0400, 4096, 4, 30, 87, 87, 0,
       {{30, {{1, 2, 0x100, 1}}}, {30, {{3, 20, 0x102, 0}}}}, {}, CheckFileDdf,
       // Owned without encryption, it reads; no page carrying its number is
       // what encryption leaves.
       {{{{4096, {0x5A, 0xA5}}, {8192, {0x5A, 0xA5}}, {12288, {0x5A, 0xA5}}}, 2, "encrypts"}}},
      {"v5-doclife-ddf/FIELD.DDF", 5, 4, -0x0400, 4096, 9, 150, 32, 48, 0,
       {{150, {{1, 2, 0x102, 1}}}, {29, {{3, 2, 0x103, 1}}}, {120, {{5, 20, 0x103, 0}}},
        {150, {{3, 2, 0x112, 1}, {5, 20, 0x102, 0}}}}},
      {"v5-doclife-ddf/INDEX.DDF", 5, 4, -0x0400, 4096, 3, 84, 10, 10, 0,
       {{84, {{1, 2, 0x112, 1}, {5, 2, 0x112, 1}, {7, 2, 0x102, 1}}}}},
      {"v60-wbtrv32-galtela/GALTELA.DAT", 6, 0, 0x0600, 4096, 28, 73, 950, 968, 0,
       {{73, {{1, 16, 0x130, 11}, {17, 16, 0x120, 11}}}, {2, {{1, 16, 0x121, 11}}},
        {73, {{17, 16, 0x121, 11}}}}, {"GALCAPS"}, CheckGaltela, {
       // Page 1 the current header (flags at 0x106), page 3 the current table.
       {{{4096 + 0x106, {0x08, 0}}}, 2, "compression"}, {{{4096 + 0x4A, {0, 7}}}, 30, "0x0700"},
       {{{4, {2}}}, 2, "same usage"}, {{{3 * 4096, {'Q'}}}, 2, "not where expected"},
       {{{4096 + 0x76, {4}}}, 2, "key attribute table"},
       // An owner name in the current header and tables that are not there.
       {{{4096 + 0x2E, {0xEA, 0xB3}}, {2 * 4096, {'Q'}}, {3 * 4096, {'Q'}}}, 2, "encrypts"}}},
      {"v60-wbtrv32-wgsmenu2/WGSMENU2.DAT", 6, 0, 0x0600, 4096, 13, 46, 448, 454, 1,
       {{46, {{1, 17, 0x122, 11}}}}, {"GALCAPS"}, CheckWgsmenu,
       {{{{4096 + 0x38, {0xFD}}}, 2, "blank truncation"}, {{{4096 + 0x38, {0}}}, 2, "disagrees"}}},
      {"v61-wbtrv32-multiacs-empty/MULTIACS.DAT", 6, 1, 0x0610, 4096, 7, 0, 128, 142, 1,
       {{0, {{3, 16, 0x521, 11}}}, {0, {{21, 4, 0x110, 1}, {25, 8, 0x100, 2}}},
        {0, {{31, 16, 0x520, 11, 1}}}}, {"ALLCAPS", "LOWER"}},
      {"v60-elwynor-elwkyr-empty/ELWKYR.VIR", 6, 0, 0x0600, 4096, 5, 0, 228, 230, 0,
       {{0, {{1, 30, 0x120, 11}}}, {0, {{31, 10, 0x100, 11}}}}, {"GALCAPS"}},
  };
  // clang-format on
  return cases;
}

class LegacyRealFiles : public ::testing::TestWithParam<FixtureCase> {
 protected:
  // <project>/../shared/fixtures/btrieve-real, from <project>/tests/data or this file.
  void SetUp() override {
    const char* data = std::getenv("TAVELNOR_TEST_DATA");
    const fs::path root = (data ? fs::path(data) : fs::path(TAVELNOR_SOURCE_DIR) / "tests" / "data") / ".." /
                          ".." / ".." / "shared" / "fixtures" / "btrieve-real";
    if (!fs::is_directory(root)) GTEST_SKIP() << "no real data files at " << root;
    auto bytes = platform::ReadWholeFile((root / GetParam().file).string());
    ASSERT_TRUE(bytes.ok()) << GetParam().file;
    image_ = std::move(bytes).value();
  }
  Bytes image_;
};

TEST_P(LegacyRealFiles, ReadWhatTheOriginStates) {
  const FixtureCase& c = GetParam();
  Opened o = Open(image_);
  ASSERT_EQ(std::make_pair(o.status, o.scan), std::make_pair(0, 0)) << o.reason;
  const LegacyInfo& info = o.source->info();
  const FileSpec& spec = o.source->spec();
  EXPECT_EQ(std::make_tuple(info.major, info.format_level, info.version_word, info.owner_protected,
                            info.page_size, spec.page_size, info.page_count, info.record_count,
                            spec.record_length, info.physical_length, spec.flags),
            std::make_tuple(c.major, c.format_level, c.version_word, c.version_word < 0, c.page_size,
                            c.page_size, c.pages, c.records, c.record_length, c.physical, c.flags));
  ASSERT_EQ(o.records.size(), c.records);
  std::vector<std::string> names;
  for (const auto& block : spec.acs) {
    const std::string name(block.begin() + 1, block.begin() + 9);
    names.push_back(name.substr(0, name.find_last_not_of(std::string(" \0", 2)) + 1));
    EXPECT_EQ(block[9 + 'a'], names.back() == "LOWER" ? 'a' : 'A');
  }
  EXPECT_EQ(names, c.acs_names);
  ASSERT_EQ(spec.keys.size(), c.keys.size());
  for (size_t k = 0; k < c.keys.size(); ++k) {
    Segs segs;
    for (const Segment& s : spec.keys[k].segments) {
      segs.push_back({s.position, s.length, s.flags, s.type, s.acs});
    }
    EXPECT_EQ(spec.keys[k].number, k);
    EXPECT_EQ(segs, c.keys[k].second) << "key " << k;
    EXPECT_EQ(info.unique_counts[k], c.keys[k].first) << "key " << k;
  }
  legacy_test::ExpectConsistent(o);
  if (c.content) c.content(o);
  {  // A sound file: every key builds, and nothing is called damage.
    std::unique_ptr<LegacySource> again;
    std::string why;
    ASSERT_EQ(legacy::OpenLegacyImage(image_, &again, &why), 0);
    std::shared_ptr<LegacyIndex> index;
    ASSERT_EQ(LegacyIndex::Create(std::move(again), &index, nullptr), 0);
    EXPECT_EQ(index->BuildAll(), 0);
    EXPECT_EQ(index->Warnings(), std::vector<std::string>{});
  }
  // Copies of the file patched to carry what the reader refuses.
  for (const Patched& p : GetParam().refused) {
    Bytes image = image_;
    for (const auto& [offset, bytes] : p.patches) {
      ASSERT_LE(offset + bytes.size(), image.size());
      std::copy(bytes.begin(), bytes.end(), image.begin() + offset);
    }
    Opened r = Open(std::move(image));
    EXPECT_EQ(r.status != 0 ? r.status : r.scan, p.status) << p.reason << ": " << r.reason;
    EXPECT_NE(r.reason.find(p.reason), std::string::npos) << r.reason;
    EXPECT_TRUE(r.status != 0 ? r.source == nullptr : r.records.empty());
  }
}

// A damaged copy that opens gives every record its header counts, and every
// key walk (Get First, then Get Next from each entry) visits every record
// with a key, once; a key that cannot be built says why.
void ExpectEveryRecordWalked(Opened& o, const std::string& warned = "") {
  const FileSpec spec = o.source->spec();
  ASSERT_EQ(o.records.size(), o.source->info().record_count);
  std::shared_ptr<LegacyIndex> index;
  ASSERT_EQ(LegacyIndex::Create(std::move(o.source), &index, nullptr), 0);
  for (const KeyDef& key : spec.keys) {
    uint32_t count = 0;
    if (index->CountOf(key.number, &count) != 0) {
      EXPECT_FALSE(index->Warnings().empty()) << "key " << key.number << " refused silently";
      continue;
    }
    uint32_t keyed = 0, walked = 0;
    for (const Bytes& r : o.records) {
      const std::string raw = ExtractKey(key, r.data());
      keyed += !IsNullKey(key, reinterpret_cast<const uint8_t*>(raw.data()));
    }
    Entry e;
    int st = index->Find(key.number, Seek::kFirst, {}, &e);
    for (; st == 0 && walked <= keyed; st = index->Find(key.number, Seek::kAbove, e.k, &e)) ++walked;
    EXPECT_EQ(walked, keyed) << "key " << key.number;
  }
  if (warned.empty()) return;
  const std::vector<std::string> warnings = index->Warnings();
  EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [&](const std::string& w) {
    return w.find(warned) != std::string::npos;
  })) << warned;
}

TEST_P(LegacyRealFiles, RandomDamageGivesACleanStatus) {
  std::mt19937 rng(static_cast<uint32_t>(image_.size() * 7919 + GetParam().records));
  auto at = [&](size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(rng); };
  int refused = 0;
  for (int round = 0; round < (image_.size() > 200000 ? 60 : 240); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Bytes image = image_;
    const size_t span = round % 4 ? image.size() : std::min<size_t>(image.size(), 4 * 4096);
    for (int i = 1 + int(at(16)); round % 4 < 2 && i > 0; --i) image[at(span)] ^= 1 + at(255);
    if (round % 4 == 2) image.resize(at(image.size()));
    if (round % 4 == 3) StoreLE32(&image[at(image.size() - 4)], round & 4 ? ~0u : uint32_t(rng()));
    Opened o = Open(std::move(image));
    refused += o.status != 0;
    EXPECT_TRUE(o.status == 0 ? o.scan == 0 || o.scan == 2 : !o.reason.empty());
    EXPECT_TRUE(o.status == 0 || o.status == 2 || o.status == 30) << o.status;
    Bytes data;
    for (uint32_t address : o.addresses) EXPECT_LE(o.source->Read(address, &data) | 2, 2);
    if (o.status == 0 && o.scan == 0) ExpectEveryRecordWalked(o);
  }
  EXPECT_GT(refused, 0) << "damage was never noticed";
}

// A damaged key byte giving two records one value of a unique key: every
// record is still walked and the key is named.
TEST_P(LegacyRealFiles, TwinsOnAUniqueKeyAreWalkedAndNamed) {
  const Opened clean = Open(image_);
  ASSERT_EQ(clean.status, 0);
  std::mt19937 rng(static_cast<uint32_t>(image_.size()));
  int made = 0;
  for (const KeyDef& key : clean.source->spec().keys) {
    if (key.duplicates() || clean.records.size() < 2) continue;
    for (int round = 0; round < 5; ++round) {
      const size_t i = rng() % clean.records.size(), j = rng() % clean.records.size();
      Bytes twin = clean.records[i];
      for (const Segment& s : key.segments) {
        std::copy_n(clean.records[j].begin() + (s.position - 1), s.length, twin.begin() + (s.position - 1));
      }
      if (twin == clean.records[i]) continue;
      // Every copy of record i's fixed part (a stale page may hold one too).
      Bytes image = image_;
      const Bytes& was = clean.records[i];
      const size_t fixed = clean.source->spec().record_length;
      for (auto at = image.begin();
           (at = std::search(at, image.end(), was.begin(), was.begin() + fixed)) != image.end();
           at += fixed) {
        std::copy_n(twin.begin(), fixed, at);
      }
      Opened o = Open(std::move(image));
      ASSERT_EQ(std::make_pair(o.status, o.scan), std::make_pair(0, 0)) << o.reason;
      const std::string raw_i = ExtractKey(key, twin.data()), raw_j = ExtractKey(key, clean.records[j].data());
      if (EncodeKey(clean.source->spec(), key, reinterpret_cast<const uint8_t*>(raw_i.data())) !=
          EncodeKey(clean.source->spec(), key, reinterpret_cast<const uint8_t*>(raw_j.data()))) {
        continue;  // a zero-terminated or null value: not the same after all
      }
      ++made;
      ExpectEveryRecordWalked(o, "unique key " + std::to_string(key.number) + " holds");
    }
  }
  if (made == 0) GTEST_SKIP() << "no unique key with two records";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LegacyRealFiles, ::testing::ValuesIn(Fixtures()),
                         [](const auto& i) { return fs::path(i.param.file).stem().string(); });

}  // namespace
}  // namespace tavelnor::btrieve
