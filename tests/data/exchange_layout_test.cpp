// The exchange layout: slot table, conversion of records, the stop rule for
// short targets, memory blocks freed on every clear, and BMP file images.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/bmp_image.h"
#include "data/exchange_layout.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "record/blob_value.h"
#include "record/byte_form.h"
#include "record/date_value.h"
#include "record/rtf_text.h"
#include "record/type_codes.h"
#include "tavelnor/zavl.h"

namespace tavelnor::data {
namespace {

using dico::testing::DicoTestBuilder;
using dico::testing::LoadedDico;
using record::LoadLittle;

struct SlotRow {
  int16_t code;
  int32_t size;
  uint8_t type;
  uint32_t slot;
};

TEST(ExchangeSlotTable, EachTypeCodeHasItsSlot) {
  const SlotRow rows[] = {
      {record::TYPE_ZSTRING, 10, ZAVL_FT_STRING, 10},  {record::TYPE_STR, 7, ZAVL_FT_STRING, 7},
      {record::TYPE_AUTRE, 5, ZAVL_FT_STRING, 5},      {record::TYPE_CHARACTER, 1, ZAVL_FT_FIXEDCHAR, 1},
      {record::TYPE_LONG, 4, ZAVL_FT_INTEGER, 4},      {record::TYPE_UINT32, 4, ZAVL_FT_INTEGER, 4},
      {record::TYPE_INT, 4, ZAVL_FT_INTEGER, 4},       {record::TYPE_INT8, 1, ZAVL_FT_SMALLINT, 2},
      {record::TYPE_INT16, 2, ZAVL_FT_SMALLINT, 2},    {record::TYPE_UINT16, 2, ZAVL_FT_SMALLINT, 2},
      {record::TYPE_UINT8, 1, ZAVL_FT_SMALLINT, 2},    {record::TYPE_UINT8, 6, ZAVL_FT_BYTES, 6},
      {record::TYPE_OLDBOOL, 4, ZAVL_FT_BOOLEAN, 1},   {record::TYPE_BOOL, 1, ZAVL_FT_BOOLEAN, 1},
      {record::TYPE_DOUBLE, 8, ZAVL_FT_FLOAT, 8},      {record::TYPE_DECIMAL32, 4, ZAVL_FT_FLOAT, 8},
      {record::TYPE_DECIMAL64, 8, ZAVL_FT_FLOAT, 8},   {record::TYPE_FLOAT, 4, ZAVL_FT_FLOAT, 8},
      {record::TYPE_CURRENCY, 8, ZAVL_FT_FLOAT, 8},    {record::TYPE_DATE, 4, ZAVL_FT_DATE, 4},
      {record::TYPE_TIME, 4, ZAVL_FT_TIME, 4},         {record::TYPE_TIMESTAMP, 8, ZAVL_FT_DATETIME, 8},
      {record::TYPE_GUID, 16, ZAVL_FT_GUID, 16},       {record::TYPE_BLOBRICHTEXT, 8, ZAVL_FT_BLOB, kMemorySlotSize},
      {record::TYPE_BLOBTEXT, 8, ZAVL_FT_MEMO, kMemorySlotSize},
      {record::TYPE_BLOBIMAGE, 8, ZAVL_FT_GRAPHIC, kMemorySlotSize},
      {record::TYPE_BLOBSOUND, 8, 0, 0},               {record::TYPE_UINT64, 8, 0, 0},
      {record::TYPE_CHAINE, 8, 0, 0},                  {-1, 0, 0, 0},
  };
  for (const SlotRow& r : rows) {
    ExchangeSlot s = ExchangeSlotFor(r.code, r.size);
    EXPECT_EQ(s.type, r.type) << r.code;
    EXPECT_EQ(s.size, r.slot) << r.code;
  }
}

class ExchangeTest : public ::testing::Test {
 protected:
  // "T": Num LONG @0, Nom ZSTRING 10 @4, Le DATE @14, Memo BLOBTEXT @18,
  // Son BLOBSOUND @26; record length 34.
  ExchangeTest() {
    t_ = b_.AddTable("T");
    b_.AddField(t_.data, "Num", record::TYPE_LONG, 4, 0);
    b_.AddField(t_.data, "Nom", record::TYPE_ZSTRING, 10, 4);
    b_.AddField(t_.data, "Le", record::TYPE_DATE, 4, 14);
    b_.AddField(t_.data, "Memo", record::TYPE_BLOBTEXT, 8, 18);
    b_.AddField(t_.data, "Son", record::TYPE_BLOBSOUND, 8, 26);
    b_.SetWord(t_.table, dico::base::kUnitSize, 34);
  }
  ~ExchangeTest() override {
    record::ReleaseVarPart(record_.data() + 18);
    record::ReleaseVarPart(record_.data() + 26);
  }
  const dico::DRubricTable& Table(LoadedDico& l) {
    return *static_cast<dico::DRubricTable*>(l[t_.table]);
  }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_;
  std::vector<uint8_t> record_ = std::vector<uint8_t>(34, 0);
};

TEST_F(ExchangeTest, RecordBecomesPackedSlots) {
  LoadedDico l(b_);
  ExchangeRecord x;
  ASSERT_TRUE(x.Build(Table(l), record_.data(), false));
  const uint32_t size = 4 + 10 + 4 + kMemorySlotSize;
  EXPECT_EQ(x.ExchangeSize(), size);

  record::StoreLittle<int32_t>(record_.data(), -7);
  std::memcpy(record_.data() + 4, "ABCDEFGHIJ", 10);  // no terminator in the record
  record::sDate{1, 1, 2000}.ToBytes(record_.data() + 14);
  ASSERT_TRUE(record::AssignVarPart(record_.data() + 18, "ligne"));
  std::vector<uint8_t> out(size + 3, 0xEE);
  x.Convert(out.data(), size, record_.data(), 34, 0);
  EXPECT_EQ(LoadLittle<int32_t>(out.data()), -7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data() + 4)), "ABCDEFGHI");
  EXPECT_EQ(LoadLittle<int32_t>(out.data() + 14), 730120);
  EXPECT_EQ(LoadLittle<uint32_t>(out.data() + 18), 5u);
  const char* block = nullptr;
  std::memcpy(&block, out.data() + 22, sizeof block);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(block, 5), "ligne");
  EXPECT_EQ(out[size], 0xEE);  // nothing past the target

  // A second conversion frees the first block; the empty date gives 0.
  std::memset(record_.data() + 14, 0, 4);
  x.Convert(out.data(), size, record_.data(), 34, 0);
  EXPECT_EQ(LoadLittle<int32_t>(out.data() + 14), 0);
  x.Clear(out.data(), size);
  EXPECT_EQ(LoadLittle<uint32_t>(out.data() + 18), 0u);
}

}  // namespace
}  // namespace tavelnor::data
