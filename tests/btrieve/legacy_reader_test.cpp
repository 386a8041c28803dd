// The reader of earlier engines' data files against real files whose content
// is known from their origin (one case per file), on randomly damaged copies
// of them, and on copies patched where the reader checks them or with
// features it must refuse rather than misread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

#include "btrieve/legacy_format.h"
#include "legacy_test_util.h"

namespace tavelnor::btrieve {
namespace {

using legacy_test::LoadFixture;
using legacy_test::Open;
using legacy_test::Opened;
using Bytes = std::vector<uint8_t>;

// The key value as the engine compares it: zero-terminated strings up to the
// terminator, collating sequences applied, segments kept apart.
Bytes KeyValue(const FileSpec& spec, const KeyDef& key, const Bytes& record) {
  Bytes out;
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

std::string AcsName(const std::array<uint8_t, kAcsBlockSize>& block) {
  std::string name(block.begin() + 1, block.begin() + 9);
  return name.substr(0, name.find_last_not_of(std::string(" \0", 2)) + 1);
}

uint16_t U16(const Bytes& r, size_t at) { return LoadLE16(r.data() + at); }
uint32_t U32(const Bytes& r) { return LoadLE32(r.data()); }
std::string Z(const Bytes& r, size_t at) { return reinterpret_cast<const char*>(r.data() + at); }

using Segs = std::vector<std::array<int, 5>>;  // position (from 1), length, flags, type, ACS
struct FixtureCase {
  const char* file;
  int major, minor, version_word;
  uint32_t page_size, pages, records;
  int record_length, physical, flags;
  std::vector<std::pair<uint32_t, Segs>> keys;  // unique count, segments
  std::vector<std::string> acs_names;
  std::function<void(const Opened&)> content;
  friend void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.file; }
};

void CheckMbbsemu(const Opened& o) {
  const std::pair<uint32_t, std::string> fields[] = {
      {3444, "3444"}, {7776, "7776"}, {0x3EB7D159, "StringValue"}, {0xDB4E2979, "stringValue"}};
  for (uint32_t i = 0; i < 4; ++i) {
    Bytes want(74);
    std::copy_n("Sysop", 5, &want[2]);
    StoreLE32(&want[34], fields[i].first);
    std::copy(fields[i].second.begin(), fields[i].second.end(), &want[38]);
    StoreLE32(&want[70], i + 1);
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

void CheckMbmgeplt(const Opened& o) {
  auto count = [&](auto pred) { return std::count_if(o.records.begin(), o.records.end(), pred); };
  EXPECT_EQ(count([](const Bytes& r) { return U16(r, 6) == 1; }), 8);
  EXPECT_EQ(count([](const Bytes& r) { return U16(r, 6) >= 2; }), 14);
}

// A STRING key over integers sorts by bytes: the engine's index holds 300,
// 100, 400, 200, 500.
void CheckTest(const Opened& o) {
  std::map<Bytes, uint32_t> by_key;
  for (size_t i = 0; i < o.records.size(); ++i) {
    EXPECT_EQ(Z(o.records[i], 4), "Customer " + std::to_string(i + 1));
    by_key[KeyValue(o.source->spec(), o.source->spec().keys[0], o.records[i])] = U32(o.records[i]);
  }
  std::vector<uint32_t> ids;
  for (const auto& [key, id] : by_key) ids.push_back(id);
  EXPECT_EQ(ids, (std::vector<uint32_t>{300, 100, 400, 200, 500}));
}

void CheckFileDdf(const Opened& o) {
  for (size_t i = 0; i < o.records.size(); ++i) EXPECT_EQ(U16(o.records[i], 0), i + 1);
  EXPECT_EQ(std::string(o.records[0].begin() + 2, o.records[0].begin() + 8), "X$File");
  EXPECT_EQ(std::string(o.records[0].begin() + 22, o.records[0].begin() + 30), "file.ddf");
}

void CheckFieldDdf(const Opened& o) {
  std::map<std::string, std::pair<int, int>> own;  // fields describing FILE.DDF
  for (const Bytes& r : o.records) {
    if (U16(r, 2) == 1) own[Z(r, 4).substr(0, Z(r, 4).find(' '))] = {U16(r, 25), U16(r, 27)};
  }
  EXPECT_EQ(own["Xf$Id"], std::make_pair(0, 2));
  EXPECT_EQ(own["Xf$Name"], std::make_pair(2, 20));
  EXPECT_EQ(own["Xf$Loc"], std::make_pair(22, 64));
}

void CheckGaltela(const Opened& o) {
  size_t defaults = 0;
  for (const Bytes& r : o.records) {
    if (Z(r, 0) == "DEFAULT") ++defaults; else EXPECT_EQ(Z(r, 0), "!List");
  }
  EXPECT_EQ(defaults, 72u);
  EXPECT_NE(std::find(o.addresses.begin(), o.addresses.end(), 0x53CEu), o.addresses.end());
}

void CheckWgsmenu(const Opened& o) {
  std::map<std::string, size_t> seen, want;
  for (const Bytes& r : o.records) seen[Z(r, 0)] = r.size();
  std::istringstream lengths(
      "448 AACCOUNT ADOORS AEMAIL AEXIT AFORUMS AGLOBALS AHELP ALIBRARY APOLLS AQWK AREGISTRY "
      "AREMOTE AYOURSYS CTELE 450 ADLTAGGED AEXIT2 AFINGER AFTP AHOST ARLOGIN ATELE ATELNET "
      "AWORLNK CACCOUNT CBROADCAST CCSFTP CDOORS CFINGER CHOST CLIBRARY CMESSAGE CPOLLS CREGISTRY "
      "CREMOTE CRLOGIN CTELNET CVIDSYSOP CWORLNK CWORMSG 828 AFTPMENU AINFO 1080 ANETWORK CNETWORK "
      "2214 ATOP 1962 CTOP 702 CWORLDLINK");
  size_t length = 0;
  for (std::string word; lengths >> word;) {
    if (std::isdigit(word[0])) length = std::stoul(word); else want[word] = length;
  }
  EXPECT_EQ(seen, want);
}

const std::vector<FixtureCase>& Fixtures() {
  // clang-format off
  static const std::vector<FixtureCase> cases = {
      {"v5-mbbsemu-fixed/MBBSEMU.DAT", 5, 4, 0x0400, 512, 6, 4, 74, 90, 0,
       {{1, {{3, 32, 0x101, 11}}}, {4, {{35, 4, 0x102, 1}}}, {4, {{39, 32, 0x103, 11}}},
        {4, {{71, 4, 0x100, 15}}}}, {}, CheckMbbsemu},
      {"v5-mbbsemu-variable/VARIABLE.DAT", 5, 4, 0x0400, 512, 1156, 1024, 8, 20, 1,
       {{64, {{5, 2, 0x101, 1}}}, {1024, {{7, 2, 0x100, 1}}}}, {}, CheckVariable},
      {"v5-wbtrv32-mbmgeplt/MBMGEPLT.DAT", 5, 4, 0x0400, 1024, 15, 22, 493, 509, 0,
       {{22, {{1, 6, 0x104, 14}}}, {8, {{25, 30, 0x103, 11}}}, {3, {{7, 2, 0x105, 14}}}}, {},
       CheckMbmgeplt},
      {"v5-xtrieve-test/TEST.DAT", 5, 3, 0x0300, 1024, 3, 5, 64, 72, 0,
       {{5, {{1, 4, 0x001, kTypeString}}}}, {}, CheckTest},
      {"v5-mbbsemu-bbsgen-empty/BBSGEN.VIR", 5, 4, 0x0400, 1024, 5, 0, 55, 75, 1,
       {{0, {{1, 30, 0x133, 11}, {31, 25, 0x123, 11}}}, {0, {{31, 25, 0x123, 11}}}},
       {"ALLCAPS"}, nullptr},
      {"v5-doclife-ddf/FILE.DDF", 5, 4, -0x0400, 4096, 4, 30, 87, 87, 0,
       {{30, {{1, 2, 0x100, 1}}}, {30, {{3, 20, 0x102, 0}}}}, {}, CheckFileDdf},
      {"v5-doclife-ddf/FIELD.DDF", 5, 4, -0x0400, 4096, 9, 150, 32, 48, 0,
       {{150, {{1, 2, 0x102, 1}}}, {29, {{3, 2, 0x103, 1}}}, {120, {{5, 20, 0x103, 0}}},
        {150, {{3, 2, 0x112, 1}, {5, 20, 0x102, 0}}}}, {}, CheckFieldDdf},
      {"v5-doclife-ddf/INDEX.DDF", 5, 4, -0x0400, 4096, 3, 84, 10, 10, 0,
       {{84, {{1, 2, 0x112, 1}, {5, 2, 0x112, 1}, {7, 2, 0x102, 1}}}}, {}, nullptr},
      {"v60-wbtrv32-galtela/GALTELA.DAT", 6, 0, 0x0600, 4096, 28, 73, 950, 968, 0,
       {{73, {{1, 16, 0x130, 11}, {17, 16, 0x120, 11}}}, {2, {{1, 16, 0x121, 11}}},
        {73, {{17, 16, 0x121, 11}}}}, {"GALCAPS"}, CheckGaltela},
      {"v60-wbtrv32-wgsmenu2/WGSMENU2.DAT", 6, 0, 0x0600, 4096, 13, 46, 448, 454, 1,
       {{46, {{1, 17, 0x122, 11}}}}, {"GALCAPS"}, CheckWgsmenu},
      {"v61-wbtrv32-multiacs-empty/MULTIACS.DAT", 6, 1, 0x0610, 4096, 7, 0, 128, 142, 1,
       {{0, {{3, 16, 0x521, 11}}}, {0, {{21, 4, 0x110, 1}, {25, 8, 0x100, 2}}},
        {0, {{31, 16, 0x520, 11, 1}}}}, {"ALLCAPS", "LOWER"}, nullptr},
      {"v60-elwynor-elwkyr-empty/ELWKYR.VIR", 6, 0, 0x0600, 4096, 5, 0, 228, 230, 0,
       {{0, {{1, 30, 0x120, 11}}}, {0, {{31, 10, 0x100, 11}}}}, {"GALCAPS"}, nullptr},
  };
  // clang-format on
  return cases;
}

class LegacyRealFiles : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(LegacyRealFiles, ReadWhatTheOriginStates) {
  REQUIRE_FIXTURES();
  const FixtureCase& c = GetParam();
  Opened o = Open(LoadFixture(c.file));
  ASSERT_EQ(o.status, 0) << o.reason;
  ASSERT_EQ(o.scan, 0);
  const LegacyInfo& info = o.source->info();
  const FileSpec& spec = o.source->spec();
  EXPECT_EQ(std::tie(info.major, info.minor, info.version_word, info.page_size, info.page_count,
                     info.record_count, spec.record_length, info.physical_length, spec.flags),
            std::tie(c.major, c.minor, c.version_word, c.page_size, c.pages, c.records,
                     c.record_length, c.physical, c.flags));
  EXPECT_EQ(info.owner_protected, c.version_word < 0);
  EXPECT_EQ(spec.page_size, c.page_size);
  ASSERT_EQ(o.records.size(), c.records);
  std::vector<std::string> names;
  for (const auto& block : spec.acs) {
    names.push_back(AcsName(block));
    EXPECT_EQ(block[0], legacy::kAcsMark);
    EXPECT_EQ(block[9 + 'a'], names.back() == "LOWER" ? 'a' : 'A');
  }
  EXPECT_EQ(names, c.acs_names);
  // Distinct values per key agree with the stored count; duplicates rank
  // 0, 1, 2... in the order of their addresses.
  ASSERT_EQ(spec.keys.size(), c.keys.size());
  for (size_t k = 0; k < c.keys.size(); ++k) {
    const KeyDef& key = spec.keys[k];
    Segs segs;
    for (const Segment& s : key.segments) segs.push_back({s.position, s.length, s.flags, s.type, s.acs});
    EXPECT_EQ(key.number, k);
    EXPECT_EQ(segs, c.keys[k].second) << "key " << k;
    EXPECT_EQ(info.unique_counts[k], c.keys[k].first) << "key " << k;
    std::map<Bytes, uint32_t> next;
    for (size_t i = 0; i < o.records.size(); ++i) {
      uint32_t& rank = next[KeyValue(spec, key, o.records[i])];
      ASSERT_EQ(o.ranks[i][k], key.duplicates() ? rank++ : 0) << "key " << k << " record " << i;
    }
    EXPECT_EQ(next.size(), info.unique_counts[k]) << "key " << k;
  }
  for (size_t i = 0; i < o.records.size(); ++i) {
    Bytes again;
    ASSERT_EQ(o.source->Read(o.addresses[i], &again), 0);
    EXPECT_EQ(again, o.records[i]);
    EXPECT_TRUE(spec.variable_length() ? again.size() >= size_t(spec.record_length)
                                       : again.size() == size_t(spec.record_length));
    EXPECT_TRUE(i == 0 || o.addresses[i - 1] < o.addresses[i]);
  }
  Bytes none;
  EXPECT_EQ(o.source->Read(o.records.empty() ? 0x1006 : o.addresses[0] + 1, &none), 43);
  if (c.content) c.content(o);
}

// Damage to the headers and tables, anywhere, a cut, or a 32-bit field made
// huge or "none": a clean refusal with a reason, or records that read back
// with 0 or 2. Some damage must be noticed.
TEST_P(LegacyRealFiles, RandomDamageGivesACleanStatus) {
  REQUIRE_FIXTURES();
  const Bytes original = LoadFixture(GetParam().file);
  std::mt19937 rng(static_cast<uint32_t>(original.size() * 7919 + GetParam().records));
  auto at = [&](size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(rng); };
  int refused = 0;
  for (int round = 0; round < (original.size() > 200000 ? 60 : 240); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Bytes image = original;
    for (int i = 1 + int(at(16)); round % 4 < 2 && i > 0; --i) {
      if (round % 4 == 0) image[at(std::min<size_t>(image.size(), 4 * 4096))] ^= 1u << at(8);
      if (round % 4 == 1) image[at(image.size())] = uint8_t(rng());
    }
    if (round % 4 == 2) image.resize(at(image.size()));
    if (round % 4 == 3) StoreLE32(&image[at(image.size() - 4)], round & 4 ? ~0u : uint32_t(rng()));
    Opened o = Open(std::move(image));
    refused += o.status != 0;
    EXPECT_TRUE(o.status == 0 ? o.scan == 0 || o.scan == 2 : !o.reason.empty());
    EXPECT_TRUE(o.status == 0 || o.status == 2 || o.status == 30) << o.status;
    for (size_t i = 0; i < o.addresses.size(); ++i) {
      Bytes data;
      const int st = o.source->Read(o.addresses[i], &data);
      EXPECT_TRUE(st == 0 || st == 2) << st;
    }
  }
  EXPECT_GT(refused, 0) << "damage was never noticed";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LegacyRealFiles, ::testing::ValuesIn(Fixtures()),
                         [](const auto& info) {
                           return std::filesystem::path(info.param.file).stem().string() + "_" +
                                  std::to_string(info.index);
                         });

struct RefusalCase {
  const char* name;
  const char* file;
  std::vector<std::pair<size_t, Bytes>> patches;  // offset, bytes
  int status;
  const char* reason;  // a part of the reason given
  friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

// GALTELA.DAT (kG): 4 KiB pages, page 1 the current header, page 3 the current
// table. MBBSEMU.DAT (kM): 512-byte pages, records at 0xA06, 0xA60, 0xABA,
// 0xB14 with key 0's duplicate pair at slot offset 74. VARIABLE.DAT (kV): the
// first chained fragment, page 15 fragment 0, starts at 0x1E0C.
constexpr const char* kG = "v60-wbtrv32-galtela/GALTELA.DAT";
constexpr const char* kW = "v60-wbtrv32-wgsmenu2/WGSMENU2.DAT";
constexpr const char* kM = "v5-mbbsemu-fixed/MBBSEMU.DAT";
constexpr const char* kV = "v5-mbbsemu-variable/VARIABLE.DAT";
constexpr size_t kCur = 4096;
// clang-format off
const RefusalCase kRefusals[] = {
    {"Compression", kG, {{kCur + 0x106, {0x08, 0}}}, 2, "compression"},
    {"BlankTruncationFlag", kG, {{kCur + 0x106, {0x02, 0}}}, 2, "blank truncation"},
    {"VariableTailTables", kG, {{kCur + 0x106, {0, 0x08}}}, 2, "variable-tail"},
    {"BlankTruncationByte", kW, {{kCur + 0x38, {0xFD}}}, 2, "blank truncation"},
    {"FormatByteAgainstFlags", kW, {{kCur + 0x38, {0}}}, 2, "disagrees"},
    {"Version7", kG, {{kCur + 0x4A, {0, 7}}}, 30, "0x0700"},
    {"SameHeaderUsage", kG, {{4, {2}}}, 2, "same usage"},
    {"TableSignature", kG, {{3 * 4096, {'Q'}}}, 2, "not where expected"},
    {"KeyTableCount", kG, {{kCur + 0x76, {4}}}, 2, "key attribute table"},
    {"Version2", kM, {{6, {0, 2}}}, 30, "version word"},
    {"NegativeVersion6", kM, {{6, {0, 0xFA}}}, 30, "version word"},
    {"NotARecordFile", kM, {{0, {'S', 'Q', 'L', 'i'}}}, 30, "signature"},
    {"Compression5x", kM, {{0x106, {0x08, 0}}}, 2, "compression"},
    {"NeedsRecovery", kM, {{0x22, {0xFF, 0xFF}}}, 2, "recovery"},
    {"UnknownHeaderFlags", kM, {{0x0A, {1}}}, 2, "0x0A"},
    {"RepeatingDuplicates", kM, {{0x110 + 8, {0x81, 0x01}}}, 2, "repeating"},
    {"RecordCountTooHigh", kM, {{0x1A, {0, 0, 5, 0}}}, 2, "counts 5 records"},
    {"RecordCountTooLow", kM, {{0x1A, {0, 0, 3, 0}}}, 2, "more records"},
    {"PagesPastTheEnd", kM, {{0x26, {0, 0x10, 0, 0}}}, 2, "shorter"},
    {"SlotSize", kM, {{0x18, {91}}}, 2, "record layout"},
    {"KeyOutsideRecord", kM, {{0x110 + 0x14, {70}}}, 2, "outside the record"},
    {"DupChainWithoutStart", kM, {{0xA06 + 74, {0, 0, 0x14, 0x0B}}, {0xB14 + 78, {0, 0, 6, 0x0A}}},
     2, "no start"},
    {"DupChainToNowhere", kM, {{0xA06 + 78, {0, 0, 0x07, 0x0A}}}, 2, "no record"},
    {"DupChainBackLink", kM, {{0xA60 + 74, {0, 0, 0xBA, 0x0A}}}, 2, "disagree"},
    {"FreeChainIntoHeader", kM, {{0x10, {0, 0, 0x10, 0}}}, 2, "deleted records"},
    {"FreeChainCircle", kM, {{0x10, {0, 0, 6, 0x0A}}, {0xA06, {0, 0, 6, 0x0A}}}, 2, "deleted records"},
    {"FragmentChainCircle", kV, {{0x1E0C, {0, 0x0F, 0, 0}}}, 2, "circle"},
};
// clang-format on

class LegacyRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(LegacyRefusals, AreCleanAndSayWhy) {
  REQUIRE_FIXTURES();
  const RefusalCase& c = GetParam();
  Bytes image = LoadFixture(c.file);
  ASSERT_EQ(Open(image).status, 0) << "the unpatched file opens";
  for (const auto& [offset, bytes] : c.patches) {
    ASSERT_LE(offset + bytes.size(), image.size());
    std::copy(bytes.begin(), bytes.end(), image.begin() + offset);
  }
  Opened o = Open(std::move(image));
  EXPECT_EQ(o.status, c.status) << o.reason;
  EXPECT_NE(o.reason.find(c.reason), std::string::npos) << o.reason;
  EXPECT_EQ(o.source, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Patched, LegacyRefusals, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LegacyDamage, AMissingFileIsNotFound) {
  std::unique_ptr<LegacySource> source;
  std::string reason;
  EXPECT_EQ(OpenLegacySource("/nonexistent-folder/missing.dat", &source, &reason), 12);
  EXPECT_NE(reason.find("not found"), std::string::npos) << reason;
}

}  // namespace
}  // namespace tavelnor::btrieve
