// Type handlers: text comparison by category, numeric arithmetic and its
// result types, limits per type, general types.
#include "record/type_handler.h"

#include <gtest/gtest.h>

#include <array>
#include <list>
#include <limits>
#include <string>
#include <vector>

#include "record/type_handler_registry.h"
#include "record/type_handler_test_util.h"

namespace tavelnor::record {
namespace {

namespace tv = testing_values;

// An indirect handler of `code` aimed at `bytes`, holding `text`.
class AimedText {
 public:
  AimedText(int32_t code, std::string_view text) : bytes_(32, 0xEE) {
    handler_ = GetTypeHandler(code, static_cast<int32_t>(bytes_.size()));
    handler_->Aim(bytes_.data(), static_cast<int32_t>(bytes_.size()));
    handler_->Assign(*tv::Text(text));
  }
  const ETypeHandler& operator*() const { return *handler_; }

 private:
  std::vector<uint8_t> bytes_;
  std::unique_ptr<ETypeHandler> handler_;
};

enum class Order { kLess, kEqual, kGreater };

struct TextOrderCase {
  int32_t code;  // of the handler asked
  const char* a;
  const char* b;
  Order expected;
};

// Codes 0 and 21 (category 25), 136 and 157 (category 161). Texts are
// Windows-1252: E9 e acute, C9 E acute, ED i acute, CD I acute.
constexpr TextOrderCase kTextOrder[] = {
    {136, "abc", "ABC", Order::kEqual}, {0, "abc", "ABC", Order::kGreater},
    {0, "ABC", "abc", Order::kLess}, {0, "abc", "abcd", Order::kLess},
    {136, "abc", "ABCD", Order::kLess}, {0, "abcd", "abc", Order::kGreater},
    {0, "", "", Order::kEqual}, {0, "", "a", Order::kLess},
    {0, "\xE9", "z", Order::kGreater},  // unsigned bytes: E9 after 7A
    {136, "\xE9t\xE9", "\xC9T\xC9", Order::kEqual},
    {136, "\xED", "\xCD", Order::kGreater},  // i acute has no capital in the table
    {136, "a", "B", Order::kLess}, {0, "a", "B", Order::kGreater}, {157, "q", "Q", Order::kEqual},
    {21, "q", "Q", Order::kGreater},
};

TEST(TypeHandlerTest, TextsCompareByTheirCategory) {
  for (const TextOrderCase& c : kTextOrder) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << ": '" << c.a << "' vs '" << c.b << "'");
    AimedText a(c.code, c.a);
    AimedText b(c.code, c.b);
    EXPECT_EQ((*a).IsEqual(*b), c.expected == Order::kEqual);
    EXPECT_EQ((*a).IsLess(*b), c.expected == Order::kLess);
    EXPECT_EQ((*a).IsGreater(*b), c.expected == Order::kGreater);
  }
}

TEST(TypeHandlerTest, TheAskedHandlersCategoryDecidesHowTextsCompare) {
  AimedText no_case(TYPE_NC_ZSTRING, "abc");
  AimedText plain(TYPE_ZSTRING, "ABC");
  EXPECT_TRUE((*no_case).IsEqual(*plain));
  EXPECT_FALSE((*plain).IsEqual(*no_case));
  EXPECT_TRUE((*plain).IsLess(*no_case));
  // A text compares with any handler's text: 42 against "42".
  EXPECT_TRUE((*AimedText(TYPE_STR, "42")).IsEqual(*tv::Int64(42)));
}

struct ArithmeticCase {
  const char* name;
  char op;
  std::unique_ptr<ETypeHandler> (*a)();
  std::unique_ptr<ETypeHandler> (*b)();
  int32_t result_code;
  std::string result_text;
};

template <uint16_t kCode, typename T, auto kValue>
std::unique_ptr<ETypeHandler> Direct() {
  auto h = std::make_unique<DirectTypeHandler<kCode, T>>();
  h->SetValue(kValue);
  return h;
}

// Bytes that outlive every handler of the test program.
uint8_t* NewBytes() {
  static std::list<std::array<uint8_t, 16>> kept;
  return kept.emplace_back().data();
}

