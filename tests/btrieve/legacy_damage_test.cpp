// The reader of earlier engines' data files on damaged copies of the real
// files (random damage, and named damage in the places the reader checks)
// and on files with features it must refuse rather than misread.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "btrieve/legacy_format.h"
#include "legacy_test_util.h"

namespace tavelnor::btrieve {
namespace {

using legacy_test::LoadFixture;
using legacy_test::Open;
using legacy_test::Opened;

// clang-format off
const char* const kAllFiles[] = {
    "v5-mbbsemu-fixed/MBBSEMU.DAT",          "v5-mbbsemu-variable/VARIABLE.DAT",
    "v5-wbtrv32-mbmgeplt/MBMGEPLT.DAT",      "v5-xtrieve-test/TEST.DAT",
    "v5-mbbsemu-bbsgen-empty/BBSGEN.VIR",    "v5-doclife-ddf/FILE.DDF",
    "v5-doclife-ddf/FIELD.DDF",              "v5-doclife-ddf/INDEX.DDF",
    "v60-wbtrv32-galtela/GALTELA.DAT",       "v60-wbtrv32-wgsmenu2/WGSMENU2.DAT",
    "v61-wbtrv32-multiacs-empty/MULTIACS.DAT", "v60-elwynor-elwkyr-empty/ELWKYR.VIR"};
// clang-format on

// Opens a damaged image: a clean status with a reason, or a file whose every
// record reads back through Scan and Read with 0 or 2.
int OpenDamaged(std::vector<uint8_t> image) {
  Opened o = Open(std::move(image));
  if (o.status != 0) {
    EXPECT_TRUE(o.status == 2 || o.status == 30) << o.status;
    EXPECT_FALSE(o.reason.empty());
    return o.status;
  }
  EXPECT_TRUE(o.scan == 0 || o.scan == 2);
  for (uint32_t address : o.addresses) {
    std::vector<uint8_t> data;
    int st = o.source->Read(address, &data);
    EXPECT_TRUE(st == 0 || st == 2) << st;
  }
  return 0;
}

TEST(LegacyDamage, RandomDamageToEveryFileGivesACleanStatus) {
  REQUIRE_FIXTURES();
  for (size_t f = 0; f < std::size(kAllFiles); ++f) {
    const std::vector<uint8_t> original = LoadFixture(kAllFiles[f]);
    ASSERT_FALSE(original.empty()) << kAllFiles[f];
    std::mt19937 rng(static_cast<uint32_t>(7919 * (f + 1)));
    const int rounds = original.size() > 200000 ? 60 : 240;
    int refused = 0;
    for (int round = 0; round < rounds; ++round) {
      std::vector<uint8_t> image = original;
      const size_t header = std::min<size_t>(image.size(), 4 * 4096);
      auto at = [&](size_t limit) {
        return std::uniform_int_distribution<size_t>(0, limit - 1)(rng);
      };
      switch (round % 4) {
        case 0:  // a few bytes of the headers and tables
          for (int i = 1 + static_cast<int>(at(8)); i > 0; --i) {
            image[at(header)] ^= static_cast<uint8_t>(1u << at(8));
          }
          break;
        case 1:  // anywhere
          for (int i = 1 + static_cast<int>(at(16)); i > 0; --i) {
            image[at(image.size())] = static_cast<uint8_t>(rng());
          }
          break;
        case 2:  // cut short
          image.resize(at(image.size()));
          break;
        default: {  // a 32-bit field made huge or a link made "none"
          size_t where = at(image.size() - 4);
          uint32_t value = (round & 4) ? 0xFFFFFFFFu : static_cast<uint32_t>(rng());
          StoreLE32(image.data() + where, value);
        }
      }
      SCOPED_TRACE(std::string(kAllFiles[f]) + " round " + std::to_string(round));
      refused += OpenDamaged(std::move(image)) != 0;
    }
    EXPECT_GT(refused, 0) << kAllFiles[f] << ": damage was never noticed";
  }
}

struct Patch {
  size_t offset;
  std::vector<uint8_t> bytes;
};

struct RefusalCase {
  const char* name;
  const char* file;
  std::vector<Patch> patches;
  int status;
  const char* reason;  // a part of the reason given
  friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

// GALTELA.DAT: 4 KiB pages, page 1 the current header, page 3 the current
// table. MBBSEMU.DAT: 512-byte pages, records at 0xA06, 0xA60, 0xABA, 0xB14
// with key 0's duplicate pair at slot offset 74.
const std::vector<RefusalCase>& RefusalCases() {
  constexpr size_t kCur = 4096;
  // clang-format off
  static const std::vector<RefusalCase> cases = {
      {"Compression", "v60-wbtrv32-galtela/GALTELA.DAT", {{kCur + 0x106, {0x08, 0}}}, 2,
       "compression"},
      {"BlankTruncationFlag", "v60-wbtrv32-galtela/GALTELA.DAT", {{kCur + 0x106, {0x02, 0}}}, 2,
       "blank truncation"},
      {"VariableTailTables", "v60-wbtrv32-galtela/GALTELA.DAT", {{kCur + 0x106, {0, 0x08}}}, 2,
       "variable-tail"},
      {"BlankTruncationByte", "v60-wbtrv32-wgsmenu2/WGSMENU2.DAT", {{kCur + 0x38, {0xFD}}}, 2,
       "blank truncation"},
      {"FormatByteAgainstFlags", "v60-wbtrv32-wgsmenu2/WGSMENU2.DAT", {{kCur + 0x38, {0}}}, 2,
       "disagrees"},
      {"Version7", "v60-wbtrv32-galtela/GALTELA.DAT", {{kCur + 0x4A, {0, 7}}}, 30, "0x0700"},
      {"Version9", "v60-wbtrv32-galtela/GALTELA.DAT", {{kCur + 0x4A, {0, 9}}}, 30, "0x0900"},
      {"SameHeaderUsage", "v60-wbtrv32-galtela/GALTELA.DAT", {{4, {2}}}, 2, "same usage"},
      {"TableSignature", "v60-wbtrv32-galtela/GALTELA.DAT", {{3 * 4096, {'Q'}}}, 2,
       "not where expected"},
      {"KeyTableCount", "v60-wbtrv32-galtela/GALTELA.DAT", {{kCur + 0x76, {4}}}, 2,
       "key attribute table"},
      {"Version2", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{6, {0, 2}}}, 30, "version word"},
      {"Version6In5xHeader", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{6, {0, 6}}}, 30, "version word"},
      {"NegativeVersion6", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{6, {0, 0xFA}}}, 30, "version word"},
      {"NotARecordFile", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0, {'S', 'Q', 'L', 'i'}}}, 30,
       "signature"},
      {"Compression5x", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x106, {0x08, 0}}}, 2, "compression"},
      {"NeedsRecovery", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x22, {0xFF, 0xFF}}}, 2, "recovery"},
      {"UnknownHeaderFlags", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x0A, {1}}}, 2, "0x0A"},
      {"RepeatingDuplicates", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x110 + 8, {0x81, 0x01}}}, 2,
       "repeating"},
      {"RecordCountTooHigh", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x1A, {0, 0, 5, 0}}}, 2,
       "counts 5 records"},
      {"RecordCountTooLow", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x1A, {0, 0, 3, 0}}}, 2,
       "more records"},
      {"PagesPastTheEnd", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x26, {0, 0x10, 0, 0}}}, 2,
       "shorter"},
      {"SlotSize", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x18, {91}}}, 2, "record layout"},
      {"KeyOutsideRecord", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x110 + 0x14, {70}}}, 2,
       "outside the record"},
      {"DupChainWithoutStart", "v5-mbbsemu-fixed/MBBSEMU.DAT",
       {{0xA06 + 74, {0, 0, 0x14, 0x0B}}, {0xB14 + 78, {0, 0, 0x06, 0x0A}}}, 2, "no start"},
      {"DupChainToNowhere", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0xA06 + 78, {0, 0, 0x07, 0x0A}}},
       2, "no record"},
      {"DupChainBackLink", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0xA60 + 74, {0, 0, 0xBA, 0x0A}}},
       2, "disagree"},
      {"FreeChainIntoHeader", "v5-mbbsemu-fixed/MBBSEMU.DAT", {{0x10, {0, 0, 0x10, 0}}}, 2,
       "deleted records"},
      {"FreeChainCircle", "v5-mbbsemu-fixed/MBBSEMU.DAT",
       {{0x10, {0, 0, 0x06, 0x0A}}, {0xA06, {0, 0, 0x06, 0x0A}}}, 2, "deleted records"},
  };
  // clang-format on
  return cases;
}

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, AreCleanAndSayWhy) {
  REQUIRE_FIXTURES();
  const RefusalCase& c = GetParam();
  std::vector<uint8_t> image = LoadFixture(c.file);
  ASSERT_FALSE(image.empty());
  ASSERT_EQ(Open(image).status, 0) << "the unpatched file opens";
  for (const Patch& p : c.patches) {
    ASSERT_LE(p.offset + p.bytes.size(), image.size());
    std::copy(p.bytes.begin(), p.bytes.end(), image.begin() + p.offset);
  }
  Opened o = Open(std::move(image));
  EXPECT_EQ(o.status, c.status) << o.reason;
  EXPECT_NE(o.reason.find(c.reason), std::string::npos) << o.reason;
  EXPECT_EQ(o.source, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Patched, Refusals, ::testing::ValuesIn(RefusalCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A fragment whose next pointer names itself: VARIABLE.DAT's record 300 has
// a chained first fragment (bit 15 of its table entry).
TEST(LegacyDamage, FragmentChainInACircle) {
  REQUIRE_FIXTURES();
  std::vector<uint8_t> image = LoadFixture("v5-mbbsemu-variable/VARIABLE.DAT");
  ASSERT_FALSE(image.empty());
  Opened clean = Open(image);
  ASSERT_EQ(clean.status, 0);
  bool patched = false;
  for (size_t i = 1; i < clean.addresses.size() && !patched; ++i) {
    legacy::VarPointer ptr = legacy::LoadVarPointer(image.data() + clean.addresses[i] + 8);
    uint8_t* page = image.data() + size_t{ptr.page} * 512;
    uint16_t entry = LoadLE16(page + 512 - 2 * (ptr.fragment + 1));
    if (!(entry & 0x8000)) continue;
    legacy::StoreVarPointer(page + (entry & 0x7FFF), ptr);
    patched = true;
  }
  ASSERT_TRUE(patched);
  Opened o = Open(std::move(image));
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.reason.find("circle"), std::string::npos) << o.reason;
}

TEST(LegacyDamage, ThroughTheFileSystem) {
  REQUIRE_FIXTURES();
  std::unique_ptr<LegacySource> source;
  std::string reason;
  auto dir = std::filesystem::temp_directory_path() /
             ("legacy_reader_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  EXPECT_EQ(OpenLegacySource((dir / "missing.dat").string(), &source, &reason), 12);
  std::vector<uint8_t> image = LoadFixture("v60-wbtrv32-galtela/GALTELA.DAT");
  image[4096 + 0x106] = 0x08;
  std::ofstream((dir / "packed.dat").string(), std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  EXPECT_EQ(OpenLegacySource((dir / "packed.dat").string(), &source, &reason), 2);
  EXPECT_NE(reason.find("compression"), std::string::npos) << reason;
  EXPECT_EQ(source, nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tavelnor::btrieve
