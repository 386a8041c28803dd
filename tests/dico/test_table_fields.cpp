// Table fields: binding to dictionary variables, aiming into a record, and
// composites built over tables and keys with the field filters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dico/attribute_export.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "dico/er_field_table.h"
#include "dico/field_model.h"
#include "record/type_codes.h"

namespace tavelnor::dico {
namespace {

using record::ErFieldComposite;
using record::ErFieldCompositeLocal;
using record::ErFieldSubRecord;
using testing::DicoTestBuilder;
using testing::LoadedDico;

// Offsets of the segments of `c` from `base`.
std::vector<long> Offsets(const ErFieldComposite& c, const uint8_t* base) {
  std::vector<long> out;
  for (size_t i = 0; i < c.SegmentCount(); ++i) out.push_back(c.Segment(i)->Data() - base);
  return out;
}

class TableFieldsTest : public ::testing::Test {
 protected:
  // "Clients": Num LONG @0, Nom ZSTRING 10 @4 (upper case), Le DATE @14.
  TableFieldsTest() {
    t_ = b_.AddTable("Clients");
    num_ = b_.AddField(t_.data, "Num", record::TYPE_LONG, 4, 0);
    nom_ = b_.AddField(t_.data, "Nom", record::TYPE_ZSTRING, 10, 4);
    b_.SetWord(nom_, base::kFlags, field_model::kFlagUpperCase);
    date_ = b_.AddField(t_.data, "Le", record::TYPE_DATE, 4, 14);
    b_.SetWord(t_.table, base::kUnitSize, 18);
  }
  DRubricTable* Table(LoadedDico& l) { return static_cast<DRubricTable*>(l[t_.table]); }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_;
  uint32_t num_ = 0, nom_ = 0, date_ = 0;
  std::vector<uint8_t> record_ = std::vector<uint8_t>(64, 0);
};

TEST_F(TableFieldsTest, RecordFieldsFollowTheLayout) {
  LoadedDico l(b_);
  ErFieldSubRecord fields;
  ASSERT_TRUE(BuildFields(fields, *Table(l), record_.data(), 3));
  ASSERT_EQ(fields.SegmentCount(), 3u);
  EXPECT_EQ(Offsets(fields, record_.data()), (std::vector<long>{0, 4, 14}));
  EXPECT_EQ(fields.TotalLength(), 18u);
  EXPECT_EQ(fields.Record(), Table(l));
  EXPECT_EQ(fields.Segment(1)->GetName(), "Nom");
  EXPECT_EQ(fields.Segment(0)->Number(), num_);
  EXPECT_EQ(fields.Segment(2)->Buffer().GetTypeCode(), record::TYPE_DATE);
  EXPECT_TRUE(fields.Segment(0)->IsTableField());
  EXPECT_FALSE(fields.Segment(0)->NeedsRefresh());

  fields.Segment(1)->GetBuffer()->SetText("dupont");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record_.data() + 4)), "DUPONT");
  // A clone views the same bytes; a new record base moves every view.
  std::unique_ptr<record::ErField> clone = fields.Segment(1)->Clone();
  EXPECT_EQ(clone->Data(), record_.data() + 4);
  std::vector<uint8_t> other(64, 0);
  clone->SetRecordBase(other.data());
  EXPECT_EQ(clone->Data(), other.data() + 4);
  EXPECT_EQ(clone->GetRecordBase(), other.data());
  // Table fields are aimed by their record base only.
  clone->SetData(record_.data());
  EXPECT_EQ(clone->Data(), other.data() + 4);
}

TEST_F(TableFieldsTest, ASubRecordRefusesAnotherTable) {
  auto other = b_.AddTable("Factures");
  const uint32_t total = b_.AddField(other.data, "Total", record::TYPE_DOUBLE, 8, 0);
  LoadedDico l(b_);
  ErFieldSubRecord fields;
  ASSERT_TRUE(BuildFields(fields, *Table(l), record_.data(), 3));
  EXPECT_FALSE(BuildFields(fields, *l[other.table], record_.data(), 3));
  EXPECT_EQ(fields.SegmentCount(), 3u);
  ErFieldTable foreign;
  ASSERT_TRUE(foreign.Bind(*l[total], nullptr, 0));
  EXPECT_EQ(foreign.GetRecord(), l[other.table]);
  EXPECT_FALSE(fields.AddSegment(foreign));
  EXPECT_EQ(fields.TotalLength(), 18u);
  EXPECT_FALSE(BuildFields(fields, *l[t_.data], record_.data(), 3));  // not a record
}