// An indirect handler over bytes of its own, holding `value` (for the kinds
// that have no direct handler).
template <uint16_t kCode, typename T, typename V>
std::unique_ptr<ETypeHandler> IndirectHolding(V value) {
  auto h = std::make_unique<IndirectTypeHandler<kCode, T>>();
  h->Aim(NewBytes(), 16);
  h->SetValue(value);
  return h;
}

template <uint16_t kCode, typename T, auto kValue>
std::unique_ptr<ETypeHandler> Indirect() {
  return IndirectHolding<kCode, T>(kValue);
}

std::unique_ptr<ETypeHandler> Decimal32(int64_t currency_raw) {
  return IndirectHolding<TYPE_DECIMAL32, EDecimal32>(ECurrency::FromRaw(currency_raw));
}

std::unique_ptr<ETypeHandler> Currency(int64_t raw) {
  auto h = std::make_unique<DirectTypeHandler<TYPE_CURRENCY, ECurrency>>();
  h->SetValue(ECurrency::FromRaw(raw));
  return h;
}

constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

const ArithmeticCase kArithmetic[] = {
    {"2+3", '+', Direct<1, int32_t, 2>, Direct<1, int32_t, 3>, 26, "5"},
    {"2-3", '-', Direct<1, int32_t, 2>, Direct<1, int32_t, 3>, 26, "-1"},
    {"-4*3", '*', Indirect<15, int16_t, -4>, Direct<1, int32_t, 3>, 26, "-12"},
    {"7/2", '/', Indirect<13, int8_t, 7>, Indirect<22, int32_t, 2>, 26, "3"},
    {"7/0", '/', Direct<26, int64_t, 7>, Direct<26, int64_t, 0>, 26, "0"},
    {"min/-1", '/', Direct<26, int64_t, kMin64>, Direct<26, int64_t, -1>, 26,
     "-9223372036854775808"},
    {"max+1 wraps", '+', Direct<26, int64_t, std::numeric_limits<int64_t>::max()>,
     Direct<26, int64_t, 1>, 26, "-9223372036854775808"},
    {"2+2.9", '+', Direct<1, int32_t, 2>, [] { return tv::Double(2.9); }, 26, "4"},
    {"u8 250+10", '+', Indirect<14, uint8_t, 250>, Direct<18, uint32_t, 10>, 27, "260"},
    {"u 0-1", '-', Direct<18, uint32_t, 0>, Direct<18, uint32_t, 1>, 27, "18446744073709551615"},
    {"u 9/0", '/', Direct<27, uint64_t, 9>, Direct<1, int32_t, 0>, 27, "0"},
    {"1.5*2", '*', [] { return tv::Double(1.5); }, Direct<1, int32_t, 2>, 2, "3"},
    {"0.5f+0.25", '+', [] { return IndirectHolding<TYPE_FLOAT, float>(0.5); },
     [] { return tv::Double(0.25); }, 2, "0.75"},
    {"1.5/0", '/', [] { return tv::Double(1.5); }, [] { return tv::Double(0.0); }, 2, "0"},
    {"1.5+2.25", '+', [] { return Currency(15000); }, [] { return Currency(22500); }, 29,
     "3,7500"},
    {"3-1.25", '-', [] { return Currency(30000); }, [] { return tv::Double(1.25); }, 29, "1,7500"},
    {"max+1", '+', [] { return Currency(std::numeric_limits<int64_t>::max()); },
     [] { return Currency(10000); }, 29, "0,0000"},
    {"dec32 1.5*2", '*', [] { return Decimal32(15000); }, [] { return Decimal32(20000); }, 29,
     "3,0000"},
    {"1/0", '/', [] { return Currency(10000); }, [] { return Currency(0); }, 29, "0,0000"},
};

TEST(TypeHandlerTest, ArithmeticMakesADirectHandlerOfTheCategoryRoot) {
  for (const ArithmeticCase& c : kArithmetic) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<ETypeHandler> a = c.a();
    std::unique_ptr<ETypeHandler> b = c.b();
    const std::string a_before = a->GetText().str();
    std::unique_ptr<ETypeHandler> r;
    switch (c.op) {
      case '+': r = a->Add(*b); break;
      case '-': r = a->Subtract(*b); break;
      case '*': r = a->Multiply(*b); break;
      default: r = a->Divide(*b); break;
    }
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetTypeCode(), c.result_code);
    EXPECT_EQ(r->GetText().str(), c.result_text);
    EXPECT_NE(r.get(), a.get());
    EXPECT_EQ(a->GetText().str(), a_before) << "operands are left as they were";
  }
}

