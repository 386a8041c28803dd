// The dictionary image reader and writer: round trips at every format level,
// the stored sizes of each level, and images of other sizes widened or cut on reading.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dico/dico_image.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "foundation/byte_reader.h"

namespace tavelnor::dico {
namespace {

using testing::CraftLevel11;
using testing::DicoTestBuilder;
using testing::ImageLayout;
using testing::PatternBytes;
using testing::WalkImageLayout;
using Bytes = std::vector<uint8_t>;

// Image sizes of the 28 kinds as stored from level 11, and before it with 64-byte record headers.
constexpr uint32_t kSizes11[kKindCount] = {74, 95, 67, 67, 67, 67, 67, 67, 67, 67,
                                           67, 71, 79, 73, 73, 73, 73, 73, 136, 136,
                                           136, 136, 76, 76, 71, 71, 136, 67};
constexpr uint32_t kSizesBefore11[kKindCount] = {69, 92, 64, 64, 64, 64, 64, 64, 64, 64,
                                                 64, 68, 76, 70, 70, 70, 70, 70, 133, 133,
                                                 133, 133, 73, 73, 68, 68, 133, 64};

uint32_t StoredSize(int kind, int level) {
  if (level >= 11) return kSizes11[kind];
  return kSizesBefore11[kind] - (level <= 5 ? 8 : 0);
}

// Two objects of every kind, every byte of their images random except the
// tree words; categories with bytes beyond the 36 old ones; a name index.
DicoTestBuilder MakeRichBuilder() {
  DicoTestBuilder b;
  std::mt19937 gen(4711);
  for (int round = 0; round < 2; ++round) {
    for (int k = 1; k < kKindCount; ++k) b.Add(k, b.root(), "obj" + std::to_string(k));
  }
  for (int k = 0; k < kKindCount; ++k) {
    auto& block = b.image().arrays[static_cast<size_t>(k)];
    const uint32_t size = GetKindInfo(k).image_size;
    for (size_t at = 0; at < block.size(); at += size) {
      for (uint32_t off = base::kInternalFlags; off < size; ++off) {
        block[at + off] = static_cast<uint8_t>(gen());
      }
    }
  }
  b.image().header.version_system = 0x01020304;
  b.image().header.version_user = 0x0A0B0C0D;
  b.image().lowest_user_id = 42;
  b.AddCountry("France", 3);
  b.AddCountry("Suisse", 13);
  b.AddMacro("Paie", 1);
  b.AddCategory("Adresse", 7, 1, 100, 0x5A);
  b.AddCategory("Une categorie au nom tres long qui depasse", 9, 0, 256, 0xA5);
  return b;
}

// What a level keeps of `in`.
DicoImage ExpectedAt(const DicoImage& in, int level) {
  DicoImage out = in;
  out.header.level = static_cast<uint8_t>(level);
  out.record_header_size = HeaderSizeForLevel(level);
  if (level < 8) out.header.version_user = 0;
  if (level < 5) out.lowest_user_id = -1;
  if (level < 11) out.name_index.clear();
  for (int k = 0; k < kKindCount; ++k) {
    auto& block = out.arrays[static_cast<size_t>(k)];
    if (k >= ArrayCountForLevel(level)) {
      block.clear();
      continue;
    }
    const uint32_t size = GetKindInfo(k).image_size;
    for (size_t at = 0; at < block.size(); at += size) {
      if (level < 11) std::memset(&block[at + base::kCountries], 0, 3);
      if (level < 11 && k == kDico) std::memset(&block[at + 72], 0, 2);
      if (level <= 5) std::memset(&block[at + base::kReserved56], 0, 8);
    }
  }
  if (level <= 4) {
    for (size_t at = 0; at < out.categories.size(); at += kCategorySize) {
      std::memset(&out.categories[at + kOldCategorySize], 0, kCategorySize - kOldCategorySize);
    }
  }
  return out;
}

// Offset of the first differing byte, or -1.
long FirstDifference(const Bytes& a, const Bytes& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<long>(i);
  }
  return a.size() == b.size() ? -1 : static_cast<long>(n);
}

void ExpectImagesEqual(const DicoImage& want, const DicoImage& got) {
  EXPECT_EQ(want.header.signature[0], got.header.signature[0]);
  EXPECT_EQ(want.header.signature[1], got.header.signature[1]);
  EXPECT_EQ(want.header.version_byte, got.header.version_byte);
  EXPECT_EQ(want.header.level, got.header.level);
  EXPECT_EQ(want.header.version_system, got.header.version_system);
  EXPECT_EQ(want.header.version_user, got.header.version_user);
  EXPECT_EQ(want.last_id, got.last_id);
  EXPECT_EQ(want.lowest_user_id, got.lowest_user_id);
  EXPECT_EQ(want.record_header_size, got.record_header_size);
  ASSERT_EQ(want.name_index.size(), got.name_index.size());
  for (size_t i = 0; i < want.name_index.size(); ++i) {
    EXPECT_EQ(want.name_index[i].value, got.name_index[i].value);
    EXPECT_EQ(want.name_index[i].name, got.name_index[i].name);
  }
  for (int k = 0; k < kKindCount; ++k) {
    EXPECT_EQ(FirstDifference(want.arrays[static_cast<size_t>(k)],
                              got.arrays[static_cast<size_t>(k)]), -1)
        << "array " << k << " (" << GetKindInfo(k).class_name << ")";
  }
  EXPECT_EQ(want.pool, got.pool);
  EXPECT_EQ(FirstDifference(want.categories, got.categories), -1) << "categories";
}

class LevelRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(LevelRoundTrip, ParsedImageKeepsWhatTheLevelStores) {
  const int level = GetParam();
  DicoTestBuilder b = MakeRichBuilder();
  auto parsed = ParseDicoImage(b.Bytes(level));
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  ExpectImagesEqual(ExpectedAt(b.image(), level), parsed.value());
}

TEST_P(LevelRoundTrip, ElementAndCategorySizesAreThoseOfTheLevel) {
  const int level = GetParam();
  const Bytes bytes = MakeRichBuilder().Bytes(level);
  const ImageLayout layout = WalkImageLayout(bytes);
  ASSERT_EQ(layout.sizes.size(), static_cast<size_t>(ArrayCountForLevel(level)));
  for (const auto& [kind, size] : layout.sizes) {
    EXPECT_EQ(size, StoredSize(kind, level)) << GetKindInfo(kind).class_name;
  }
  ByteReader r(bytes);
  uint32_t pool = 0, count = 0;
  ASSERT_TRUE(r.Seek(layout.pool_at) && r.ReadU32(&pool) && r.Skip(pool) && r.ReadU32(&count));
  EXPECT_EQ(count, 2u);
  if (level <= 4) {
    EXPECT_EQ(r.Remaining(), 2u * kOldCategorySize) << "36-byte entries, no entry size";
  } else {
    uint32_t entry = 0;
    ASSERT_TRUE(r.ReadU32(&entry));
    EXPECT_EQ(entry, kCategorySize);
    EXPECT_EQ(r.Remaining(), 2u * kCategorySize);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelRoundTrip, ::testing::Values(0, 1, 2, 3, 4, 5, 8, 10, 11),
                         [](const auto& info) { return "Level" + std::to_string(info.param); });

TEST(DicoImageConvert, LongerElementsAreCutAndShorterOnesZeroFilledToTheCurrentSize) {
  for (uint32_t stored : {150u, 100u}) {
    auto parsed = ParseDicoImage(CraftLevel11(67, kVariable, stored, PatternBytes(stored)));
    ASSERT_TRUE(parsed.ok()) << stored << " " << parsed.status().ToString();
    Bytes want = PatternBytes(stored);
    want.resize(136, 0);
    EXPECT_EQ(parsed->arrays[kVariable], want) << stored;
  }
}

TEST(DicoImageConvert, LargerRecordHeaderMovesTheClassPartTo67) {
  // A 70-byte header: the 3 extra base bytes are not kept, the class part
  // (bytes 70 on) lands at 67.
  auto parsed = ParseDicoImage(CraftLevel11(70, kLink, 74, PatternBytes(74)));
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  const Bytes src = PatternBytes(74);
  Bytes want(src.begin(), src.begin() + 67);
  want.insert(want.end(), src.begin() + 70, src.begin() + 74);
  EXPECT_EQ(parsed->arrays[kLink], want);
}

TEST(DicoImageConvert, CategoryEntriesOfOtherSizesKeepTheirFirst257Bytes) {
  DicoTestBuilder b;
  Bytes bytes = b.Bytes(11);
  bytes.resize(bytes.size() - 8);  // drop the empty category table
  for (uint32_t entry : {40u, 257u, 300u}) {
    Bytes file = bytes;
    ByteWriter w;
    w.U32(2);
    w.U32(entry);
    for (uint32_t i = 0; i < 2 * entry; ++i) w.U8(static_cast<uint8_t>(i % 251 + 1));
    file.insert(file.end(), w.buffer().begin(), w.buffer().end());
    auto parsed = ParseDicoImage(file);
    ASSERT_TRUE(parsed.ok()) << entry;
    ASSERT_EQ(parsed->CategoryCount(), 2u);
    for (uint32_t e = 0; e < 2; ++e) {
      for (uint32_t i = 0; i < kCategorySize; ++i) {
        const uint8_t want = i < entry ? static_cast<uint8_t>((e * entry + i) % 251 + 1) : 0;
        ASSERT_EQ(parsed->categories[e * kCategorySize + i], want) << entry << " " << e << " " << i;
      }
    }
  }
}

}  // namespace
}  // namespace tavelnor::dico
