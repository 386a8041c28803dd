// Type handlers whose value is an object (heap strings, blobs), clones of
// direct and indirect handlers, and conversions between kinds through the
// root value types.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "foundation/string_resources.h"
#include "record/type_handler_registry.h"
#include "record/type_handler_test_util.h"
#include "record/french_locale_test.h"

namespace tavelnor::record {
namespace {

namespace tv = testing_values;

class TypeHandlerObjectsTest : public FrenchLocaleTest {};

// Longer than a pool block, so that a string left behind would be a leak.
const std::string kLong(100, 'q');

TEST_F(TypeHandlerObjectsTest, HeapStringsLiveInTheRecordAtAnyOffset) {
  for (int32_t code : {TYPE_CHAINE, TYPE_CSTRING, TYPE_NC_CHAINE}) {
    SCOPED_TRACE(testing::Message() << "code " << code);
    std::vector<uint8_t> record(3 + kHeapStringSlotSize + 2, 0);
    uint8_t* slot = record.data() + 3;
    std::unique_ptr<ETypeHandler> h = GetTypeHandler(code, kHeapStringSlotSize);
    h->Aim(slot, kHeapStringSlotSize);
    EXPECT_TRUE(h->IsEmpty()) << "zero bytes: no object yet";
    EXPECT_EQ(h->GetText().str(), "");

    h->Assign(*tv::Text(kLong));
    EXPECT_FALSE(AllZero(slot, kHeapStringSlotSize));
    EXPECT_EQ(h->GetText().str(), kLong);
    EXPECT_EQ(GetTypeHandler(code, kHeapStringSlotSize)->GetText().str(), "")
        << "a new handler is not aimed";
    std::unique_ptr<ETypeHandler> clone = h->Clone();
    EXPECT_EQ(clone->GetText().str(), kLong) << "the clone looks at the same object";

    h->Assign(*tv::Text("short"));
    EXPECT_EQ(clone->GetText().str(), "short");
    h->DestroyValue();
    EXPECT_TRUE(AllZero(slot, kHeapStringSlotSize));
    EXPECT_TRUE(clone->IsEmpty());
    EXPECT_EQ(record[2], 0);
    EXPECT_EQ(record[3 + kHeapStringSlotSize], 0);
  }
}

TEST_F(TypeHandlerObjectsTest, ConstructValuePutsAnEmptyStringInPlace) {
  std::vector<uint8_t> slot(kHeapStringSlotSize, 0x5A);  // fresh, unset bytes
  std::unique_ptr<ETypeHandler> h = GetTypeHandler(TYPE_CHAINE, kHeapStringSlotSize);
  h->Aim(slot.data(), kHeapStringSlotSize);
  h->ConstructValue();
  EXPECT_TRUE(h->IsEmpty());
  EXPECT_FALSE(AllZero(slot.data(), kHeapStringSlotSize)) << "an object is there";
  h->Assign(*tv::Text(kLong));
  EXPECT_EQ(h->GetText().str(), kLong);
  h->DestroyValue();
  h->DestroyValue();
  EXPECT_TRUE(AllZero(slot.data(), kHeapStringSlotSize));
}

TEST_F(TypeHandlerObjectsTest, UpperCaseHeapStringsAndShortSlots) {
  std::vector<uint8_t> slot(kHeapStringSlotSize, 0);
  std::unique_ptr<ETypeHandler> upper = GetTypeHandler(TYPE_UP_CHAINE, kHeapStringSlotSize);
  upper->Aim(slot.data(), kHeapStringSlotSize);
  upper->Assign(*tv::Text("d\xE9j\xE0"));
  EXPECT_EQ(upper->GetText().str(), "D\xC9J\xC0");
  upper->DestroyValue();

  // A slot narrower than a string object holds none.
  std::unique_ptr<ETypeHandler> narrow = GetTypeHandler(TYPE_CHAINE, 4);
  narrow->Aim(slot.data(), kHeapStringSlotSize - 1);
  narrow->Assign(*tv::Text(kLong));
  narrow->ConstructValue();
  EXPECT_TRUE(AllZero(slot.data(), kHeapStringSlotSize));
  EXPECT_TRUE(narrow->IsEmpty());
}

TEST_F(TypeHandlerObjectsTest, HeapStringsCopyTheirTextNotTheirObject) {
  std::unique_ptr<ETypeHandler> h = tv::Text("hello");
  char out[16] = {};
  EXPECT_EQ(h->CopyOut(out, sizeof out, 1), 4);
  EXPECT_EQ(std::string(out, 4), "ello");
  const char in[] = {'a', 'b', 0, 'c'};
  EXPECT_EQ(h->CopyIn(in, 4), 4);
  EXPECT_EQ(h->GetText().str(), "ab") << "a text stops at its first zero byte";
}

TEST_F(TypeHandlerObjectsTest, BlobHandlersUseTheRecordsBlobSlot) {
  size_t live_before = LiveVarPartCount();
  uint8_t slot[kVarPartSlotSize] = {};
  std::unique_ptr<ETypeHandler> image = GetTypeHandler(TYPE_BLOBIMAGE);
  image->Aim(slot, sizeof slot);
  EXPECT_TRUE(image->IsEmpty());

  std::unique_ptr<ETypeHandler> source = GetDirectTypeHandler(TYPE_BLOB);
  const char bytes[] = {'P', 0, 'N', 'G'};
  source->CopyIn(bytes, 4);
  image->Assign(*source);
  EXPECT_EQ(ReadVarPart(slot), std::string_view(bytes, 4));
  EXPECT_EQ(VarPartFlags(slot) & kVarPartModified, kVarPartModified);
  EXPECT_EQ(LiveVarPartCount(), live_before + 1);
  EXPECT_FALSE(image->IsEmpty());
  EXPECT_EQ(image->GetImage().Bytes(), std::string_view(bytes, 4));
  EXPECT_EQ(image->GetBlob().Bytes(), std::string_view(bytes, 4));
  EXPECT_EQ(image->GetSound().Bytes(), std::string_view(bytes, 4));
  EXPECT_TRUE(image->IsEqual(*source));
  char out[4] = {};
  EXPECT_EQ(image->CopyOut(out, 4, 2), 2);
  EXPECT_EQ(out[1], 'G');

  image->SetLimit(kLimitMax);
  EXPECT_TRUE(image->IsEmpty());
  EXPECT_EQ(LiveVarPartCount(), live_before);
  ReleaseVarPart(slot);
}

TEST_F(TypeHandlerObjectsTest, TextMemosAreTextsKeptInABlobSlot) {
  uint8_t slot[kVarPartSlotSize] = {};
  std::unique_ptr<ETypeHandler> memo = GetTypeHandler(TYPE_BLOBTEXT);
  memo->Aim(slot, sizeof slot);
  memo->Assign(*tv::Text("line one"));
  EXPECT_EQ(memo->GetText().str(), "line one");
  EXPECT_EQ(ReadVarPart(slot), "line one");
  EXPECT_TRUE(memo->IsEqual(*tv::Text("line one")));
  EXPECT_EQ(memo->ResultType('+', *tv::Text("x")), 25);
  EXPECT_EQ(memo->GetBlob().Bytes(), "line one");
  ReleaseVarPart(slot);
  EXPECT_TRUE(memo->IsEmpty());
}

TEST_F(TypeHandlerObjectsTest, DirectClonesCopyTheValue) {
  const std::pair<int32_t, const char*> kValues[] = {
      {TYPE_LONG, "2451545"}, {TYPE_DATE, "01/01/2000"}, {TYPE_CHAINE, "x"}, {TYPE_CSTRING, "x"},
      {TYPE_BLOBTEXT, "x"}, {TYPE_GUID, "{00000000-0000-0000-0000-000000000001}"},
  };
  for (auto [code, value] : kValues) {
    SCOPED_TRACE(testing::Message() << "code " << code);
    std::unique_ptr<ETypeHandler> h = GetDirectTypeHandler(code);
    h->Assign(*tv::Text(value));
    std::unique_ptr<ETypeHandler> clone = h->Clone();
    EXPECT_EQ(clone->GetTypeCode(), code);
    EXPECT_NE(clone->GetData(), h->GetData());
    EXPECT_TRUE(clone->IsEqual(*h));
    EXPECT_FALSE(clone->IsEmpty());
    h->Assign(*tv::Text(""));
    EXPECT_FALSE(clone->IsEmpty()) << "the clone keeps its own value";
  }
}

TEST_F(TypeHandlerObjectsTest, ConversionsBetweenKindsGoThroughTheRootTypes) {
  std::unique_ptr<ETypeHandler> day = GetDirectTypeHandler(TYPE_INT64);
  day->Assign(*tv::Date(sDate{1, 1, 2000}));
  EXPECT_EQ(day->GetInt64(), 2451545);

  std::unique_ptr<ETypeHandler> date = GetDirectTypeHandler(TYPE_DATE);
  date->Assign(*day);
  EXPECT_EQ(date->GetText().str(), "01/01/2000");
  date->Assign(*tv::Int64(-5));
  EXPECT_TRUE(date->IsEmpty()) << "not a day number: the empty date";

  std::unique_ptr<ETypeHandler> time = GetDirectTypeHandler(TYPE_TIME);
  time->Assign(*tv::Int64(3605 + 86400));
  EXPECT_EQ(time->GetText().str(), "01:00:05");
  EXPECT_EQ(time->GetInt64(), 3605);

  uint8_t dec[4] = {0xDC, 0x05, 0, 0};  // EDecimal32 1.500
  std::unique_ptr<ETypeHandler> d32 = GetTypeHandler(TYPE_DECIMAL32);
  d32->Aim(dec, 4);
  EXPECT_EQ(d32->GetCurrency(), ECurrency::FromRaw(15000));
  EXPECT_EQ(d32->GetInt64(), 1);
  EXPECT_EQ(d32->GetDouble(), 1.5);
  d32->Assign(*tv::Text("1,23456"));  // currency 1.2346, then cut to 3 decimals
  EXPECT_EQ(LoadLittle<int32_t>(dec), 1234);

  std::unique_ptr<ETypeHandler> f = GetTypeHandler(TYPE_FLOAT);
  uint8_t fbytes[4] = {1, 1, 1, 1};
  f->Aim(fbytes, 4);
  f->Assign(*tv::Double(1e300));
  EXPECT_TRUE(f->IsEmpty()) << "beyond a float: 0";

  std::unique_ptr<ETypeHandler> n = GetDirectTypeHandler(TYPE_INT64);
  n->Assign(*tv::Double(std::nan("")));
  EXPECT_EQ(n->GetInt64(), 0);
  n->Assign(*tv::Text("abc"));
  EXPECT_EQ(n->GetInt64(), 0);

  std::unique_ptr<ETypeHandler> u8 = GetTypeHandler(TYPE_UINT8);
  uint8_t ubyte = 7;
  u8->Aim(&ubyte, 1);
  u8->Assign(*tv::Int64(-1));
  EXPECT_EQ(ubyte, 0) << "-1 does not fit an unsigned byte";

  std::unique_ptr<ETypeHandler> flag = GetDirectTypeHandler(TYPE_BOOL);
  flag->Assign(*tv::Int64(5));
  EXPECT_TRUE(flag->GetBool());
  EXPECT_EQ(flag->GetText().str(), "Vrai");
}

TEST_F(TypeHandlerObjectsTest, TimeStampsGiveTheirLocalDateAndTime) {
  sDate date{14, 7, 2021};
  sTime time{0, 30, 15, 9};
  std::unique_ptr<ETypeHandler> ts = GetDirectTypeHandler(TYPE_TIMESTAMP);
  auto source = std::make_unique<DirectTypeHandler<TYPE_TIMESTAMP, ETimeStamp>>();
  source->SetValue(ETimeStamp::FromLocal(date, time, TimeZone::Local()));
  ts->Assign(*source);
  sDate got;
  EXPECT_TRUE(ts->GetDate(&got));
  EXPECT_EQ(got, date);
  EXPECT_EQ(ts->GetTime(), time);
  EXPECT_TRUE(ts->IsEqual(*source));

  // A date becomes a time stamp at midnight of that day.
  ts->Assign(*tv::Date(date));
  EXPECT_EQ(ts->GetTime(), sTime());
  EXPECT_TRUE(ts->IsLess(*source));
}

}  // namespace
}  // namespace tavelnor::record