TEST(TypeHandlerTest, AddingTextsConcatenatesThem) {
  AimedText no_case(TYPE_NC_ZSTRING, "ab");
  std::unique_ptr<ETypeHandler> joined = (*no_case).Add(*tv::Text("Cd"));
  EXPECT_EQ(joined->GetTypeCode(), TYPE_CHAINE);
  EXPECT_EQ(joined->GetText().str(), "abCd");
}

struct ResultTypeCase {
  const char* name;
  std::unique_ptr<ETypeHandler> (*a)();
  char op;
  std::unique_ptr<ETypeHandler> (*b)();
  int32_t expected;
};

std::unique_ptr<ETypeHandler> TextValue() { return tv::Text("abc"); }
std::unique_ptr<ETypeHandler> NoCaseText() { return GetTypeHandler(TYPE_NC_CHAINE); }
std::unique_ptr<ETypeHandler> RichText() { return GetDirectTypeHandler(TYPE_BLOBRICHTEXT); }
std::unique_ptr<ETypeHandler> Int32() { return GetDirectTypeHandler(TYPE_LONG); }
std::unique_ptr<ETypeHandler> UInt32() { return GetDirectTypeHandler(TYPE_UINT32); }
std::unique_ptr<ETypeHandler> Float() { return GetTypeHandler(TYPE_FLOAT); }
std::unique_ptr<ETypeHandler> Dec64() { return GetTypeHandler(TYPE_DECIMAL64); }
std::unique_ptr<ETypeHandler> Date() { return GetDirectTypeHandler(TYPE_DATE); }
std::unique_ptr<ETypeHandler> Bool() { return GetDirectTypeHandler(TYPE_BOOL); }
std::unique_ptr<ETypeHandler> Base() { return GetTypeHandler(500); }

const ResultTypeCase kResultTypes[] = {
    {"text - text", TextValue, '-', TextValue, -1}, {"text + text", TextValue, '+', TextValue, 25},
    {"text + rich text", TextValue, '+', RichText, 25},
    {"no-case text + text", NoCaseText, '+', TextValue, 161},
    {"text + number", TextValue, '+', Int32, -1}, {"text * text", TextValue, '*', TextValue, -1},
    {"int + int", Int32, '+', Int32, 26}, {"int / float", Int32, '/', Float, 26},
    {"unsigned - int", UInt32, '-', Int32, 27}, {"float * decimal", Float, '*', Dec64, 2},
    {"decimal / int", Dec64, '/', Int32, 29}, {"int % int", Int32, '%', Int32, -1},
    {"int + text", Int32, '+', TextValue, -1}, {"int + date", Int32, '+', Date, -1},
    {"int + bool", Int32, '+', Bool, -1}, {"date + int", Date, '+', Int32, -1},
    {"rich text + text", RichText, '+', TextValue, -1}, {"base + int", Base, '+', Int32, -1},
};

TEST(TypeHandlerTest, ResultTypes) {
  for (const ResultTypeCase& c : kResultTypes) {
    EXPECT_EQ(c.a()->ResultType(c.op, *c.b()), c.expected) << c.name;
  }
}

TEST(TypeHandlerTest, GeneralTypeComesFromTheCategory) {
  const std::pair<int32_t, int32_t> kCodeToGeneral[] = {
      {TYPE_DOUBLE, 2},    {TYPE_LONG, 2},      {TYPE_UINT8, 2},       {TYPE_DECIMAL32, 2},
      {TYPE_DATE, 26},     {TYPE_TIME, 26},     {TYPE_TIMESTAMP, -1},  {TYPE_BOOL, -1},
      {TYPE_OLDBOOL, -1},  {TYPE_ZSTRING, 25},  {TYPE_NC_CHAINE, 25},  {TYPE_BLOBTEXT, 25},
      {TYPE_BLOBRICHTEXT, 25}, {TYPE_GUID, -1}, {TYPE_BLOB, -1},       {TYPE_BLOBIMAGE, 32},
      {TYPE_BLOBSOUND, 32},    {TYPE_BLOBVIDEO, 32}, {500, -1},
  };
  for (auto [code, general] : kCodeToGeneral) {
    EXPECT_EQ(GetTypeHandler(code)->GetGeneralType(), general) << code;
  }
}

