// The dictionary image reader and writer: round trips at every format level,
// the stored sizes of each level, older images widened on reading, and
// damaged images (truncated, absurd counts and sizes, bad headers).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dico/dico_handler.h"
#include "dico/dico_image.h"
#include "dico/dico_test_builder.h"
#include "foundation/byte_reader.h"
#include "foundation/platform/process.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using Bytes = std::vector<uint8_t>;

// Image sizes of the 28 kinds as stored from level 11, and before it with
// 64-byte record headers.
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

// The element sizes written for the non-empty arrays, in array order, and
// the offset where the string pool starts.
struct Layout {
  std::vector<std::pair<int, uint32_t>> sizes;
  size_t first_size_at = 0;
  size_t pool_at = 0;
};

Layout WalkLayout(const Bytes& bytes) {
  Layout out;
  ByteReader r(bytes);
  const int level = bytes[3];
  EXPECT_TRUE(r.Skip(level >= 8 ? 12 : 8));
  EXPECT_TRUE(r.Skip(level >= 5 ? 8 : 4));
  if (level >= 11) {
    uint32_t n = 0;
    EXPECT_TRUE(r.ReadU32(&n));
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t len = 0;
      EXPECT_TRUE(r.Skip(4) && r.ReadU32(&len) && r.Skip(len));
    }
    EXPECT_TRUE(r.Skip(4));
  }
  std::vector<uint32_t> counts;
  for (int k = 0; k < ArrayCountForLevel(level); ++k) {
    uint32_t c = 0;
    if (level >= 11) {
      EXPECT_TRUE(r.ReadU32(&c));
    } else {
      uint16_t c16 = 0;
      EXPECT_TRUE(r.ReadU16(&c16));
      c = c16;
    }
    counts.push_back(c);
  }
  out.first_size_at = r.Offset();
  for (int k = 0; k < ArrayCountForLevel(level); ++k) {
    if (counts[static_cast<size_t>(k)] == 0) continue;
    uint32_t size = 0;
    EXPECT_TRUE(r.ReadU32(&size));
    out.sizes.emplace_back(k, size);
    EXPECT_TRUE(r.Skip(static_cast<size_t>(size) * counts[static_cast<size_t>(k)]));
  }
  out.pool_at = r.Offset();
  return out;
}

// --- round trips at every level -------------------------------------------

class LevelRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(LevelRoundTrip, ParsedImageKeepsWhatTheLevelStores) {
  const int level = GetParam();
  DicoTestBuilder b = MakeRichBuilder();
  auto parsed = ParseDicoImage(b.Bytes(level));
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  ExpectImagesEqual(ExpectedAt(b.image(), level), parsed.value());
}

TEST_P(LevelRoundTrip, ElementSizesAreThoseOfTheLevel) {
  const int level = GetParam();
  DicoTestBuilder b = MakeRichBuilder();
  const Layout layout = WalkLayout(b.Bytes(level));
  ASSERT_EQ(layout.sizes.size(), static_cast<size_t>(ArrayCountForLevel(level)));
  for (const auto& [kind, size] : layout.sizes) {
    EXPECT_EQ(size, StoredSize(kind, level)) << GetKindInfo(kind).class_name;
  }
}

TEST_P(LevelRoundTrip, CategoryEntriesHaveTheLevelsSize) {
  const int level = GetParam();
  DicoTestBuilder b = MakeRichBuilder();
  const Bytes bytes = b.Bytes(level);
  const Layout layout = WalkLayout(bytes);
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

INSTANTIATE_TEST_SUITE_P(Levels, LevelRoundTrip, ::testing::Values(2, 3, 4, 5, 8, 10, 11),
                         [](const auto& info) { return "Level" + std::to_string(info.param); });

TEST(DicoImageWrite, Level11WriteParseWriteIsByteIdentical) {
  const Bytes first = MakeRichBuilder().Bytes(11);
  auto parsed = ParseDicoImage(first);
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  EXPECT_EQ(FirstDifference(first, WriteDicoImage(parsed.value(), 11)), -1);
}

TEST(DicoImageWrite, OlderLevelReadsBackToTheSameLevelBytes) {
  for (int level : {2, 4, 8, 10}) {
    const Bytes first = MakeRichBuilder().Bytes(level);
    auto parsed = ParseDicoImage(first);
    ASSERT_TRUE(parsed.ok()) << level;
    EXPECT_EQ(FirstDifference(first, WriteDicoImage(parsed.value(), level)), -1) << level;
  }
}

// --- images of other sizes than the current ones -----------------------------

// A level-11 file holding one root and one array of `kind` with element
// size `size`, and a header size `header`.
Bytes CraftLevel11(uint32_t header, int kind, uint32_t size, const Bytes& element) {
  ByteWriter w;
  w.Text("D8");
  w.U8(2);
  w.U8(11);
  w.U32(7);   // versionsystem
  w.U32(0);   // versionuser
  w.U32(9);   // last id
  w.I32(-1);  // lowest user id
  w.U32(0);   // name index
  w.U32(header);
  for (int k = 0; k < kKindCount; ++k) w.U32(k == kind ? 1 : 0);
  w.U32(size);
  w.Bytes(element);
  w.U32(1);
  w.U8(0);
  w.U32(0);
  w.U32(kCategorySize);
  return w.Take();
}

Bytes Pattern(size_t n) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i + 1);
  return out;
}

