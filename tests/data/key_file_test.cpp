// Keys against a real data file: the descriptions read back from the record
// manager's Stat answer agree with the dictionary's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/btrv_constants.h"
#include "data/btrv_file.h"
#include "data/btrv_test_support.h"
#include "data/key_desc.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "record/type_codes.h"

namespace tavelnor::data {
namespace {

using dico::testing::DicoTestBuilder;
using dico::testing::LoadedDico;
namespace base = dico::base;

constexpr uint16_t kLength = 16;

// "Stock": Ref ZSTRING 8 @0, Qte LONG @8, Prix LONG @12. Key 0 on Ref; key 1
// on Qte, then Prix descending, with duplicates.
struct StockTable {
  StockTable() {
    t = b.AddTable("Stock");
    b.SetWord(t.table, base::kUnitSize, kLength);
    b.SetWord(t.table, 67, 1024);
    const uint32_t ref = b.AddField(t.data, "Ref", record::TYPE_ZSTRING, 8, 0);
    const uint32_t qte = b.AddField(t.data, "Qte", record::TYPE_LONG, 4, 8);
    const uint32_t prix = b.AddField(t.data, "Prix", record::TYPE_LONG, 4, 12);
    b.AddTypedSegment(b.AddKey(t.keys, "ParRef", 0), ref, 0, 8, 0x0100, record::TYPE_ZSTRING);
    const uint32_t k1 = b.AddKey(t.keys, "ParQte", 0x0003);
    b.AddTypedSegment(k1, qte, 8, 4, 0x0113, record::TYPE_LONG);
    b.AddTypedSegment(k1, prix, 12, 4, 0x0143, record::TYPE_LONG);
  }
  DicoTestBuilder b;
  DicoTestBuilder::Table t;
};

class KeyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_.SetFileName(Chaine(folder_.Path("STOCK.DAT")));
    ASSERT_EQ(file_.BuildCreationSpec(*table_, false), 0);
    ASSERT_EQ(file_.Create(), 0);
    ASSERT_EQ(file_.Open(Chaine(folder_.Path("STOCK.DAT"))), 0);
  }
  std::vector<uint8_t> Stat() {
    std::vector<uint8_t> buffer(kStatBufferSize);
    EXPECT_EQ(file_.Stat(buffer.data()), 0);
    return buffer;
  }

  testing::RegistrySandbox registry_;
  testing::ReportRecorder reports_;
  testing::ScratchFolder folder_;
  StockTable stock_;
  LoadedDico loaded_{stock_.b};
  const dico::DRubricTable* table_ =
      static_cast<const dico::DRubricTable*>(loaded_[stock_.t.table]);
  BtrvFile file_;
};

TEST_F(KeyFileTest, StatDescribesTheDictionaryKeys) {
  const std::vector<uint8_t> stat = Stat();
  const auto from_dico = DescribeTableKeys(*table_);
  for (int n : {0, 1}) {
    auto from_file = DescribeFileKey(stat, n, table_);
    ASSERT_TRUE(from_file) << n;
    EXPECT_EQ(from_file->key_number, n);
    const EKeyDesc& expected = from_dico.at(static_cast<uint32_t>(n));
    ASSERT_EQ(from_file->segments.size(), expected.segments.size());
    for (size_t i = 0; i < expected.segments.size(); ++i) {
      EXPECT_EQ(from_file->segments[i].expression, expected.segments[i].expression);
      EXPECT_EQ(from_file->segments[i].Size(), expected.segments[i].Size());
      EXPECT_EQ(from_file->segments[i].Offset(), expected.segments[i].Offset());
      EXPECT_EQ(from_file->segments[i].Descending(), expected.segments[i].Descending());
    }
  }
  EXPECT_EQ(DescribeFileKey(stat, 1, table_)->flags, kKeyDescDuplicates | kKeyDescModifiable);
  EXPECT_EQ(DescribeFileKey(stat, 1, nullptr)->segments.at(1).expression, "=EXTRACT(12,4)");
  EXPECT_FALSE(DescribeFileKey(stat, 2, table_));
}

}  // namespace
}  // namespace tavelnor::data