TEST_F(TableFieldsTest, FiltersFollowClassAndFlags) {
  const uint32_t calc = b_.AddField(t_.data, "Calcule", record::TYPE_LONG, 4, 18, 3);
  const uint32_t hidden = b_.AddField(t_.data, "Cache", record::TYPE_LONG, 4, 18);
  b_.SetWord(hidden, base::kFlags, field_model::kFlagHiddenFromExchange);
  const uint32_t overlay = b_.AddField(t_.data, "Dessus", record::TYPE_LONG, 4, 0);
  b_.SetWord(overlay, base::kInternalFlags, field_model::kInternalOverlay);
  const uint32_t memory = b_.Add(kTitleMemory, t_.table, "Les extensions");
  b_.AddField(memory, "Ext", record::TYPE_LONG, 4, 2, field_model::kClassExtension);
  LoadedDico l(b_);
  auto names = [&](uint32_t filter) {
    ErFieldSubRecord f;
    BuildFields(f, *Table(l), record_.data(), filter);
    std::vector<std::string> out;
    for (size_t i = 0; i < f.SegmentCount(); ++i) out.push_back(f.Segment(i)->GetName().str());
    return out;
  };
  (void)calc;
  EXPECT_EQ(names(3), (std::vector<std::string>{"Num", "Nom", "Le", "Cache"}));
  EXPECT_EQ(names(1), (std::vector<std::string>{"Num", "Nom", "Le", "Cache", "Ext"}));
  EXPECT_EQ(names(3 | kBuildOverlays),
            (std::vector<std::string>{"Num", "Nom", "Le", "Cache", "Dessus"}));
  EXPECT_EQ(names(1 | kBuildExchange), (std::vector<std::string>{"Num", "Nom", "Le", "Ext"}));
  // Extension fields lie after the normal record.
  ErFieldSubRecord f;
  BuildFields(f, *Table(l), record_.data(), 1);
  EXPECT_EQ(f.Segment(4)->Data(), record_.data() + 18 + 2);
}

TEST_F(TableFieldsTest, KeysBuildFromTheirSegmentsAndResetUsesTheInitialValue) {
  const uint32_t key = b_.AddKey(t_.keys, "ParNom");
  const uint32_t seg = b_.AddSegment(key, "Nom", nom_, 4);
  b_.SetByte(seg, 75, record::TYPE_ZSTRING);
  b_.SetWord(seg, base::kUnitSize, 10);
  const uint8_t initial[8] = {0x2A, 0, 0, 0, 0, 0, 0, 0};
  std::memcpy(b_.Image(num_) + 128, initial, 8);
  LoadedDico l(b_);
  ErFieldCompositeLocal k;
  ASSERT_TRUE(BuildFields(k, *l[key], record_.data(), 0));
  ASSERT_EQ(k.SegmentCount(), 1u);
  EXPECT_EQ(k.TotalLength(), 10u);
  EXPECT_EQ(k.Segment(0)->GetName(), "Nom");  // the reference name of the segment copy
  EXPECT_TRUE(k.OwnsArea());

  ErFieldTable num;
  ASSERT_TRUE(num.Bind(*l[num_], record_.data(), 0));
  num.GetBuffer()->SetInt64(7);
  num.Reset();
  EXPECT_EQ(num.Buffer().GetInt64(), 42);
  ErFieldTable date;
  ASSERT_TRUE(date.Bind(*l[date_], record_.data(), 0));
  date.GetBuffer()->SetMax();
  date.Reset();  // no initial value: cleared
  EXPECT_EQ(date.GetText(), "01/01/1000");
  EXPECT_FALSE(date.Bind(*l[t_.data], record_.data(), 0));
  EXPECT_EQ(date.Variable(), l[date_]);
}

// Links damaged after loading (the loader refuses them in a file): the
// walks that build fields and lay a record out still end, each object taken
// at most once.
TEST_F(TableFieldsTest, WalksEndOverLinksDamagedInMemory) {
  LoadedDico l(b_);
  auto fields = [&] {
    ErFieldSubRecord f;
    BuildFields(f, *Table(l), record_.data(), kBuildPassOn);
    return f.SegmentCount();
  };
  l[date_]->SetWord(base::kNextSibling, num_);  // a loop of siblings
  EXPECT_EQ(fields(), 3u);
  l[nom_]->SetWord(base::kParent, t_.table);  // a climb out of the layout node
  l[date_]->SetWord(base::kNextSibling, 0);
  l[date_]->SetWord(base::kParent, 1);  // up to the root and its other tables
  EXPECT_LE(fields(), 3u);
  l[num_]->SetWord(base::kFirstChild, t_.data);  // the layout node below its own field
  l[date_]->SetWord(base::kNextSibling, num_);
  Table(l)->RecomputeSize();
  EXPECT_LE(fields(), 3u);
  const DicoExport exported = ExportDictionary(l.h);
  EXPECT_EQ(exported.root.Find("isa") ? *exported.root.Find("isa") : "", "Dico");
}

}  // namespace
}  // namespace tavelnor::dico