TEST(DicoImageConvert, LongerElementsKeepTheCurrentSizeAndDropTheRest) {
  auto parsed = ParseDicoImage(CraftLevel11(67, kVariable, 150, Pattern(150)));
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  const Bytes src = Pattern(150);
  const Bytes want(src.begin(), src.begin() + 136);
  EXPECT_EQ(parsed->arrays[kVariable], want);
}

TEST(DicoImageConvert, ShorterElementsAreZeroFilled) {
  auto parsed = ParseDicoImage(CraftLevel11(67, kVariable, 100, Pattern(100)));
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  Bytes want = Pattern(100);
  want.resize(136, 0);
  EXPECT_EQ(parsed->arrays[kVariable], want);
}

TEST(DicoImageConvert, LargerRecordHeaderMovesTheClassPartTo67) {
  // A 70-byte header: the 3 extra base bytes are not kept, the class part
  // (bytes 70 on) lands at 67.
  auto parsed = ParseDicoImage(CraftLevel11(70, kLink, 74, Pattern(74)));
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  const Bytes src = Pattern(74);
  Bytes want(src.begin(), src.begin() + 67);
  want.insert(want.end(), src.begin() + 70, src.begin() + 74);
  EXPECT_EQ(parsed->arrays[kLink], want);
}

TEST(DicoImageConvert, Level10VariableOf133BytesBecomes136WithEmptyCountryBytes) {
  DicoTestBuilder b;
  const uint32_t id = b.AddField(b.root(), "Montant", 7, 8, 12);
  b.SetString(id, 67, "a+b");
  b.SetByte(id, base::kCountries, 0xFF);
  b.SetByte(id, 135, 0x77);
  auto parsed = ParseDicoImage(b.Bytes(10));
  ASSERT_TRUE(parsed.ok());
  const uint8_t* p = parsed->arrays[kVariable].data();
  ASSERT_EQ(parsed->arrays[kVariable].size(), 136u);
  EXPECT_EQ(p[base::kCountries], 0);
  EXPECT_EQ(LoadLE32(p + 67), b.Word(id, 67)) << "class part starts at 67";
  EXPECT_EQ(p[79], 7);
  EXPECT_EQ(LoadLE32(p + 91), 12u);
  EXPECT_EQ(p[135], 0x77);
}

// --- header and header words ---------------------------------------------------

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

TEST(DicoHeader, LevelBelowTwoIsUnsupported) {
  Bytes bytes = DicoTestBuilder().Bytes(11);
  bytes[3] = 1;
  auto parsed = ParseDicoImage(bytes);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.status().code(), Status::Code::kUnsupported);
}

TEST(DicoHeader, HeaderOnlyParseReadsTheVersions) {
  DicoTestBuilder b;
  b.image().header.version_system = 12;
  b.image().header.version_user = 34;
  DicoHeader h;
  ASSERT_TRUE(ParseDicoHeader(b.Bytes(8), &h).ok());
  EXPECT_EQ(h.level, 8);
  EXPECT_EQ(h.version_system, 12u);
  EXPECT_EQ(h.version_user, 34u);
  ASSERT_TRUE(ParseDicoHeader(b.Bytes(7), &h).ok());
  EXPECT_EQ(h.version_user, 0u) << "no user version before level 8";
  const Bytes three = {'D', '8', 2};
  EXPECT_EQ(ParseDicoHeader(three, &h).code(), Status::Code::kCorrupt);
}

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

