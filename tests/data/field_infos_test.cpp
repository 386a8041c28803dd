// Field information handlers: the shared default, answers from dictionary
// variables, binding to records, limits, clones, and field accessors.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "data/field_infos.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "dico/field_model.h"
#include "record/type_codes.h"

namespace tavelnor::data {
namespace {

using dico::testing::DicoTestBuilder;
using dico::testing::LoadedDico;
namespace base = dico::base;

class FieldInfosTest : public ::testing::Test {
 protected:
  FieldInfosTest() {
    t_ = b_.AddTable("Clients");
    num_ = b_.AddField(t_.data, "Num", record::TYPE_LONG, 4, 0);
    nom_ = b_.AddField(t_.data, "Nom", record::TYPE_ZSTRING, 10, 4);
    b_.SetWord(nom_, base::kFlags, dico::field_model::kFlagUpperCase | 0x20);
    b_.SetString(nom_, base::kHeader, "Nom du client");
    codes_ = b_.AddField(t_.data, "Codes", record::TYPE_INT16, 2, 14);
    b_.SetHalf(codes_, 89, 3);
    const uint8_t max_bytes[8] = {0x10, 0x27, 0, 0, 0, 0, 0, 0};  // 10000
    std::memcpy(b_.Image(num_) + 116, max_bytes, 8);
  }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_;
  uint32_t num_ = 0, nom_ = 0, codes_ = 0;
  std::vector<uint8_t> record_ = std::vector<uint8_t>(32, 0);
};

TEST_F(FieldInfosTest, DictionaryHandlerBindsAndReads) {
  LoadedDico l(b_);
  EFInfosHandlerDico second(*l[codes_], 1);
  EXPECT_EQ(second.Offset(), 16);
  EXPECT_EQ(second.Bind(nullptr), nullptr);
  auto value = record::CreateBuffer(record::TYPE_INT16, -1, 0);
  value->Allocate();
  EXPECT_FALSE(second.ReadInto(*value));  // nothing bound
  EXPECT_EQ(second.Bind(record_.data()), record_.data() + 16);
  record_[16] = 0x34;
  record_[17] = 0x12;
  ASSERT_TRUE(second.ReadInto(*value));
  EXPECT_EQ(value->GetInt64(), 0x1234);
  ASSERT_TRUE(second.SetFixedOffset(12));
  EXPECT_EQ(second.Bind(record_.data()), record_.data() + 12);
  EXPECT_EQ(second.Offset(), 12);

  std::unique_ptr<EFInfosHandler> clone;
  {
    EFInfosHandlerDico nom(*l[nom_], 0);
    nom.Bind(record_.data());
    clone = nom.Clone();
  }
  EXPECT_EQ(clone->DisplayName(), "Nom du client");
  EXPECT_EQ(clone->Bind(record_.data()), record_.data() + 4);
  EXPECT_EQ(clone->Variable(), l[nom_]);
}

TEST_F(FieldInfosTest, DeclaredLimitsComeFromTheDictionary) {
  LoadedDico l(b_);
  EFInfosHandlerDico num(*l[num_], 0);
  auto value = record::CreateBuffer(record::TYPE_LONG, -1, 0);
  value->Allocate();
  num.SetLimit(kLimitMax, *value);
  EXPECT_EQ(value->GetInt64(), 10000);
  num.SetLimit(kLimitMin, *value);  // none declared: the type's own
  EXPECT_EQ(value->GetInt64(), INT32_MIN);
  auto small = record::CreateBuffer(record::TYPE_INT8, -1, 0);
  small->Allocate();
  num.SetLimit(kLimitMax, *small);  // at most the value's length
  EXPECT_EQ(small->GetInt64(), 0x10);
}

TEST_F(FieldInfosTest, ClassesDecideDerivedComputedAndStoredLength) {
  const uint32_t calc = b_.AddField(t_.data, "Calc", record::TYPE_LONG, 4, 20, 3);
  const uint32_t recap = b_.AddField(t_.data, "Recap", record::TYPE_LONG, 4, 20, 4);
  const uint32_t dialog = b_.AddField(t_.data, "Saisie", record::TYPE_LONG, 6, 20, 1);
  const uint32_t formula = b_.AddField(t_.data, "F", record::TYPE_LONG, 4, 24);
  b_.SetString(formula, 67, "Num+1");
  LoadedDico l(b_);
  EXPECT_TRUE(EFInfosHandlerDico(*l[calc], 0).IsDerived());
  EXPECT_FALSE(EFInfosHandlerDico(*l[num_], 0).IsDerived());
  EXPECT_TRUE(EFInfosHandlerDico(*l[recap], 0).IsComputed());
  EXPECT_TRUE(EFInfosHandlerDico(*l[formula], 0).IsComputed());
  EXPECT_FALSE(EFInfosHandlerDico(*l[calc], 0).IsComputed());
  EXPECT_EQ(EFInfosHandlerDico(*l[dialog], 0).StoredLength(), 6);
  EXPECT_EQ(EFInfosHandlerDico(*l[num_], 0).StoredLength(), 0);
  EFInfosHandlerDico unbound(*l[recap], 0);
  EXPECT_FALSE(unbound.Compute());
  EXPECT_FALSE(unbound.Refresh());

  // A stored field with a formula is computed into the bound record.
  EFInfosHandlerDico f(*l[formula], 0);
  f.Bind(record_.data());
  record_[0] = 41;
  ASSERT_TRUE(f.Compute());
  EXPECT_EQ(record_[24], 42);
  EFInfosHandlerDico recap_bound(*l[recap], 0);
  recap_bound.Bind(record_.data());
  EXPECT_FALSE(recap_bound.Compute());  // no formula, no bytes of its own
}

}  // namespace
}  // namespace tavelnor::data