struct LimitCase {
  int32_t code;
  int32_t size;
  int32_t which;
  std::vector<uint8_t> bytes;  // empty: left as they were
};

const LimitCase kLimits[] = {
    {13, 1, 1, {0x7F}}, {13, 1, 2, {0x80}}, {13, 1, 0, {0x00}}, {15, 2, 1, {0xFF, 0x7F}},
    {15, 2, 2, {0x00, 0x80}}, {1, 4, 1, {0xFF, 0xFF, 0xFF, 0x7F}},
    {1, 4, 2, {0x00, 0x00, 0x00, 0x80}}, {22, 4, 2, {0x00, 0x00, 0x00, 0x80}},
    {26, 8, 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
    {26, 8, 2, {0, 0, 0, 0, 0, 0, 0, 0x80}}, {14, 1, 1, {0xFF}}, {14, 1, 2, {0x00}},
    {16, 2, 1, {0xFF, 0xFF}}, {18, 4, 1, {0xFF, 0xFF, 0xFF, 0xFF}}, {18, 4, 2, {0, 0, 0, 0}},
    {27, 8, 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    {2, 8, 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0x7F}},
    {2, 8, 2, {0, 0, 0, 0, 0, 0, 0x10, 0x00}}, {23, 4, 1, {0xFF, 0xFF, 0x7F, 0x7F}},
    {23, 4, 2, {0x00, 0x00, 0x80, 0x00}}, {12, 4, 1, {0xFF, 0xFF, 0xFF, 0x7F}},
    {12, 4, 2, {0x00, 0x00, 0x00, 0x80}},
    {20, 8, 1, {0x80, 0x69, 0x67, 0xFF, 0x3F, 0x4B, 0x4C, 0x00}},  // 2147483647.0000000
    {20, 8, 2, {0, 0, 0, 0, 0, 0, 0, 0x80}},
    {29, 8, 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
    {29, 8, 2, {0, 0, 0, 0, 0, 0, 0, 0x80}},
    {4, 4, 1, {0x1F, 0x0C, 0xB7, 0x0B}},  // 31/12/2999
    {4, 4, 2, {0x01, 0x01, 0xE8, 0x03}},  // 01/01/1000
    {4, 4, 0, {0, 0, 0, 0}},
    {5, 4, 1, {0x63, 0x3B, 0x3B, 0x17}},  // 23:59:59.99
    {5, 4, 2, {0, 0, 0, 0}}, {6, 4, 1, {1, 0, 0, 0}}, {6, 4, 2, {0, 0, 0, 0}}, {19, 1, 1, {1}},
    {21, 1, 1, {0x7F}}, {149, 1, 2, {0x80}}, {0, 4, 1, {0xFF, 0xFF, 0xFF, 0x00}},
    {128, 4, 1, {0xFF, 0xFF, 0xFF, 0x00}}, {7, 4, 1, {0xFF, 0xFF, 0xFF, 0xFF}},
    {143, 4, 1, {0xFF, 0xFF, 0xFF, 0xFF}}, {7, 4, 2, {0, 0, 0, 0}},
    {28, 8, 2, {0, 0, 0, 0, 0, 0, 0, 0}}, {30, 16, 1, std::vector<uint8_t>(16, 0)}, {1, 4, 3, {}},
    {1, 4, -1, {}},
};

TEST(TypeHandlerTest, SetLimitWritesEachTypesExtremes) {
  for (const LimitCase& c : kLimits) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " limit " << c.which);
    std::vector<uint8_t> bytes(c.size, 0xAA);
    std::unique_ptr<ETypeHandler> h = GetTypeHandler(c.code, c.size);
    ASSERT_TRUE(h->Aim(bytes.data(), c.size));
    h->SetLimit(c.which);
    EXPECT_EQ(bytes, c.bytes.empty() ? std::vector<uint8_t>(c.size, 0xAA) : c.bytes);
  }
}

}  // namespace
}  // namespace tavelnor::record
