// Key descriptions: the property vocabulary from dictionary keys and from
// Stat key specifications, extract expressions and "SegOffset" resolution.
#include "data/key_desc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/key_test_dico.h"

namespace tavelnor::data {
namespace {

using testing::KeyTestDico;
using testing::LoadedKeyDico;
using testing::StatBuilder;

std::string Prop(const PropertyBag& bag, std::string_view section, std::string_view name) {
  const std::string* v = bag.Get(section, name);
  return v == nullptr ? "<absent>" : *v;
}

class KeyDescTest : public ::testing::Test {
 protected:
  KeyTestDico d_;
  LoadedKeyDico l_{d_};
  const dico::DRubricTable& table() { return *l_.table; }
};

TEST_F(KeyDescTest, KeyFlagsAndPropertiesFromTheDictionary) {
  const auto keys = DescribeTableKeys(table());
  ASSERT_EQ(keys.size(), 6u);
  for (const auto& [number, desc] : keys) EXPECT_EQ(desc.key_number, number);
  EXPECT_EQ(keys.at(0).segments.at(0).expression, "Num");
  // Flags 0: modifiable and a null key; no Btrieve properties.
  const EKeyDesc& plain = keys.at(0);
  EXPECT_EQ(plain.flags, kKeyDescModifiable | kKeyDescNullKey);
  EXPECT_TRUE(plain.properties.IsEmpty());

  const EKeyDesc& nom = keys.at(1);
  EXPECT_EQ(nom.flags, kKeyDescDuplicates | kKeyDescNullKey);
  EXPECT_EQ(Prop(nom.properties, kSectionBtrieve, kPropBinary), "Yes");
  EXPECT_EQ(Prop(nom.properties, kSectionBtrieve, kPropNullIfOneSegNull), "Yes");
  EXPECT_EQ(Prop(nom.properties, kSectionBtrieve, kPropAutoInc), "Yes");
  ASSERT_EQ(nom.segments.size(), 2u);
  const ESegmentDesc& name = nom.segments[0];
  EXPECT_EQ(name.expression, "Nom");
  // A ZSTRING field gives 10, turned case-insensitive by flag 0x400.
  EXPECT_EQ(Prop(name.properties, kSectionStd, kPropSegType), "146");
  EXPECT_EQ(Prop(name.properties, kSectionStd, kPropSegSize), "10");
  EXPECT_EQ(Prop(name.properties, kSectionStd, kPropSegOffset), "4");
  EXPECT_EQ(Prop(name.properties, kSectionBtrieve, kPropExtended), "<absent>");
  EXPECT_FALSE(name.Descending());
  const ESegmentDesc& qte = nom.segments[1];
  EXPECT_EQ(qte.Type(), record::TYPE_INT16);
  EXPECT_TRUE(qte.Descending());
  EXPECT_EQ(Prop(qte.properties, kSectionBtrieve, kPropExtended), "No");

  // Flag 0x8 on the dictionary key: not a null key; part of a field is an extract.
  const EKeyDesc& partial = keys.at(2);
  EXPECT_EQ(partial.flags, kKeyDescModifiable);
  ASSERT_EQ(partial.segments.size(), 1u);
  const ESegmentDesc& s = partial.segments[0];
  EXPECT_EQ(s.expression, "=EXTRACT(Code,3,4)");
  EXPECT_EQ(s.field_name, "Code");
  EXPECT_EQ(s.Size(), 4);
  EXPECT_EQ(s.Offset(), 17);  // the field's offset 14 plus 3
  EXPECT_EQ(ResolveSegOffset(s.expression.view(), &table()), 17);
  // A segment on no field empties the description.
  EXPECT_TRUE(keys.at(3).IsEmpty());
  EXPECT_EQ(SegmentExpression(&table(), 400, 2), "");
}

TEST_F(KeyDescTest, CoveringFieldPrefersAnExactMatch) {
  EXPECT_EQ(CoveringField(table(), 4, 10)->GetName(), "Nom");
  EXPECT_EQ(CoveringField(table(), 9, 2)->GetName(), "Nom");
  EXPECT_EQ(CoveringField(table(), 330, 1), nullptr);
  EXPECT_EQ(SegmentExpression(&table(), 4, 4), "=EXTRACT(Nom,0,4)");  // shorter than the field
  EXPECT_EQ(SegmentExpression(nullptr, 26, 4), "=EXTRACT(26,4)");
}

struct ResolveCase {
  const char* expression;
  int32_t offset;
};

class ResolveSegOffsetTest : public KeyDescTest,
                             public ::testing::WithParamInterface<ResolveCase> {};

TEST_P(ResolveSegOffsetTest, Resolves) {
  EXPECT_EQ(ResolveSegOffset(GetParam().expression, &table()), GetParam().offset);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ResolveSegOffsetTest,
    ::testing::Values(ResolveCase{"=EXTRACT(40,6)", 40}, ResolveCase{"=EXTRACT(Prix,1,2)", 27},
                      ResolveCase{"Qte", 24}, ResolveCase{"=EXTRACT(Inconnu,1,2)", 0},
                      ResolveCase{"Inconnu", 0}, ResolveCase{"=EXTRACT(x)", 0},
                      ResolveCase{"=EXTRACT(a,b)", 0}, ResolveCase{"=EXTRACT(", 0},
                      ResolveCase{"", 0}, ResolveCase{"=Num", 0}));

TEST(ParseExtractTest, RecognisesBothForms) {
  auto three = ParseExtract("=EXTRACT(Nom,2,3)");
  ASSERT_TRUE(three);
  EXPECT_TRUE(three->has_field);
  EXPECT_EQ(three->field, "Nom");
  EXPECT_EQ(three->offset, 2);
  EXPECT_EQ(three->length, 3);
  auto two = ParseExtract("=EXTRACT(12,5)");
  ASSERT_TRUE(two);
  EXPECT_FALSE(two->has_field);
  EXPECT_EQ(two->offset, 12);
  EXPECT_EQ(two->length, 5);
  EXPECT_FALSE(ParseExtract("EXTRACT(1,2)"));
  EXPECT_FALSE(ParseExtract("=EXTRACT(1,2"));
  EXPECT_FALSE(ParseExtract("=EXTRACT(Nom,x,3)"));
  auto comma = ParseExtract("=EXTRACT(a,b,4,5)");  // a name holding a comma
  ASSERT_TRUE(comma);
  EXPECT_EQ(comma->field, "a,b");
}

// --- keys from Stat's key specifications -------------------------------------------------

TEST_F(KeyDescTest, FileKeyWithTableUsesFieldNames) {
  // Key 0: Num. Key 1: Nom (no case, extended type 0), then Prix descending,
  // without an extended type.
  StatBuilder stat(2);
  stat.Segment(1, 4, 0x0100, 1, 0)
      .Segment(5, 10, 0x0001 | 0x0002 | 0x0010 | 0x0100 | 0x0400, 0, 1)
      .Segment(27, 2, 0x0001 | 0x0002 | 0x0040, 14, 1);
  auto desc = DescribeFileKey(stat.bytes(), 1, &table());
  ASSERT_TRUE(desc);
  EXPECT_EQ(desc->key_number, 1);
  EXPECT_EQ(desc->flags, kKeyDescDuplicates | kKeyDescModifiable);
  EXPECT_TRUE(desc->properties.IsEmpty());
  ASSERT_EQ(desc->segments.size(), 2u);
  EXPECT_EQ(desc->segments[0].expression, "Nom");
  EXPECT_EQ(desc->segments[0].Type(), 146);  // extended type 0 gives 10, then no case
  EXPECT_EQ(Prop(desc->segments[0].properties, kSectionBtrieve, kPropExtended), "<absent>");
  EXPECT_EQ(desc->segments[1].expression, "=EXTRACT(Prix,0,2)");
  EXPECT_EQ(desc->segments[1].Type(), 14);
  EXPECT_TRUE(desc->segments[1].Descending());
  EXPECT_EQ(Prop(desc->segments[1].properties, kSectionBtrieve, kPropExtended), "No");
}

TEST(FileKeyTest, WithoutTableEverySegmentIsAnAbsoluteExtract) {
  StatBuilder stat(1);
  stat.Segment(3, 4, 0x0004 | 0x0008 | 0x0080 | 0x0010, 15, 0).Segment(11, 2, 0x0100, 1, 0);
  auto desc = DescribeFileKey(stat.bytes(), 0, nullptr);
  ASSERT_TRUE(desc);
  EXPECT_EQ(desc->flags, kKeyDescNullKey);
  EXPECT_EQ(Prop(desc->properties, kSectionBtrieve, kPropBinary), "Yes");
  EXPECT_EQ(Prop(desc->properties, kSectionBtrieve, kPropNullIfOneSegNull), "Yes");
  EXPECT_EQ(Prop(desc->properties, kSectionBtrieve, kPropAutoInc), "Yes");
  ASSERT_EQ(desc->segments.size(), 2u);
  EXPECT_EQ(desc->segments[0].expression, "=EXTRACT(2,4)");
  EXPECT_EQ(desc->segments[0].Offset(), 2);
  EXPECT_EQ(desc->segments[1].expression, "=EXTRACT(10,2)");
  EXPECT_EQ(desc->segments[1].Offset(), 10);
}

TEST(FileKeyTest, TheManualKeyNumberSelects) {
  StatBuilder stat(2);
  stat.Segment(1, 4, 0x0100, 1, 7).Segment(5, 4, 0x0100, 1, 3);
  auto desc = DescribeFileKey(stat.bytes(), 3, nullptr);
  ASSERT_TRUE(desc);
  EXPECT_EQ(desc->segments.at(0).expression, "=EXTRACT(4,4)");
  EXPECT_TRUE(DescribeFileKey(stat.bytes(), 7, nullptr));
  EXPECT_FALSE(DescribeFileKey(stat.bytes(), 0, nullptr));
  EXPECT_FALSE(DescribeFileKey(stat.bytes(), -1, nullptr));
}

}  // namespace
}  // namespace tavelnor::data
