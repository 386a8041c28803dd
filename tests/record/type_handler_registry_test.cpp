// The two handler registries: every built-in registration, the codes that
// borrow another code's handler, unknown codes, the factory argument, and the
// registry's own filing rules.
#include "record/type_handler_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <vector>

#include "foundation/chaine.h"
#include "record/type_handler_test_util.h"

namespace tavelnor::record {
namespace {

struct Registration {
  int32_t code;      // looked up
  uint16_t answers;  // GetTypeCode
  int32_t category;
  int32_t size;  // with the default argument
  TypeIconId icon;
};

constexpr TypeIconId kText = kTypeIconText;
constexpr TypeIconId kDyn = kTypeIconDynamicText;
constexpr TypeIconId kNum = kTypeIconNumber;

constexpr Registration kIndirect[] = {
    {0, 0, 25, 256, kText}, {1, 1, 26, 4, kNum}, {2, 2, 2, 8, kNum}, {4, 4, 4, 4, kTypeIconDate},
    {5, 5, 5, 4, kTypeIconTime}, {6, 6, 19, 4, kTypeIconBool}, {7, 7, 25, 256, kText},
    {9, 0, 25, 256, kText}, {10, 10, 25, 256, kText}, {12, 12, 29, 4, kNum}, {13, 13, 26, 1, kNum},
    {14, 14, 27, 1, kNum}, {15, 15, 26, 2, kNum}, {16, 16, 27, 2, kNum}, {18, 18, 27, 4, kNum},
    {19, 19, 19, 1, kTypeIconBool}, {20, 20, 29, 8, kNum}, {21, 21, 25, 1, kText},
    {22, 22, 26, 4, kNum}, {23, 23, 2, 4, kNum}, {24, 24, 25, 256, kDyn}, {25, 25, 25, 0, kDyn},
    {26, 26, 26, 8, kNum}, {27, 27, 27, 8, kNum}, {28, 28, 28, 8, kTypeIconDate},
    {29, 29, 29, 8, kNum}, {30, 30, 30, 16, kTypeIconBinary}, {32, 32, 32, 8, kTypeIconBinary},
    {33, 33, 25, 8, kDyn}, {34, 34, 34, 8, kTypeIconRichText}, {35, 35, 35, 8, kTypeIconImage},
    {36, 36, 36, 8, kTypeIconSound}, {37, 37, 37, 8, kTypeIconVideo}, {128, 128, 25, 256, kText},
    {135, 135, 25, 256, kText}, {136, 136, 161, 256, kText}, {137, 128, 25, 256, kText},
    {138, 138, 25, 256, kText}, {143, 143, 161, 256, kText}, {145, 136, 161, 256, kText},
    {146, 146, 161, 256, kText}, {149, 149, 25, 1, kText},
    {153, 153, 25, 256, kText},  // the upper-case Chaine is not dynamic
    {157, 157, 161, 1, kText}, {161, 161, 161, 256, kText},
};

// The direct registry's codes. Each answers as its indirect counterpart,
// except that the kinds holding an object answer that object's size.
constexpr int32_t kDirectCodes[] = {1,  2,  4,  5,  18, 19, 21, 24, 25,
                                    26, 27, 28, 29, 30, 32, 33, 34};

Registration DirectRow(int32_t code) {
  Registration r = *std::find_if(std::begin(kIndirect), std::end(kIndirect),
                                 [code](const Registration& row) { return row.code == code; });
  if (code == 24 || code == 25 || code >= 32) r.size = -1;
  return r;
}

void ExpectRegistration(const Registration& r, const ETypeHandler& h) {
  SCOPED_TRACE(testing::Message() << "code " << r.code);
  EXPECT_EQ(h.GetTypeCode(), r.answers);
  EXPECT_EQ(h.GetCategory(), r.category);
  if (r.size >= 0) {
    EXPECT_EQ(h.GetSize(), r.size);
  }
  EXPECT_EQ(h.GetIconId(), r.icon);
}

TEST(TypeHandlerRegistryTest, EveryIndirectRegistrationAnswersItsCodeCategorySizeAndIcon) {
  for (const Registration& r : kIndirect) {
    std::unique_ptr<ETypeHandler> h = GetTypeHandler(r.code, -1);
    ASSERT_NE(h, nullptr);
    ExpectRegistration(r, *h);
    EXPECT_EQ(h->GetData(), nullptr) << "an indirect handler starts with no bytes";
  }
}

TEST(TypeHandlerRegistryTest, EveryDirectRegistrationAnswersItsCodeCategorySizeAndIcon) {
  for (int32_t code : kDirectCodes) {
    const Registration r = DirectRow(code);
    std::unique_ptr<ETypeHandler> h = GetDirectTypeHandler(code, -1);
    ASSERT_NE(h, nullptr);
    ExpectRegistration(r, *h);
    EXPECT_NE(h->GetData(), nullptr) << "a direct handler holds its value";
    EXPECT_TRUE(h->IsEmpty()) << r.code;
  }
}

TEST(TypeHandlerRegistryTest, RegistriesHoldExactlyTheBuiltInCodes) {
  std::vector<uint16_t> indirect;
  for (const Registration& r : kIndirect) indirect.push_back(static_cast<uint16_t>(r.code));
  std::vector<uint16_t> direct(std::begin(kDirectCodes), std::end(kDirectCodes));
  EXPECT_EQ(IndirectTypeHandlers().Codes(), indirect);
  EXPECT_EQ(DirectTypeHandlers().Codes(), direct);
  EXPECT_EQ(indirect.size(), 45u);
  EXPECT_EQ(direct.size(), 17u);
}

TEST(TypeHandlerRegistryTest, CodesWithoutAHandlerGiveTheBaseHandler) {
  for (int32_t code : {3, 8, 11, 17, 31, 38, 127, 162, 500, 65535}) {
    std::unique_ptr<ETypeHandler> h = GetTypeHandler(code, -1);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetTypeCode(), kNoTypeCode) << code;
    EXPECT_EQ(h->GetCategory(), -1) << code;
    EXPECT_EQ(h->GetGeneralType(), -1) << code;
    EXPECT_EQ(h->GetIconId(), kTypeIconBinary) << code;
    EXPECT_EQ(h->GetSize(), 0) << code;
    EXPECT_TRUE(h->IsEmpty()) << code;
  }
  // Codes the direct registry lacks, though the indirect one has them.
  for (int32_t code : {0, 6, 12, 13, 22, 35, 161}) {
    EXPECT_EQ(GetDirectTypeHandler(code)->GetTypeCode(), kNoTypeCode) << code;
  }
}

TEST(TypeHandlerRegistryTest, ArgumentIsTheLengthOfIndirectTexts) {
  EXPECT_EQ(GetTypeHandler(TYPE_ZSTRING, 30)->GetSize(), 30);
  EXPECT_EQ(GetTypeHandler(TYPE_AUTRE, 12)->GetSize(), 12);
  EXPECT_EQ(GetTypeHandler(TYPE_NC_STR, 65535)->GetSize(), 256);
  EXPECT_EQ(GetTypeHandler(TYPE_CHAINE, 16)->GetSize(), 16);
  // Ignored by fixed-width kinds, characters and blobs.
  EXPECT_EQ(GetTypeHandler(TYPE_LONG, 30)->GetSize(), 4);
  EXPECT_EQ(GetTypeHandler(TYPE_CHARACTER, 30)->GetSize(), 1);
  EXPECT_EQ(GetTypeHandler(TYPE_BLOBTEXT, 30)->GetSize(), 8);
}

// A factory that counts its calls and makes a handler of code 1.
std::atomic<int> g_made{0};
std::unique_ptr<ETypeHandler> CountingFactory(uint16_t argument) {
  ++g_made;
  auto h = std::make_unique<DirectTypeHandler<TYPE_LONG, int32_t>>();
  h->SetValue(argument);
  return h;
}

TEST(TypeHandlerRegistryTest, RegisteringWithCodeMinus2AsksAFreshHandlerForItsCode) {
  TypeHandlerRegistry registry;
  g_made = 0;
  registry.Register(CountingFactory);
  EXPECT_EQ(g_made, 1) << "one handler made (with argument 0) to learn the code";
  EXPECT_EQ(registry.Codes(), std::vector<uint16_t>{1});
  std::unique_ptr<ETypeHandler> h = registry.Create(1, 42);
  EXPECT_EQ(g_made, 2);
  EXPECT_EQ(h->GetInt64(), 42) << "the argument reaches the factory";
}

TEST(TypeHandlerRegistryTest, ExplicitCodesKeepTheHandlersOwnAnswerAndStaySorted) {
  TypeHandlerRegistry registry;
  registry.Register(CountingFactory, 300);
  registry.Register(CountingFactory, 9);
  registry.Register(CountingFactory, 0x1FFFF);  // filed under FFFF
  registry.Register(nullptr, 12);
  EXPECT_EQ(registry.Codes(), (std::vector<uint16_t>{9, 12, 300, 0xFFFF}));
  EXPECT_EQ(registry.Create(300, 0)->GetTypeCode(), 1);
  EXPECT_EQ(registry.Create(-1, 0)->GetTypeCode(), 1);
  EXPECT_EQ(registry.Create(12, 0)->GetTypeCode(), kNoTypeCode) << "null factory: base handler";
  EXPECT_EQ(registry.Create(10, 0)->GetTypeCode(), kNoTypeCode);
}

}  // namespace
}  // namespace tavelnor::record