TEST(DicoHeaderWords, NameIndexEntersMacrosAndCountries) {
  DicoTestBuilder b;
  b.image().name_index.push_back({15, "@X"});
  b.image().name_index.push_back({3, "France"});
  b.image().name_index.push_back({21, "@Paie"});
  DDicoHandler handler;
  ASSERT_EQ(handler.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  ASSERT_EQ(handler.Macros().count("X"), 1u);
  EXPECT_EQ(handler.Macros().at("X"), 1);
  EXPECT_EQ(handler.Macros().at("Paie"), 7);
  ASSERT_EQ(handler.Countries().count("France"), 1u);
  EXPECT_EQ(handler.Countries().at("France"), 3);
  EXPECT_EQ(handler.Countries().size(), 1u);
  EXPECT_EQ(handler.Macros().count("@X"), 0u);
}

// --- damage ------------------------------------------------------------------------

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

  const auto start = std::chrono::steady_clock::now();
  auto parsed = ParseDicoImage(bytes);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.status().code(), Status::Code::kCorrupt) << parsed.status().ToString();
  EXPECT_NE(parsed.status().message().find("offset"), std::string::npos);
  EXPECT_LT(elapsed, std::chrono::seconds(1));

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

TEST(DicoDamage, PoolSizeOneBeyondTheFileIsCorrupt) {
  DicoTestBuilder b = MakeSmallBuilder();
  b.image().name_index.clear();
  Bytes bytes = b.Bytes(11);
  const Places places = Locate(b, bytes);
  // The pool may not swallow the category table: count and size are gone.
  StoreLE32(&bytes[places.pool_size],
            static_cast<uint32_t>(bytes.size() - places.pool_size - 4 + 1));
  auto parsed = ParseDicoImage(bytes);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.status().code(), Status::Code::kCorrupt);
}

TEST(DicoDamage, ElementSizeBelowALargerRecordHeaderIsCorrupt) {
  auto parsed = ParseDicoImage(CraftLevel11(100, kVariable, 80, Pattern(80)));
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.status().code(), Status::Code::kCorrupt);
}

TEST(DicoDamage, ElementSizeBelowOldRecordHeaderIsCorrupt) {
  for (int level : {4, 10}) {
    Bytes bytes = MakeSmallBuilder().Bytes(level);
    StoreLE32(&bytes[WalkLayout(bytes).first_size_at], HeaderSizeForLevel(level) - 1);
    auto parsed = ParseDicoImage(bytes);
    ASSERT_FALSE(parsed.ok()) << level;
    EXPECT_EQ(parsed.status().code(), Status::Code::kCorrupt) << level;
  }
}

TEST(DicoDamage, NameIndexEntryLongerThanTheFileIsCorrupt) {
  Bytes bytes = MakeSmallBuilder().Bytes(11);
  // One entry: value at 24, length at 28.
  StoreLE32(&bytes[28], 0xFFFFFFF0u);
  auto parsed = ParseDicoImage(bytes);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.status().code(), Status::Code::kCorrupt);
}

TEST(DicoDamage, CategoryEntriesOfOtherSizesKeepTheirFirst257Bytes) {
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

TEST(DicoDamage, RandomBytesNeverCrashTheParser) {
  DicoTestBuilder b = MakeSmallBuilder();
  auto t = b.AddTable("Factures");
  const uint32_t num = b.AddField(t.data, "Numero", 2, 4);
  b.AddSegment(b.AddKey(t.keys, "ParNumero"), "Numero", num, 0);
  b.AddVarPerso(t.data, "Perso", 50, 4);
  const Bytes good = b.Bytes(11);
  std::mt19937 gen(99);
  int accepted = 0;
  for (int round = 0; round < 300; ++round) {
    Bytes bytes = good;
    const int flips = 1 + static_cast<int>(gen() % 8);
    for (int i = 0; i < flips; ++i) bytes[gen() % bytes.size()] = static_cast<uint8_t>(gen());
    auto parsed = ParseDicoImage(bytes);
    if (parsed.ok()) ++accepted;
    DDicoHandler handler;
    if (handler.LoadImage(bytes, kLoadNameIndex) != LoadResult::kLoaded) {
      EXPECT_FALSE(handler.LastLoadStatus().ok());
      EXPECT_EQ(handler.Root(), nullptr);
    }
  }
  EXPECT_GT(accepted, 0) << "changes inside record images parse";
}

}  // namespace
}  // namespace tavelnor::dico
