// The reader of earlier engines' data files against real files whose content
// is known from their origin (one case per file; contents as their sources
// and the files' own descriptions state them).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "btrieve/legacy_format.h"
#include "btrieve/legacy_reader.h"
#include "btrieve/legacy_source.h"
#include "legacy_test_util.h"

namespace tavelnor::btrieve {
namespace {

using legacy_test::FixtureRoot;
using legacy_test::LoadFixture;
using legacy_test::Open;
using legacy_test::Opened;
namespace fs = std::filesystem;

// The key value as the engine compares it for equality: zero-terminated
// strings up to the terminator, collating sequences applied.
std::vector<uint8_t> KeyValue(const FileSpec& spec, const KeyDef& key,
                              const std::vector<uint8_t>& record) {
  std::vector<uint8_t> out;
  for (const Segment& s : key.segments) {
    auto begin = record.begin() + (s.position - 1);
    auto end = begin + s.length;
    if (s.type == kTypeZstring) end = std::find(begin, end, 0);
    for (auto it = begin; it != end; ++it) {
      uint8_t c = *it;
      if (s.flags & kKeyAlternate) c = spec.acs.at(s.acs)[9 + c];
      out.push_back(c);
    }
    out.push_back(0xFF);  // keeps segment borders apart
  }
  return out;
}

struct KeyExpect {
  int number;
  uint32_t unique;
  std::vector<std::array<int, 4>> segments;  // position (from 1), length, flags, type
  int acs = -1;                              // ACS index of the first segment, -1 none
};

struct FixtureCase {
  const char* file;
  int major, minor, version_word;
  uint32_t page_size, pages, records;
  int record_length, physical, flags;
  std::vector<KeyExpect> keys;
  std::vector<std::string> acs_names;
  std::function<void(const Opened&)> content;
  friend void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.file; }
};

std::string AcsName(const std::array<uint8_t, kAcsBlockSize>& block) {
  std::string name(block.begin() + 1, block.begin() + 9);
  while (!name.empty() && (name.back() == ' ' || name.back() == 0)) name.pop_back();
  return name;
}

std::vector<uint8_t> Hex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

uint16_t U16(const std::vector<uint8_t>& r, size_t at) { return LoadLE16(r.data() + at); }
std::string Z(const std::vector<uint8_t>& r, size_t at) {
  return std::string(reinterpret_cast<const char*>(r.data() + at));
}

void CheckMbbsemu(const Opened& o) {
  const char* hex[] = {
      "00005379736F70000000000000000000000000000000000000000000000000000000740D000033343434000000"
      "0000000000000000000000000000000000000000000000000001000000",
      "00005379736F70000000000000000000000000000000000000000000000000000000601E000037373736000000"
      "0000000000000000000000000000000000000000000000000002000000",
      "00005379736F7000000000000000000000000000000000000000000000000000000059D1B73E537472696E6756"
      "616C756500000000000000000000000000000000000000000003000000",
      "00005379736F7000000000000000000000000000000000000000000000000000000079294EDB737472696E6756"
      "616C756500000000000000000000000000000000000000000004000000"};
  const uint32_t addresses[] = {0x0A06, 0x0A60, 0x0ABA, 0x0B14};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(o.records[i], Hex(hex[i])) << i;
    EXPECT_EQ(o.addresses[i], addresses[i]);
    EXPECT_EQ(o.ranks[i][0], i) << "key 0 chain links all four in insertion order";
  }
}

void CheckVariable(const Opened& o) {
  for (size_t n = 0; n < o.records.size(); ++n) {
    const auto& r = o.records[n];
    ASSERT_EQ(r.size(), 8 + n);
    ASSERT_EQ(LoadLE32(r.data()), 0xDEADBEEFu);
    ASSERT_EQ(U16(r, 4), n % 64);
    ASSERT_EQ(U16(r, 6), n);
    for (size_t j = 0; j < n; ++j) ASSERT_EQ(r[8 + j], j % 256) << n << " " << j;
    ASSERT_EQ(o.ranks[n][0], n / 64) << "duplicates of key 0 in insertion order";
  }
}

void CheckMbmgeplt(const Opened& o) {
  std::map<uint16_t, std::vector<uint32_t>> by_value;
  for (size_t i = 0; i < o.records.size(); ++i) {
    by_value[U16(o.records[i], 6)].push_back(o.ranks[i][2]);
  }
  ASSERT_EQ(by_value.size(), 3u);
  EXPECT_EQ(by_value[1].size(), 8u);
  EXPECT_EQ(by_value[2].size() + by_value[3].size(), 14u);
  for (auto& [value, ranks] : by_value) {
    std::sort(ranks.begin(), ranks.end());
    for (size_t i = 0; i < ranks.size(); ++i) EXPECT_EQ(ranks[i], i) << "value " << value;
  }
}

