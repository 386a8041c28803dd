// Record fields and composites: buffers and their aiming, copies, the
// contiguous area of local composites and the one-record rule.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "record/er_field.h"
#include "record/er_field_composite.h"
#include "record/type_codes.h"

namespace tavelnor::record {
namespace {

// A field of a given record, as table fields are.
class RecordField : public ErField {
 public:
  explicit RecordField(const void* record) : record_(record) {}
  std::unique_ptr<ErField> Clone() const override {
    auto copy = std::make_unique<RecordField>(record_);
    copy->CopyFieldPart(*this);
    return copy;
  }
  const void* GetRecord() const override { return record_; }

 private:
  const void* record_;
};

std::unique_ptr<ErField> MakeField(const char* name, int16_t code, int32_t size) {
  auto f = std::make_unique<ErField>();
  f->SetFieldName(name);
  f->SetType(code, size, false);
  return f;
}

TEST(FieldTest, ANewFieldViewsNothing) {
  ErField f;
  EXPECT_TRUE(f.GetName().IsEmpty());
  EXPECT_EQ(f.Number(), 0u);
  EXPECT_EQ(f.TypeCode(), -1);
  EXPECT_EQ(f.Size(), 0);
  EXPECT_EQ(f.Data(), nullptr);
  EXPECT_TRUE(f.GetText().IsEmpty());
}

TEST(FieldTest, SetTypeKeepsTheBytesViewedAndClonesViewTheSameBytes) {
  uint8_t record[8] = {};
  ErField f;
  f.SetData(record + 2);
  f.SetType(TYPE_LONG, -1, false);
  EXPECT_EQ(f.Data(), record + 2);
  f.GetBuffer()->SetInt64(0x11223344);
  EXPECT_EQ(record[2], 0x44);
  f.SetFieldName("Total");
  f.SetNumber(7);
  std::unique_ptr<ErField> copy = f.Clone();
  EXPECT_EQ(copy->Data(), record + 2);
  EXPECT_EQ(copy->GetName(), "Total");
  EXPECT_EQ(copy->Number(), 7u);
  EXPECT_EQ(copy->Buffer().GetInt64(), 0x11223344);
  ErFieldMini other;
  other.AttachTo(f);
  EXPECT_EQ(other.Data(), record + 2);
  // A bare field gives up its buffer; a named one keeps it.
  other.Release();
  EXPECT_EQ(other.Data(), nullptr);
  f.Release();
  EXPECT_EQ(f.Data(), record + 2);
}

TEST(FieldTest, ReferenceFieldsAnswerTheirReferenceName) {
  ErFieldRefLocal r;
  r.SetFieldName("propre");
  r.SetName("Clients.Nom");
  EXPECT_EQ(r.GetName(), "Clients.Nom");
  std::unique_ptr<ErField> copy = r.Clone();
  EXPECT_EQ(copy->GetName(), "Clients.Nom");
  copy->SetName("autre");
  EXPECT_EQ(r.GetName(), "Clients.Nom");
}

TEST(CompositeTest, OwnedAreaGrowsAndShrinksKeepingTheBytes) {
  ErFieldCompositeLocal key;
  ASSERT_TRUE(key.AddSegment(*MakeField("A", TYPE_LONG, 4)));
  ASSERT_TRUE(key.AddSegment(*MakeField("B", TYPE_LONG, 4)));
  ASSERT_TRUE(key.AddSegment(*MakeField("C", TYPE_DOUBLE, 8)));
  ASSERT_TRUE(key.OwnsArea());
  EXPECT_EQ(key.TotalLength(), 16u);
  uint8_t* area = key.Area();
  EXPECT_EQ(key.Segment(0)->Data(), area);
  EXPECT_EQ(key.Segment(1)->Data(), area + 4);
  EXPECT_EQ(key.Segment(2)->Data(), area + 8);
  key.Segment(0)->GetBuffer()->SetInt64(11);
  key.Segment(1)->GetBuffer()->SetInt64(22);
  key.Segment(2)->GetBuffer()->SetDouble(3.5);

  EXPECT_FALSE(key.RemoveSegment("Z"));
  ASSERT_TRUE(key.RemoveSegment("B"));
  EXPECT_EQ(key.TotalLength(), 12u);
  ASSERT_EQ(key.SegmentCount(), 2u);
  EXPECT_EQ(key.Segment(1)->Data(), key.Area() + 4);
  EXPECT_EQ(key.Segment(0)->Buffer().GetInt64(), 11);
  EXPECT_DOUBLE_EQ(key.Segment(1)->Buffer().GetDouble(), 3.5);

  std::unique_ptr<ErFieldComposite> copy = key.Clone();
  ASSERT_EQ(copy->SegmentCount(), 2u);
  EXPECT_NE(copy->Segment(0)->Data(), key.Segment(0)->Data());
  EXPECT_EQ(copy->Segment(0)->Buffer().GetInt64(), 11);
  EXPECT_DOUBLE_EQ(copy->Segment(1)->Buffer().GetDouble(), 3.5);
}

TEST(CompositeTest, LentAreaIsViewedNotCopied) {
  std::vector<uint8_t> key_buffer(12, 0);
  ErFieldCompositeLocal key;
  key.SetArea(key_buffer.data());
  key.AddSegment(*MakeField("Code", TYPE_STR, 8));
  key.AddSegment(*MakeField("Num", TYPE_LONG, 4));
  EXPECT_FALSE(key.OwnsArea());
  EXPECT_EQ(key.Segment(1)->Data(), key_buffer.data() + 8);
  key.Segment(0)->GetBuffer()->SetText("ABC");
  EXPECT_EQ(std::memcmp(key_buffer.data(), "ABC", 3), 0);
  key.RemoveSegment("Code");
  EXPECT_EQ(key.Segment(0)->Data(), key_buffer.data());
  EXPECT_EQ(key.TotalLength(), 4u);
}

TEST(CompositeTest, ChaineSegmentsSurviveAreaMovesWithoutLeaks) {
  ErFieldCompositeLocal key;
  key.AddSegment(*MakeField("Texte", TYPE_CHAINE, -1));
  key.Segment(0)->GetBuffer()->SetText("une valeur assez longue pour le tas");
  key.AddSegment(*MakeField("Autre", TYPE_CHAINE, -1));  // the area moves
  key.Segment(1)->GetBuffer()->SetText("seconde");
  EXPECT_EQ(key.Segment(0)->GetText(), "une valeur assez longue pour le tas");
  key.RemoveSegment("Texte");
  EXPECT_EQ(key.Segment(0)->GetText(), "seconde");
}

TEST(CompositeTest, SubRecordTakesFieldsOfOneRecordOnly) {
  int clients = 0;
  int factures = 0;
  ErFieldSubRecord link;
  EXPECT_FALSE(link.AddSegment(*MakeField("Libre", TYPE_LONG, 4)));
  EXPECT_EQ(link.SegmentCount(), 0u);
  RecordField a(&clients);
  a.SetType(TYPE_LONG, 4, false);
  RecordField b(&factures);
  ASSERT_TRUE(link.AddSegment(a));
  EXPECT_EQ(link.Record(), &clients);
  EXPECT_FALSE(link.AddSegment(b));
  EXPECT_EQ(link.SegmentCount(), 1u);
  EXPECT_EQ(link.TotalLength(), 4u);
  EXPECT_FALSE(link.AcceptRecord(&factures));
  link.Clear();
  EXPECT_TRUE(link.AcceptRecord(&factures));
  std::unique_ptr<ErFieldComposite> copy = link.Clone();
  EXPECT_FALSE(copy->AcceptRecord(&clients));
}

}  // namespace
}  // namespace tavelnor::record
