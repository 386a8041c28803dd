// The dictionary image reader on bad input: signatures, versions, truncation, absurd sizes.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dico/dico_handler.h"
#include "dico/dico_image.h"
#include "dico/allocation_probe.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "foundation/byte_reader.h"
#include "foundation/platform/process.h"

namespace tavelnor::dico {
namespace {

using testing::CraftLevel11;
using testing::DicoTestBuilder;
using testing::PatternBytes;
using testing::WalkImageLayout;
using Bytes = std::vector<uint8_t>;

struct HeaderCase {
  const char* name;
  uint8_t sig0, sig1, version, level;
  bool ok;
};

class DicoHeaderCheck : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(DicoHeaderCheck, AcceptsOnlyKnownSignaturesAndVersions) {
  const HeaderCase& c = GetParam();
  Bytes bytes = DicoTestBuilder().Bytes(11);
  bytes[0] = c.sig0;
  bytes[1] = c.sig1;
  bytes[2] = c.version;
  auto parsed = ParseDicoImage(bytes);
  EXPECT_EQ(parsed.ok(), c.ok);
  if (!c.ok) {
    EXPECT_EQ(parsed.status().code(), Status::Code::kUnsupported);
  }

  platform::SetLastOsError(0);
  DDicoHandler handler;
  const LoadResult result = handler.LoadImage(bytes, kLoadNameIndex);
  EXPECT_EQ(result == LoadResult::kLoaded, c.ok) << handler.LastLoadStatus().ToString();
  if (!c.ok) {
    EXPECT_EQ(platform::LastOsError(), kErrorNotADictionary);
    EXPECT_EQ(handler.Root(), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, DicoHeaderCheck,
    ::testing::Values(HeaderCase{"D8", 'D', '8', 2, 11, true},
                      HeaderCase{"ED", 'E', 'D', 2, 11, true},
                      HeaderCase{"Version10", 'D', '8', 10, 11, true},
                      HeaderCase{"Version11", 'D', '8', 11, 11, false},
                      HeaderCase{"Version255", 'D', '8', 255, 11, false},
                      HeaderCase{"DE", 'D', 'E', 2, 11, false},
                      HeaderCase{"E8", 'E', '8', 2, 11, false},
                      HeaderCase{"MZ", 'M', 'Z', 2, 11, false},
                      HeaderCase{"Zeros", 0, 0, 0, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The earliest format levels, written byte by byte: no user version, no
// lowest user identifier, 56-byte record headers, 16-bit counts of all 28
// arrays and 36-byte categories.
class EarliestLevel : public ::testing::TestWithParam<int> {};

TEST_P(EarliestLevel, IsReadLikeTheOtherOldLevels) {
  const int level = GetParam();
  ByteWriter w;
  w.Text("D8");
  w.U8(2);
  w.U8(static_cast<uint8_t>(level));
  w.U32(7);  // versionsystem
  w.U32(3);  // last identifier; then straight to the element counts
  for (int k = 0; k < kKindCount; ++k) {
    w.U16(k == kDico || k == kRubricTable || k == kTitleMemory ? 1 : 0);
  }
  // A 56-byte record header: identifier, first child, next sibling,
  // parent, linked to, name, file-definition name, header, description,
  // internal flags, flags, unit size, reserved.
  auto header = [&w](uint32_t id, uint32_t child, uint32_t parent, int32_t name) {
    w.U32(0);
    w.U32(0);
    for (uint32_t v : {id, child, 0u, parent, 0u}) w.U32(v);
    w.I32(name);
    w.Zeros(56 - 32);
  };
  w.U32(56 + 5);  // root: default precision and extension
  header(1, 2, 0, -13);
  w.U8(2);
  w.I32(0);
  w.U32(56 + 28);  // table: its class part without the user version's later place
  header(2, 3, 1, 1);
  w.U32(1024);  // page size
  w.Zeros(24);
  w.U32(56);  // the extensions title, in the last array
  header(3, 0, 2, 0);
  const std::string pool("\0Clients\0", 9);
  w.U32(static_cast<uint32_t>(pool.size()));
  w.Text(pool);
  w.U32(1);  // one 36-byte category
  uint8_t category[36] = {'A', 'd', 'r', 'e', 's', 's', 'e'};
  category[31] = 9;
  category[35] = 1;
  w.Bytes(category, sizeof category);

  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(w.Take(), kLoadNameIndex), LoadResult::kLoaded)
      << h.LastLoadStatus().ToString();
  EXPECT_EQ(h.FormatLevel(), level);
  EXPECT_EQ(h.VersionSystem(), 7u);
  EXPECT_EQ(h.VersionUser(), 0u);
  EXPECT_EQ(h.LowestUserId(), -1);
  ASSERT_NE(h.Root(), nullptr);
  EXPECT_EQ(h.Root()->GetName(), "Dico");
  EXPECT_EQ(h.Root()->DefPrecision(), 2);
  DDicoBase* table = h.FindTable("Clients");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Kind(), kRubricTable);
  EXPECT_EQ(table->Word(67), 1024u);
  ASSERT_NE(h.FindById(3), nullptr);
  EXPECT_EQ(h.FindById(3)->Kind(), kTitleMemory);
  EXPECT_EQ(h.FindById(3)->GetParent(), table);
  ASSERT_EQ(h.CategoryCount(), 1);
  EXPECT_EQ(h.FindCategory("Adresse"), 0);
  EXPECT_EQ(h.GetCategory(0)[31], 9);
  EXPECT_EQ(h.GetCategory(0)[35], 1);
}

INSTANTIATE_TEST_SUITE_P(Levels, EarliestLevel, ::testing::Values(0, 1));

TEST(DicoHeaderWords, UnsetLowestUserIdReadsMinusOne) {
  struct Case {
    uint32_t stored;
    int32_t read;
  };
  for (const Case& c : {Case{0xCDCDCDCDu, -1}, Case{0xFFFFFFFFu, -1}, Case{7, 7},
                        Case{0, 0}, Case{0xCDCDCDCEu, static_cast<int32_t>(0xCDCDCDCEu)}}) {
    Bytes bytes = DicoTestBuilder().Bytes(11);
    StoreLE32(&bytes[16], c.stored);  // after 12 header bytes and the last id
    auto parsed = ParseDicoImage(bytes);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->lowest_user_id, c.read) << std::hex << c.stored;
  }
}

DicoTestBuilder MakeSmallBuilder() {
  DicoTestBuilder b;
  auto t = b.AddTable("Clients");
  b.AddField(t.data, "Nom", 0, 30);
  b.AddCategory("Adresse", 1, 0);
  b.AddCountry("France", 3);
  return b;
}

class DicoTruncation : public ::testing::TestWithParam<int> {};

TEST_P(DicoTruncation, EveryShorterLengthIsAnError) {
  const Bytes bytes = MakeSmallBuilder().Bytes(GetParam());
  ASSERT_TRUE(ParseDicoImage(bytes).ok());
  DDicoHandler handler;
  for (size_t n = 0; n < bytes.size(); ++n) {
    const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    auto parsed = ParseDicoImage(cut);
    ASSERT_FALSE(parsed.ok()) << "length " << n << " of " << bytes.size();
    EXPECT_EQ(parsed.status().code(), Status::Code::kCorrupt) << "length " << n;
    ASSERT_EQ(handler.LoadImage(cut, kLoadNameIndex), LoadResult::kFailed) << n;
    EXPECT_EQ(handler.Root(), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, DicoTruncation, ::testing::Values(2, 4, 5, 10, 11),
                         [](const auto& info) { return "Level" + std::to_string(info.param); });

// Places in a level-11 image of MakeSmallBuilder() without name index.
struct Places {
  size_t name_count = 20, header_size = 24, counts = 28, first_size = 28 + 4 * kKindCount;
  size_t pool_size = 0, category_count = 0, category_size = 0;
};

Places Locate(const DicoTestBuilder& b, const Bytes& bytes) {
  Places p;
  const size_t cats = b.image().categories.size();
  p.category_size = bytes.size() - cats - 4;
  p.category_count = p.category_size - 4;
  p.pool_size = p.category_count - b.image().pool.size() - 4;
  return p;
}

struct AbsurdCase {
  const char* name;
  size_t Places::*where;
  size_t extra;  // added to the place (a word after it)
  uint32_t value;
};

class DicoAbsurdValues : public ::testing::TestWithParam<AbsurdCase> {};

TEST_P(DicoAbsurdValues, FailQuicklyAsCorrupt) {
  const AbsurdCase& c = GetParam();
  DicoTestBuilder b = MakeSmallBuilder();
  b.image().name_index.clear();
  Bytes bytes = b.Bytes(11);
  const Places places = Locate(b, bytes);
  ASSERT_TRUE(ParseDicoImage(bytes).ok());
  StoreLE32(&bytes[places.*c.where + c.extra], c.value);

  // Refused before anything the size of the absurd value is allocated.
  tavelnor::testing::AllocationProbe probe;
  auto parsed = ParseDicoImage(bytes);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.status().code(), Status::Code::kCorrupt) << parsed.status().ToString();
  EXPECT_NE(parsed.status().message().find("offset"), std::string::npos);
  EXPECT_LT(probe.Largest(), 16 * bytes.size() + 4096);

  DDicoHandler handler;
  EXPECT_EQ(handler.LoadImage(bytes, kLoadNameIndex), LoadResult::kFailed);
  EXPECT_EQ(handler.LastLoadStatus().code(), Status::Code::kCorrupt);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DicoAbsurdValues,
    ::testing::Values(
        AbsurdCase{"NameIndexCount", &Places::name_count, 0, 0xFFFFFFFFu},
        AbsurdCase{"RecordHeaderSizeHuge", &Places::header_size, 0, 0xFFFFFFFFu},
        AbsurdCase{"RecordHeaderSizeTiny", &Places::header_size, 0, 3},
        AbsurdCase{"RootCount", &Places::counts, 0, 0xFFFFFFFFu},
        AbsurdCase{"TableCount", &Places::counts, 4 * kRubricTable, 0xFFFFFFFFu},
        AbsurdCase{"VariableCount", &Places::counts, 4 * kVariable, 0x10000000u},
        AbsurdCase{"ElementSizeHuge", &Places::first_size, 0, 0xFFFFFFFFu},
        AbsurdCase{"ElementSizeBelowHeader", &Places::first_size, 0, 66},
        AbsurdCase{"ElementSizeZero", &Places::first_size, 0, 0},
        AbsurdCase{"PoolBeyondFile", &Places::pool_size, 0, 0x7FFFFFF0u},
        AbsurdCase{"CategoryCountHuge", &Places::category_count, 0, 0xFFFFFFFFu},
        AbsurdCase{"CategoryCountPlusOne", &Places::category_count, 0, 2},
        AbsurdCase{"CategorySizeHuge", &Places::category_size, 0, 0xFFFFFFFFu},
        AbsurdCase{"CategorySizeBelowOldEntry", &Places::category_size, 0, 35}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DicoDamage, SizesReachingBeyondTheirPlaceAreCorrupt) {
  std::vector<std::pair<std::string, Bytes>> damaged;
  DicoTestBuilder b = MakeSmallBuilder();
  Bytes bytes = b.Bytes(11);
  StoreLE32(&bytes[28], 0xFFFFFFF0u);  // the one name index entry: value at 24, length at 28
  damaged.emplace_back("name index entry", bytes);
  b.image().name_index.clear();
  bytes = b.Bytes(11);
  // The pool may not swallow the category table: count and size are gone.
  const size_t pool_at = Locate(b, bytes).pool_size;
  StoreLE32(&bytes[pool_at], static_cast<uint32_t>(bytes.size() - pool_at - 4 + 1));
  damaged.emplace_back("pool one byte beyond", bytes);
  damaged.emplace_back("element below a larger header",
                       CraftLevel11(100, kVariable, 80, PatternBytes(80)));
  for (int level : {4, 10}) {
    bytes = MakeSmallBuilder().Bytes(level);
    StoreLE32(&bytes[WalkImageLayout(bytes).first_size_at], HeaderSizeForLevel(level) - 1);
    damaged.emplace_back("element below the header at level " + std::to_string(level), bytes);
  }
  for (const auto& [what, image] : damaged) {
    auto parsed = ParseDicoImage(image);
    ASSERT_FALSE(parsed.ok()) << what;
    EXPECT_EQ(parsed.status().code(), Status::Code::kCorrupt) << what;
  }
}

}  // namespace
}  // namespace tavelnor::dico