void CheckTest(const Opened& o) {
  std::vector<size_t> order(o.records.size());
  for (size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(LoadLE32(o.records[i].data()), 100 * (i + 1));
    EXPECT_EQ(Z(o.records[i], 4), "Customer " + std::to_string(i + 1));
    order[i] = i;
  }
  // A STRING key over integers sorts by bytes: the engine's index holds
  // 300, 100, 400, 200, 500.
  const KeyDef& key = o.source->spec().keys[0];
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return KeyValue(o.source->spec(), key, o.records[a]) <
           KeyValue(o.source->spec(), key, o.records[b]);
  });
  std::vector<uint32_t> ids;
  for (size_t i : order) ids.push_back(LoadLE32(o.records[i].data()));
  EXPECT_EQ(ids, (std::vector<uint32_t>{300, 100, 400, 200, 500}));
}

void CheckFileDdf(const Opened& o) {
  for (size_t i = 0; i < o.records.size(); ++i) EXPECT_EQ(U16(o.records[i], 0), i + 1);
  EXPECT_EQ(std::string(o.records[0].begin() + 2, o.records[0].begin() + 8), "X$File");
  EXPECT_EQ(std::string(o.records[0].begin() + 22, o.records[0].begin() + 30), "file.ddf");
}

void CheckFieldDdf(const Opened& o) {
  std::map<std::string, std::pair<int, int>> own;  // fields describing FILE.DDF
  for (const auto& r : o.records) {
    if (U16(r, 2) != 1) continue;
    std::string name(r.begin() + 4, r.begin() + 24);
    own[name.substr(0, name.find(' '))] = {U16(r, 25), U16(r, 27)};
  }
  EXPECT_EQ(own["Xf$Id"], std::make_pair(0, 2));
  EXPECT_EQ(own["Xf$Name"], std::make_pair(2, 20));
  EXPECT_EQ(own["Xf$Loc"], std::make_pair(22, 64));
}

void CheckGaltela(const Opened& o) {
  std::vector<size_t> defaults;
  for (size_t i = 0; i < o.records.size(); ++i) {
    EXPECT_EQ(o.records[i].size(), 950u);
    std::string list = Z(o.records[i], 0);
    if (list == "DEFAULT") {
      defaults.push_back(i);
    } else {
      EXPECT_EQ(list, "!List");
    }
  }
  ASSERT_EQ(defaults.size(), 72u);
  for (size_t n = 0; n < defaults.size(); ++n) EXPECT_EQ(o.ranks[defaults[n]][1], n);
  EXPECT_NE(std::find(o.addresses.begin(), o.addresses.end(), 0x53CEu), o.addresses.end());
}

void CheckWgsmenu(const Opened& o) {
  // clang-format off
  const std::map<std::string, size_t> lengths = {
      {"AACCOUNT", 448}, {"ADLTAGGED", 450}, {"ADOORS", 448},      {"AEMAIL", 448},
      {"AEXIT", 448},    {"AEXIT2", 450},    {"AFINGER", 450},     {"AFORUMS", 448},
      {"AFTP", 450},     {"AFTPMENU", 828},  {"AGLOBALS", 448},    {"AHELP", 448},
      {"AHOST", 450},    {"AINFO", 828},     {"ALIBRARY", 448},    {"ANETWORK", 1080},
      {"APOLLS", 448},   {"AQWK", 448},      {"AREGISTRY", 448},   {"AREMOTE", 448},
      {"ARLOGIN", 450},  {"ATELE", 450},     {"ATELNET", 450},     {"ATOP", 2214},
      {"AWORLNK", 450},  {"AYOURSYS", 448},  {"CACCOUNT", 450},    {"CBROADCAST", 450},
      {"CCSFTP", 450},   {"CDOORS", 450},    {"CFINGER", 450},     {"CHOST", 450},
      {"CLIBRARY", 450}, {"CMESSAGE", 450},  {"CNETWORK", 1080},   {"CPOLLS", 450},
      {"CREGISTRY", 450}, {"CREMOTE", 450},  {"CRLOGIN", 450},     {"CTELE", 448},
      {"CTELNET", 450},  {"CTOP", 1962},     {"CVIDSYSOP", 450},   {"CWORLDLINK", 702},
      {"CWORLNK", 450},  {"CWORMSG", 450}};
  // clang-format on
  std::map<std::string, size_t> seen;
  for (const auto& r : o.records) seen[Z(r, 0)] = r.size();
  EXPECT_EQ(seen, lengths);
}

