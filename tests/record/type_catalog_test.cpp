// Type catalog: every row's descriptor answers, the buffer kind and default
// size of each code, and the derived text codes.
#include "record/type_catalog.h"

#include <gtest/gtest.h>

#include <set>

#include "record/buffer_kinds.h"
#include "record/type_codes.h"

namespace tavelnor::record {
namespace {

struct CatalogCase {
  uint32_t code;
  const char* type_name;  // null: the base descriptor
  const char* label;
  int32_t default_size;
  BufferKind buffer;
  int32_t category;
  int32_t general;
  const char* flags;  // dynamic, fixed array, sortable, property 7
};

using enum BufferKind;

// Labels are Windows-1252 bytes.
constexpr CatalogCase kCatalog[] = {
    {0, "char *", "Cha\356ne de caract\350res", 256, kZString, 25, 25, "0111"},
    {1, "long", "Entier (32 bits)", 4, kInt32, 26, 2, "0011"},
    {2, "double", "Flottant (64 bits)", 8, kDouble, 2, 2, "0011"},
    {3, nullptr, nullptr, 8, kRaw, -1, -1, "0000"}, {4, "sDate", "Date", 4, kDate, 4, 26, "0011"},
    {5, "sTime", "Heure", 4, kTime, 5, 26, "0011"},
    {6, "bdBool", "Bool\351en (vieux)", 4, kbdBool, 19, 2, "0001"},
    {7, "char *", "Cha\356ne de longueur fixe", 256, kStr, 25, 25, "0111"},
    {8, nullptr, nullptr, 4, kRaw, -1, -1, "0000"},
    {9, "char *", "Cha\356ne de caract\350res", 256, kAutre, 25, 25, "0111"},
    {10, nullptr, nullptr, 256, kRaw, -1, -1, "0000"},
    {11, nullptr, nullptr, 256, kRaw, -1, -1, "0000"},
    {12, "EDecimal32", "Nombre \340 virgule fixe (32 bits)", 4, kDec32, 29, 2, "0010"},
    {13, "__int8", "Petit entier (8 bits)", 1, kInt8, 26, 2, "0011"},
    {14, "unsigned __int8", "Petit entier non sign\351 (8 bits)", 1, kUInt8, 27, 2, "0010"},
    {15, "short", "Entier (16 bits)", 2, kInt16, 26, 2, "0011"},
    {16, "unsigned short", "Entier non sign\351 (16 bits)", 2, kUInt16, 27, 2, "0011"},
    {17, nullptr, nullptr, 4, kRaw, -1, -1, "0000"},
    {18, "unsigned long", "Entier non sign\351 (32 bits)", 4, kUInt32, 27, 2, "0011"},
    {19, "bool", "Bool\351en", 1, kBool, 19, 2, "0001"},
    {20, "EDecimal64", "Nombre \340 virgule fixe (64 bits, pr\351cision 7)", 8, kDec64, 29, 2,
     "0010"},
    {21, "char", "Caract\350re", 1, kCharacter, 25, 25, "0011"},
    {22, "int", "Entier", 4, kInt, 26, 2, "0011"},
    {23, "float", "Flottant (32 bits)", 4, kFloat, 2, 2, "0011"},
    {24, "CString", "Cha\356ne de caract\350re", 256, kRaw, 25, 25, "1010"},
    {25, "Chaine", "Cha\356ne de caract\350re", 0, kChaine, 25, 25, "1010"},
    {26, "__int64", "Entier (64 bits)", 0, kInt64, 26, 2, "0011"},
    {27, "unsigned __int64", "Entier non sign\351 (64 bits)", 0, kUInt64, 27, 2, "0011"},
    {28, "ETimeStamp", "TimeStamp", 8, kTimeStamp, 28, 26, "0011"},
    {29, "ECurrency", "Monnaie (64 bits, pr\351cision 4)", 0, kCurrency, 29, 2, "0011"},
    {30, "EGuid", "Guid", 0, kGuid, 30, -1, "0101"},
    {32, "sBlob", "Donn\351es binaires", 256, kBlob, 32, -1, "1000"},
    {33, "sBlobText", "Texte m\351mo", 256, kBlobText, 25, 25, "1001"},
    {34, "sBlobRichText", "Texte m\351mo RTF", 256, kBlobRichText, 34, 25, "1000"},
    {35, "sBlobImage", "Image", 256, kBlobImage, 35, 32, "1000"},
    {36, "sBlobSound", "Son", 256, kBlobSound, 36, 32, "1000"},
    {37, "sBlobVideo", "Vid\351o", 256, kBlobVideo, 37, 32, "1000"},
    {128, "char *", "Cha\356ne de caract\350res majuscules", 256, kRaw, 25, 25, "0111"},
    {135, "char *", "Cha\356ne de longueur fixe en majuscules", 256, kRaw, 25, 25, "0111"},
    {136, "char *", "Cha\356ne de caract\350res SC", 256, kRaw, 161, 25, "0111"},
    {137, "char *", "Cha\356ne de caract\350res majuscules", 256, kRaw, 25, 25, "0111"},
    {138, nullptr, nullptr, 256, kRaw, -1, -1, "0000"},
    {143, "char *", "Cha\356ne de longueur fixe en SC", 256, kRaw, 161, 25, "0111"},
    {145, "char *", "Cha\356ne de caract\350res SC", 256, kRaw, 161, 25, "0111"},
    {146, nullptr, nullptr, 256, kRaw, -1, -1, "0000"},
    {149, "char", "Caract\350re majuscule", 256, kRaw, 25, 25, "0011"},
    {153, "Chaine", "Cha\356ne de caract\350res majuscules", 256, kRaw, 25, 25, "0011"},
    {157, "char", "Caract\350re SC", 256, kRaw, 161, 25, "0011"},
    {161, "Chaine", "Cha\356ne de caract\350res SC", 256, kRaw, 161, 25, "0011"},
};

class CatalogRowTest : public testing::TestWithParam<CatalogCase> {};

TEST_P(CatalogRowTest, DescriptorAnswersTheRow) {
  const CatalogCase& c = GetParam();
  const BdDynTypeDesc* desc = GetTypeDesc(c.code);
  ASSERT_NE(desc, nullptr);
  EXPECT_EQ(desc->GetCategory(), c.category);
  EXPECT_EQ(desc->GetGeneralType(), c.general);
  if (c.type_name == nullptr) {
    EXPECT_EQ(desc->GetTypeName(), nullptr);
    EXPECT_EQ(desc->GetLabel(), nullptr);
  } else {
    ASSERT_NE(desc->GetTypeName(), nullptr);
    EXPECT_STREQ(desc->GetTypeName(), c.type_name);
    EXPECT_STREQ(desc->GetLabel(), c.label);
  }
  EXPECT_EQ(desc->IsDynamic(), c.flags[0] == '1');
  EXPECT_EQ(desc->IsFixedArray(), c.flags[1] == '1');
  EXPECT_EQ(desc->IsSortable(), c.flags[2] == '1');
  EXPECT_EQ(desc->GetProperty7(), c.flags[3] == '1');
  EXPECT_EQ(GetTypeDesc(c.code), desc) << "same object on every call";
}

TEST_P(CatalogRowTest, BufferKindAndDefaultSize) {
  const CatalogCase& c = GetParam();
  int16_t code = static_cast<int16_t>(c.code);
  EXPECT_EQ(BufferKindForCode(code), c.buffer);
  EXPECT_EQ(ResolveBufferSize(code, -1), c.default_size);
  EXPECT_EQ(ResolveBufferSize(code, 0), 0);
  EXPECT_EQ(ResolveBufferSize(code, 17), 17);
}

INSTANTIATE_TEST_SUITE_P(AllRows, CatalogRowTest, testing::ValuesIn(kCatalog));

TEST(TypeCatalogTest, CodesOutsideTheTableAnswerTheBaseDescriptor) {
  std::set<uint32_t> listed;
  for (const CatalogCase& c : kCatalog) listed.insert(c.code);
  for (uint32_t code :
       {12u + 26u, 40u, 100u, 127u, 129u, 150u, 160u, 162u, 255u, 500u, 65536u, 0xFFFFFFFFu}) {
    ASSERT_FALSE(listed.count(code));
    const BdDynTypeDesc* desc = GetTypeDesc(code);
    EXPECT_EQ(desc->GetGeneralType(), -1) << code;
    EXPECT_EQ(desc->GetCategory(), -1) << code;
    EXPECT_EQ(desc->GetTypeName(), nullptr) << code;
    EXPECT_FALSE(desc->IsDynamic() || desc->IsFixedArray() || desc->IsSortable() ||
                 desc->GetProperty7());
    EXPECT_EQ(GetTypeDesc(code), desc);
  }
}

TEST(BufferKindsTest, NegativeAndLargeCodes) {
  EXPECT_EQ(BufferKindForCode(-1), BufferKind::kRaw);
  EXPECT_EQ(BufferKindForCode(-2), BufferKind::kRaw);
  EXPECT_EQ(BufferKindForCode(INT16_MIN), BufferKind::kRaw);
  EXPECT_EQ(BufferKindForCode(255), BufferKind::kRaw);
  EXPECT_EQ(BufferKindForCode(INT16_MAX), BufferKind::kRaw);
  EXPECT_EQ(ResolveBufferSize(-1, -1), 256);
  EXPECT_EQ(ResolveBufferSize(-1, 0), 0);  // a field with no type yet
  EXPECT_EQ(ResolveBufferSize(31, -1), 256);
  EXPECT_EQ(ResolveBufferSize(30, -5), 0);
  EXPECT_EQ(BufferFactoryTable()[0], BufferKind::kRaw);
  EXPECT_EQ(BufferFactoryTable()[TYPE_DATE + 1], BufferKind::kDate);
}

struct MakeCase {
  uint16_t base;
  bool no_case;
  bool upper;
  uint16_t expected;
};

TEST(StringTypeCodeTest, MakeFollowsTheRules) {
  const MakeCase cases[] = {
      {25, true, true, 153},   {25, true, false, 161},     {25, false, false, 25},
      {0, false, true, 128},   {0, true, false, 136},      {7, false, true, 135},
      {7, true, false, 143},   {9, false, true, 137},      {9, true, false, 145},
      {10, false, true, 138},  {10, true, false, 146},     {21, false, true, 149},
      {21, true, false, 157},  {1, true, true, 1},         {30, true, false, 30},
      {26, true, true, 26},    {24, true, true, 24},       {19, false, true, 19},
      {128, false, true, 128}, {65535, true, true, 65535},
  };
  for (const MakeCase& c : cases) {
    EXPECT_EQ(MakeStringTypeCode(c.base, c.no_case, c.upper), c.expected)
        << c.base << " " << c.no_case << c.upper;
  }
}

TEST(StringTypeCodeTest, SplitInvertsMakeForEveryDerivedCode) {
  int derived = 0;
  for (uint16_t base = 0; base <= 25; ++base) {
    for (int flags = 1; flags < 4; ++flags) {
      bool no_case = flags & 1, upper = flags & 2;
      uint16_t code = MakeStringTypeCode(base, no_case, upper);
      if (code == base) continue;
      ++derived;
      bool nc = !no_case, up = !upper;
      EXPECT_EQ(SplitStringTypeCode(code, &nc, &up), base);
      EXPECT_EQ(up, upper);
      EXPECT_EQ(nc, !upper);
    }
  }
  EXPECT_EQ(derived, 18);  // six bases, three flag combinations each
}

TEST(StringTypeCodeTest, SplitLeavesOtherCodesAndClearsFlags) {
  const std::set<uint32_t> derived = {128, 135, 136, 137, 138, 143, 145, 146, 149, 153, 157, 161};
  for (uint32_t code = 0; code < 256; ++code) {
    if (derived.count(code)) continue;
    bool nc = true, up = true;
    EXPECT_EQ(SplitStringTypeCode(static_cast<uint16_t>(code), &nc, &up), code);
    EXPECT_FALSE(nc || up) << code;
  }
  bool nc = false, up = true;
  EXPECT_EQ(SplitStringTypeCode(146, &nc, &up), 10);
  EXPECT_TRUE(nc);
  EXPECT_FALSE(up);
  EXPECT_EQ(SplitStringTypeCode(0x0199, &nc, &up), 0x0119) << "high byte kept";
  EXPECT_EQ(SplitStringTypeCode(153, nullptr, nullptr), 25);
}

}  // namespace
}  // namespace tavelnor::record
