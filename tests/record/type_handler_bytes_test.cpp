// Indirect type handlers over record bytes: the little-endian forms they
// write, text rules of the char arrays, windows that are missing or too
// short, declared sizes bounded by the aimed bytes, CopyOut and CopyIn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/string_resources.h"
#include "record/type_handler_registry.h"
#include "record/type_handler_test_util.h"
#include "record/french_locale_test.h"

namespace tavelnor::record {
namespace {

namespace tv = testing_values;

class TypeHandlerBytesTest : public FrenchLocaleTest {};

struct WriteCase {
  int32_t code;
  int32_t size;  // the field's declared size
  const char* input;
  std::vector<uint8_t> bytes;
  const char* text;  // read back
};

const WriteCase kWrites[] = {
    {1, 4, "-2", {0xFE, 0xFF, 0xFF, 0xFF}, "-2"}, {13, 1, "-42", {0xD6}, "-42"},
    {13, 1, "300", {0x00}, "0"},  // out of range: 0
    {14, 1, "255", {0xFF}, "255"}, {15, 2, "4660", {0x34, 0x12}, "4660"},
    {16, 2, "65535", {0xFF, 0xFF}, "65535"},
    {18, 4, "4294967295", {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
    {22, 4, " +16909060", {0x04, 0x03, 0x02, 0x01}, "16909060"},
    {26, 8, "-1", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
    {27, 8, "18446744073709551615", std::vector<uint8_t>(8, 0xFF), "18446744073709551615"},
    {2, 8, "1,5", {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, "1.5"},
    {23, 4, "0.1", {0xCD, 0xCC, 0xCC, 0x3D}, "0.1"},
    {12, 4, "12,5", {0xD4, 0x30, 0x00, 0x00}, "12,5000"},
    {20, 8, "1,5", {0xC0, 0xE1, 0xE4, 0x00, 0, 0, 0, 0}, "1,5000"},
    {29, 8, "1 234,56789", {0x4F, 0x61, 0xBC, 0x00, 0, 0, 0, 0}, "1234,5679"},
    {4, 4, "31/12/2014", {0x1F, 0x0C, 0xDE, 0x07}, "31/12/2014"},
    {4, 4, "31/02/2014", {0, 0, 0, 0}, ""},
    {5, 4, "12:34:56", {0x00, 0x38, 0x22, 0x0C}, "12:34:56"}, {6, 4, "Vrai", {1, 0, 0, 0}, "Vrai"},
    {19, 1, "faux", {0}, "Faux"}, {19, 1, "1", {1}, "Vrai"}, {21, 1, "xyz", {'x'}, "x"},
    {149, 1, "xyz", {'X'}, "X"}, {0, 4, "ABCDEF", {'A', 'B', 'C', 0}, "ABC"},
    {7, 4, "ABCDEF", {'A', 'B', 'C', 'D'}, "ABCD"}, {7, 4, "AB", {'A', 'B', 0, 0}, "AB"},
    {10, 4, "ABCDEF", {'A', 'B', 'C', 0}, "ABC"},
    {128, 4, "\xE9t\xE9", {0xC9, 'T', 0xC9, 0}, "\xC9T\xC9"},
    {135, 3, "abc", {'A', 'B', 'C'}, "ABC"}, {136, 4, "abc", {'a', 'b', 'c', 0}, "abc"},
    {30, 16, "{00112233-4455-6677-8899-AABBCCDDEEFF}",
     {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE,
      0xFF},
     "{00112233-4455-6677-8899-AABBCCDDEEFF}"},
};

TEST_F(TypeHandlerBytesTest, AssignedTextsLandInTheRecordInTheirByteForm) {
  constexpr int32_t kOffset = 3;  // fields of a record lie at any offset
  for (const WriteCase& c : kWrites) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " <- '" << c.input << "'");
    std::vector<uint8_t> record(kOffset + c.size + 5, 0xCC);
    std::unique_ptr<ETypeHandler> h = GetTypeHandler(c.code, c.size);
    ASSERT_TRUE(h->Aim(record.data() + kOffset, c.size));
    h->Assign(*tv::Text(c.input));
    std::vector<uint8_t> field(record.begin() + kOffset, record.begin() + kOffset + c.size);
    EXPECT_EQ(field, c.bytes);
    EXPECT_EQ(record[kOffset - 1], 0xCC);
    EXPECT_EQ(record[kOffset + c.size], 0xCC);
    EXPECT_EQ(h->GetText().str(), c.text);
  }
}

TEST_F(TypeHandlerBytesTest, ReadsRecordBytesThroughEveryGetter) {
  uint8_t record[] = {0xFF, 0x34, 0x12, 0x01, 0x01, 0xD0, 0x07, 0xFF};
  std::unique_ptr<ETypeHandler> u16 = GetTypeHandler(TYPE_UINT16);
  u16->Aim(record + 1, 2);
  EXPECT_EQ(u16->GetInt64(), 0x1234);
  EXPECT_EQ(u16->GetUInt64(), 0x1234u);
  EXPECT_EQ(u16->GetDouble(), 4660.0);
  EXPECT_EQ(u16->GetCurrency(), ECurrency::FromRaw(46600000));
  EXPECT_TRUE(u16->GetBool());
  EXPECT_EQ(u16->GetData(), record + 1);

  std::unique_ptr<ETypeHandler> date = GetTypeHandler(TYPE_DATE);
  date->Aim(record + 3, 4);
  sDate d;
  EXPECT_TRUE(date->GetDate(&d));
  EXPECT_EQ(d, (sDate{1, 1, 2000}));
  EXPECT_EQ(date->GetInt64(), 2451545) << "dates count as day numbers";
  EXPECT_EQ(date->GetText().str(), "01/01/2000");

  std::unique_ptr<ETypeHandler> i8 = GetTypeHandler(TYPE_INT8);
  i8->Aim(record, 1);
  EXPECT_EQ(i8->GetInt64(), -1);
  EXPECT_EQ(i8->GetUInt64(), UINT64_MAX);
}

TEST_F(TypeHandlerBytesTest, UnaimedHandlersHaveNoBytesAndIgnoreWrites) {
  for (uint16_t code : IndirectTypeHandlers().Codes()) {
    SCOPED_TRACE(testing::Message() << "code " << code);
    std::unique_ptr<ETypeHandler> h = GetTypeHandler(code);
    EXPECT_EQ(h->GetData(), nullptr);
    EXPECT_TRUE(h->IsEmpty());
    h->Assign(*tv::Text("12"));
    h->CopyIn("12345678", 8);
    h->SetLimit(kLimitMax);
    h->ConstructValue();
    h->SetSize(-1);
    EXPECT_TRUE(h->IsEmpty());
    char out[8];
    EXPECT_EQ(h->CopyOut(out, sizeof out, 0), 0);
    EXPECT_EQ(h->GetInt64(), 0);
    EXPECT_EQ(h->GetBlob().Size(), 0u);
    sDate d;
    EXPECT_FALSE(h->GetDate(&d));
    h->DestroyValue();
    EXPECT_TRUE(h->Clone()->IsEmpty());
  }
}

TEST_F(TypeHandlerBytesTest, WindowsShorterThanTheTypeReadEmptyAndStayUntouched) {
  for (uint16_t code : IndirectTypeHandlers().Codes()) {
    std::unique_ptr<ETypeHandler> h = GetTypeHandler(code);
    int32_t width = h->GetSize();
    if (width <= 1 || width == 256) continue;  // texts take any length
    SCOPED_TRACE(testing::Message() << "code " << code);
    std::vector<uint8_t> bytes(width - 1, 0xAB);
    h->Aim(bytes.data(), width - 1);
    EXPECT_EQ(h->GetInt64(), 0);
    h->Assign(*tv::Int64(1));
    h->Assign(*tv::Text("12"));
    h->SetLimit(kLimitMax);
    h->ConstructValue();
    EXPECT_EQ(bytes, std::vector<uint8_t>(width - 1, 0xAB));
  }
}

TEST_F(TypeHandlerBytesTest, DeclaredSizeNeverWidensTheAimedWindow) {
  std::vector<uint8_t> field(4, 0xCC);  // exactly the field: overruns would be caught
  std::unique_ptr<ETypeHandler> h = GetTypeHandler(TYPE_ZSTRING, 4);
  h->Aim(field.data(), 4);
  h->SetSize(-1);
  EXPECT_EQ(h->GetSize(), 256);
  h->Assign(*tv::Text("ABCDEFGH"));
  EXPECT_EQ(field, (std::vector<uint8_t>{'A', 'B', 'C', 0}));
  h->SetSize(2);
  h->Assign(*tv::Text("XYZ"));
  EXPECT_EQ(field, (std::vector<uint8_t>{'X', 0, 'C', 0}));
  EXPECT_EQ(h->GetText().str(), "X");
  // SetSize means nothing to kinds of a fixed width.
  std::unique_ptr<ETypeHandler> number = GetTypeHandler(TYPE_LONG);
  number->SetSize(100);
  EXPECT_EQ(number->GetSize(), 4);
}

TEST_F(TypeHandlerBytesTest, CopyOutStaysInsideTheData) {
  uint8_t record[] = {1, 2, 3, 4};
  std::unique_ptr<ETypeHandler> h = GetTypeHandler(TYPE_LONG);
  h->Aim(record, 4);
  uint8_t out[8] = {};
  EXPECT_EQ(h->CopyOut(out, 2, 1), 2);
  EXPECT_EQ(out[0], 2);
  EXPECT_EQ(out[1], 3);
  EXPECT_EQ(h->CopyOut(out, 8, 2), 2) << "clipped at the end";
  EXPECT_EQ(h->CopyOut(out, 8, 4), 0);
  EXPECT_EQ(h->CopyOut(out, 8, -1), 0);
  EXPECT_EQ(h->CopyOut(nullptr, 8, 0), 0);

  const uint8_t source[] = {9, 8, 7, 6, 5, 4};
  EXPECT_EQ(h->CopyIn(source, 6), 4) << "at most the size";
  EXPECT_EQ(h->GetInt64(), 0x06070809);
  EXPECT_EQ(h->CopyIn(nullptr, 4), 0);
}

TEST_F(TypeHandlerBytesTest, NumbersAreEmptyWhenTheirValueIsZero) {
  uint8_t negative_zero[8] = {0, 0, 0, 0, 0, 0, 0, 0x80};
  std::unique_ptr<ETypeHandler> d = GetTypeHandler(TYPE_DOUBLE);
  d->Aim(negative_zero, 8);
  EXPECT_TRUE(d->IsEmpty());
  // Other kinds are empty when every byte is 0.
  uint8_t text[4] = {0, 'x', 0, 0};
  std::unique_ptr<ETypeHandler> s = GetTypeHandler(TYPE_ZSTRING, 4);
  s->Aim(text, 4);
  EXPECT_EQ(s->GetText().str(), "");
  EXPECT_FALSE(s->IsEmpty());
}

}  // namespace
}  // namespace tavelnor::record