const std::vector<FixtureCase>& Fixtures() {
  // clang-format off
  static const std::vector<FixtureCase> cases = {
      {"v5-mbbsemu-fixed/MBBSEMU.DAT", 5, 4, 0x0400, 512, 6, 4, 74, 90, 0,
       {{0, 1, {{3, 32, 0x101, 11}}},
        {1, 4, {{35, 4, 0x102, 1}}},
        {2, 4, {{39, 32, 0x103, 11}}},
        {3, 4, {{71, 4, 0x100, 15}}}},
       {}, CheckMbbsemu},
      {"v5-mbbsemu-variable/VARIABLE.DAT", 5, 4, 0x0400, 512, 1156, 1024, 8, 20, 1,
       {{0, 64, {{5, 2, 0x101, 1}}}, {1, 1024, {{7, 2, 0x100, 1}}}}, {}, CheckVariable},
      {"v5-wbtrv32-mbmgeplt/MBMGEPLT.DAT", 5, 4, 0x0400, 1024, 15, 22, 493, 509, 0,
       {{0, 22, {{1, 6, 0x104, 14}}}, {1, 8, {{25, 30, 0x103, 11}}}, {2, 3, {{7, 2, 0x105, 14}}}},
       {}, CheckMbmgeplt},
      {"v5-xtrieve-test/TEST.DAT", 5, 3, 0x0300, 1024, 3, 5, 64, 72, 0,
       {{0, 5, {{1, 4, 0x001, kTypeString}}}}, {}, CheckTest},
      {"v5-mbbsemu-bbsgen-empty/BBSGEN.VIR", 5, 4, 0x0400, 1024, 5, 0, 55, 75, 1,
       {{0, 0, {{1, 30, 0x133, 11}, {31, 25, 0x123, 11}}, 0}, {1, 0, {{31, 25, 0x123, 11}}, 0}},
       {"ALLCAPS"}, nullptr},
      {"v5-doclife-ddf/FILE.DDF", 5, 4, -0x0400, 4096, 4, 30, 87, 87, 0,
       {{0, 30, {{1, 2, 0x100, 1}}}, {1, 30, {{3, 20, 0x102, 0}}}}, {}, CheckFileDdf},
      {"v5-doclife-ddf/FIELD.DDF", 5, 4, -0x0400, 4096, 9, 150, 32, 48, 0,
       {{0, 150, {{1, 2, 0x102, 1}}},
        {1, 29, {{3, 2, 0x103, 1}}},
        {2, 120, {{5, 20, 0x103, 0}}},
        {3, 150, {{3, 2, 0x112, 1}, {5, 20, 0x102, 0}}}},
       {}, CheckFieldDdf},
      {"v5-doclife-ddf/INDEX.DDF", 5, 4, -0x0400, 4096, 3, 84, 10, 10, 0,
       {{0, 84, {{1, 2, 0x112, 1}, {5, 2, 0x112, 1}, {7, 2, 0x102, 1}}}}, {}, nullptr},
      {"v60-wbtrv32-galtela/GALTELA.DAT", 6, 0, 0x0600, 4096, 28, 73, 950, 968, 0,
       {{0, 73, {{1, 16, 0x130, 11}, {17, 16, 0x120, 11}}, 0},
        {1, 2, {{1, 16, 0x121, 11}}, 0},
        {2, 73, {{17, 16, 0x121, 11}}, 0}},
       {"GALCAPS"}, CheckGaltela},
      {"v60-wbtrv32-wgsmenu2/WGSMENU2.DAT", 6, 0, 0x0600, 4096, 13, 46, 448, 454, 1,
       {{0, 46, {{1, 17, 0x122, 11}}, 0}}, {"GALCAPS"}, CheckWgsmenu},
      {"v61-wbtrv32-multiacs-empty/MULTIACS.DAT", 6, 1, 0x0610, 4096, 7, 0, 128, 142, 1,
       {{0, 0, {{3, 16, 0x521, 11}}, 0},
        {1, 0, {{21, 4, 0x110, 1}, {25, 8, 0x100, 2}}},
        {2, 0, {{31, 16, 0x520, 11}}, 1}},
       {"ALLCAPS", "LOWER"}, nullptr},
      {"v60-elwynor-elwkyr-empty/ELWKYR.VIR", 6, 0, 0x0600, 4096, 5, 0, 228, 230, 0,
       {{0, 0, {{1, 30, 0x120, 11}}, 0}, {1, 0, {{31, 10, 0x100, 11}}}}, {"GALCAPS"}, nullptr},
  };
  // clang-format on
  return cases;
}

