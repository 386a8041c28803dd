// Dictionary compiler: record layout computed for hand-written sources.
#include <gtest/gtest.h>

#include <string>

#include "dico/compiler_test_support.h"

namespace tavelnor::dico::compiler_test {
namespace {

// A table whose record-layout node holds `fields` (JSON node texts).
std::string Table(const std::string& fields, const std::string& table_attrs = "",
                  const std::string& more_children = "") {
  return R"({"root": {"isa": "Dico", "children": [{"isa": "Rubric", "name": "T")" + table_attrs +
         R"(, "children": [{"isa": "TitleData", "name": "Lesdonnees", "children": [)" + fields +
         "]}" + more_children + "]}]}}";
}

uint32_t DiskOffset(const DicoImage& img, const char* name) {
  const Obj o = FindNamed(img, name);
  EXPECT_TRUE(o) << name;
  return o ? o.Field("diskoffset") : 0;
}

uint32_t UnitSize(const DicoImage& img, const char* name) {
  const Obj o = FindNamed(img, name);
  EXPECT_TRUE(o) << name;
  return o ? o.U32(base::kUnitSize) : 0;
}

TEST(CompilerLayout, FieldsFollowEachOtherButCalculatedAndBufferFieldsTakeNoSpace) {
  const DicoImage img = CompileAndParse(Table(R"(
      {"isa": "VarInNode", "name": "A", "internalsize": 4},
      {"isa": "VarInNode", "name": "Calc", "class": 3, "internalsize": 8},
      {"isa": "VarInNode", "name": "Buf", "class": "Buffer", "internalsize": 6},
      {"isa": "VarInNode", "name": "B", "internalsize": 10},
      {"isa": "VarInNode", "name": "C", "internalsize": 8})"));
  EXPECT_EQ(DiskOffset(img, "A"), 0u);
  EXPECT_EQ(DiskOffset(img, "Calc"), 4u);
  EXPECT_EQ(DiskOffset(img, "Buf"), 4u);
  EXPECT_EQ(DiskOffset(img, "B"), 4u);
  EXPECT_EQ(DiskOffset(img, "C"), 14u);
  EXPECT_EQ(UnitSize(img, "Calc"), 8u);  // keeps its own size
  // The calculated field counts 0; the buffer field counts in the sum but
  // does not move the next field.
  EXPECT_EQ(UnitSize(img, "T"), 28u);
  EXPECT_EQ(UnitSize(img, "Lesdonnees"), 28u);
}

TEST(CompilerLayout, UserAreaTakesExactlyItsUnitSize) {
  const DicoImage img = CompileAndParse(Table(R"(
      {"isa": "VarInNode", "name": "A", "internalsize": 20},
      {"isa": "VarPerso", "name": "Perso", "internalsize": 100, "children": [
        {"isa": "VarInPerso", "name": "P1", "internalsize": 10},
        {"isa": "VarInPerso", "name": "P2", "internalsize": 10}]},
      {"isa": "VarInNode", "name": "After", "internalsize": 4})"));
  const Obj perso = FindNamed(img, "Perso");
  EXPECT_EQ(perso.Field("offset"), 20u);
  EXPECT_EQ(DiskOffset(img, "P1"), 20u);
  EXPECT_EQ(DiskOffset(img, "P2"), 30u);
  EXPECT_EQ(DiskOffset(img, "After"), 120u);
  EXPECT_EQ(UnitSize(img, "T"), 124u);
}

TEST(CompilerLayout, UserAreaWithoutSizeTakesItsMaximum) {
  const DicoImage img = CompileAndParse(Table(R"(
      {"isa": "VarPerso", "name": "Max", "maxpersosize": 50, "children": [
        {"isa": "VarInPerso", "name": "P1", "internalsize": 10}]},
      {"isa": "VarPerso", "name": "Sum", "children": [
        {"isa": "VarInPerso", "name": "Q1", "internalsize": 6},
        {"isa": "VarInPerso", "name": "Q2", "internalsize": 7}]})"));
  EXPECT_EQ(UnitSize(img, "Max"), 50u);
  EXPECT_EQ(UnitSize(img, "Sum"), 13u);
  EXPECT_EQ(FindNamed(img, "Sum").Field("offset"), 50u);
  EXPECT_EQ(UnitSize(img, "T"), 63u);
}

TEST(CompilerLayout, ItemsStructuresAndArrays) {
  const DicoImage img = CompileAndParse(Table(R"(
      {"isa": "VarInNode", "name": "Five", "internalsize": 2, "nbitems": 5},
      {"isa": "VarStructInNode", "name": "Adresse", "children": [
        {"isa": "Variable", "name": "Rue", "internalsize": 30},
        {"isa": "Variable", "name": "Ville", "internalsize": 20}]},
      {"isa": "VarArray", "name": "Mois", "nbitems": 12, "children": [
        {"isa": "VarInArray", "name": "Solde", "internalsize": 8}]},
      {"isa": "VarInNode", "name": "Last", "internalsize": 1})"));
  EXPECT_EQ(DiskOffset(img, "Rue"), 10u);
  EXPECT_EQ(DiskOffset(img, "Ville"), 40u);
  EXPECT_EQ(UnitSize(img, "Adresse"), 50u);
  const Obj item = FindNamed(img, "Solde");
  EXPECT_EQ(item.U16(item.Off("nbitems")), 12u);  // takes the array's length
  EXPECT_EQ(DiskOffset(img, "Solde"), 60u);
  EXPECT_EQ(UnitSize(img, "Mois"), 96u);
  EXPECT_EQ(DiskOffset(img, "Last"), 156u);
  EXPECT_EQ(UnitSize(img, "T"), 157u);
}

TEST(CompilerLayout, ChildFlaggedWithoutSizeAddsNothingToItsParent) {
  const DicoImage img = CompileAndParse(Table(R"(
      {"isa": "VarStructInNode", "name": "S", "children": [
        {"isa": "Variable", "name": "A", "internalsize": 4},
        {"isa": "Variable", "name": "Hidden", "internalsize": 6, "internalflags": "0x80000"}]})"));
  EXPECT_EQ(UnitSize(img, "S"), 4u);
  EXPECT_EQ(UnitSize(img, "T"), 4u);
}

TEST(CompilerLayout, SegmentsAndSubLinksNamingTheirField) {
  const std::string keys = R"(, {"isa": "TitleKey", "name": "Les clefs", "children": [
        {"isa": "Key", "name": "K", "children": [
          {"isa": "Segment", "name": "S1", "field": "B"},
          {"isa": "Segment", "name": "S2", "field": "Adr/Ville", "internalsize": 3,
           "typeseg": 7}]}]},
      {"isa": "TitleLink", "name": "Les liens", "children": [
        {"isa": "Link", "name": "L", "children": [
          {"isa": "SubLink", "name": "SL", "field": "B"}]}]})";
  const DicoImage img = CompileAndParse(Table(R"(
      {"isa": "VarInNode", "name": "A", "internalsize": 4},
      {"isa": "VarInNode", "name": "B", "internalsize": 2, "nbitems": 3, "type": 15},
      {"isa": "VarStructInNode", "name": "Adr", "children": [
        {"isa": "Variable", "name": "Ville", "internalsize": 20, "type": 0}]})",
                                              "", keys));
  const Obj b = FindNamed(img, "B"), ville = FindNamed(img, "Ville");
  const Obj s1 = FindNamed(img, "S1"), s2 = FindNamed(img, "S2"), sl = FindNamed(img, "SL");
  EXPECT_EQ(s1.Field("offset"), 4u);
  EXPECT_EQ(s1.U32(base::kUnitSize), 6u);
  EXPECT_EQ(s1.U8(s1.Off("typeseg")), 15);
  EXPECT_EQ(s1.U32(base::kLinkedTo), b.Id());
  EXPECT_EQ(s2.Field("offset"), 10u);
  EXPECT_EQ(s2.U32(base::kUnitSize), 3u);  // given values win
  EXPECT_EQ(s2.U8(s2.Off("typeseg")), 7);
  EXPECT_EQ(s2.U32(base::kLinkedTo), ville.Id());
  EXPECT_EQ(sl.Field("offset"), 4u);
  EXPECT_EQ(sl.U32(base::kUnitSize), 6u);
}

struct FieldErrorCase {
  const char* segment;
  const char* message;
};

class CompilerLayoutFieldErrors : public ::testing::TestWithParam<FieldErrorCase> {};

TEST_P(CompilerLayoutFieldErrors, AreReported) {
  const std::string keys = std::string(R"(, {"isa": "TitleKey", "name": "Les clefs", "children": [
        {"isa": "Key", "name": "K", "children": [)") +
                           GetParam().segment + "]}]}";
  const std::string error = ErrorOf(Table(R"(
      {"isa": "VarInNode", "name": "A", "internalsize": 4},
      {"isa": "VarStructInNode", "name": "S1", "children": [{"isa": "Variable", "name": "X"}]},
      {"isa": "VarStructInNode", "name": "S2", "children": [{"isa": "Variable", "name": "X"}]})",
                                          "", keys));
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
  EXPECT_NE(error.find("/T/Les clefs/K/"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompilerLayoutFieldErrors,
    ::testing::Values(
        FieldErrorCase{R"({"isa": "Segment", "name": "G", "field": "Nope"})", "no field \"Nope\""},
        FieldErrorCase{R"({"isa": "Segment", "name": "G", "field": "X"})", "several fields"},
        FieldErrorCase{R"({"isa": "Segment", "name": "G", "field": "S1"})", "no field \"S1\""},
        FieldErrorCase{R"({"isa": "Segment", "name": "G", "field": "S1/Y"})",
                       "has no child named \"Y\""},
        FieldErrorCase{R"({"isa": "Segment", "name": "G", "field": "A",
                                        "offset": 2})",
                       "either \"field\" or \"offset\""}));

}  // namespace
}  // namespace tavelnor::dico::compiler_test