class RealFiles : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(RealFiles, ReadsWhatTheOriginStates) {
  REQUIRE_FIXTURES();
  const FixtureCase& c = GetParam();
  Opened o = Open(LoadFixture(c.file));
  ASSERT_EQ(o.status, 0) << o.reason;
  ASSERT_EQ(o.scan, 0);
  const LegacyInfo& info = o.source->info();
  const FileSpec& spec = o.source->spec();
  EXPECT_EQ(info.major, c.major);
  EXPECT_EQ(info.minor, c.minor);
  EXPECT_EQ(info.version_word, c.version_word);
  EXPECT_EQ(info.owner_protected, c.version_word < 0);
  EXPECT_EQ(info.page_size, c.page_size);
  EXPECT_EQ(info.page_count, c.pages);
  EXPECT_EQ(info.record_count, c.records);
  EXPECT_EQ(o.records.size(), c.records);
  EXPECT_EQ(spec.record_length, c.record_length);
  EXPECT_EQ(info.physical_length, c.physical);
  EXPECT_EQ(spec.page_size, c.page_size);
  EXPECT_EQ(spec.flags, c.flags);
  ASSERT_EQ(spec.keys.size(), c.keys.size());
  for (size_t k = 0; k < c.keys.size(); ++k) {
    const KeyDef& key = spec.keys[k];
    const KeyExpect& want = c.keys[k];
    EXPECT_EQ(key.number, want.number);
    EXPECT_EQ(info.unique_counts[k], want.unique) << "key " << k;
    ASSERT_EQ(key.segments.size(), want.segments.size()) << "key " << k;
    for (size_t s = 0; s < key.segments.size(); ++s) {
      const Segment& seg = key.segments[s];
      EXPECT_EQ((std::array<int, 4>{seg.position, seg.length, seg.flags, seg.type}),
                want.segments[s])
          << "key " << k << " segment " << s;
    }
    if (want.acs >= 0) {
      EXPECT_TRUE(key.flags() & kKeyAlternate);
      EXPECT_EQ(AcsName(spec.acs.at(key.segments[0].acs)), c.acs_names.at(want.acs));
    }
  }
  std::vector<std::string> names;
  for (const auto& block : spec.acs) {
    EXPECT_EQ(block[0], legacy::kAcsMark);
    const bool lower = AcsName(block) == "LOWER";
    EXPECT_EQ(block[9 + 'a'], lower ? 'a' : 'A');
    EXPECT_EQ(block[9 + 'Z'], lower ? 'z' : 'Z');
    EXPECT_EQ(block[9 + '1'], '1');
    names.push_back(AcsName(block));
  }
  EXPECT_EQ(names, c.acs_names);
  // Distinct values stored per key agree with the records; duplicate ranks
  // of each value are 0..n-1; every address reads back its record.
  for (size_t k = 0; k < spec.keys.size() && !o.records.empty(); ++k) {
    std::map<std::vector<uint8_t>, std::vector<uint32_t>> values;
    for (size_t i = 0; i < o.records.size(); ++i) {
      values[KeyValue(spec, spec.keys[k], o.records[i])].push_back(o.ranks[i][k]);
    }
    EXPECT_EQ(values.size(), info.unique_counts[k]) << "key " << k;
    if (!spec.keys[k].duplicates()) continue;
    for (auto& [value, ranks] : values) {
      std::sort(ranks.begin(), ranks.end());
      for (size_t i = 0; i < ranks.size(); ++i) ASSERT_EQ(ranks[i], i) << "key " << k;
    }
  }
  for (size_t i = 0; i < o.records.size(); ++i) {
    std::vector<uint8_t> again;
    ASSERT_EQ(o.source->Read(o.addresses[i], &again), 0);
    EXPECT_EQ(again, o.records[i]);
    if (i) {
      EXPECT_LT(o.addresses[i - 1], o.addresses[i]);
    }
  }
  std::vector<uint8_t> none;
  EXPECT_EQ(o.source->Read(o.records.empty() ? 0x1006 : o.addresses[0] + 1, &none), 43);
  if (c.content) c.content(o);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealFiles, ::testing::ValuesIn(Fixtures()),
                         [](const auto& info) {
                           std::string name = fs::path(info.param.file).stem().string();
                           return name + "_" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace tavelnor::btrieve
