// Dictionary compiler: tree fields, identifiers, strings, countries and
// macros, categories, paths and translations, checked on the parsed bytes.
#include <gtest/gtest.h>

#include "dico/compiler_test_support.h"

namespace tavelnor::dico::compiler_test {
namespace {

TEST(CompilerTree, SiblingsParentsAndAutomaticIdsFollowTreeOrder) {
  const DicoImage img = CompileAndParse(R"({"root": {"isa": "Dico", "name": "D", "children": [
      {"isa": "Rubric", "name": "A", "children": [{"isa": "TitleData", "name": "Lesdonnees"}]},
      {"isa": "Rubric", "name": "B"}]}})");
  const Obj root = FindNamed(img, "D"), a = FindNamed(img, "A"), b = FindNamed(img, "B");
  const Obj data = FindNamed(img, "Lesdonnees");
  ASSERT_TRUE(root && a && b && data);
  EXPECT_EQ(root.Id(), 1u);
  EXPECT_EQ(a.Id(), 2u);
  EXPECT_EQ(data.Id(), 3u);
  EXPECT_EQ(b.Id(), 4u);
  EXPECT_EQ(img.last_id, 4u);
  EXPECT_EQ(root.U32(base::kParent), 0u);
  EXPECT_EQ(root.U32(base::kFirstChild), 2u);
  EXPECT_EQ(a.U32(base::kParent), 1u);
  EXPECT_EQ(a.U32(base::kNextSibling), 4u);
  EXPECT_EQ(a.U32(base::kFirstChild), 3u);
  EXPECT_EQ(b.U32(base::kNextSibling), 0u);
  EXPECT_EQ(b.U32(base::kFirstChild), 0u);
  EXPECT_EQ(data.U32(base::kParent), 2u);
  // Objects go to the array of their kind.
  EXPECT_EQ(img.Count(kDico), 1u);
  EXPECT_EQ(img.Count(kRubricTable), 2u);
  EXPECT_EQ(img.Count(kTitleData), 1u);
}

TEST(CompilerTree, AutomaticIdsSkipExplicitOnesAndStartAfterLastId) {
  const DicoImage free_run = CompileAndParse(R"({"root": {"isa": "Dico", "children": [
      {"isa": "Rubric", "name": "A"}, {"isa": "Rubric", "name": "B", "accel": "0x2"},
      {"isa": "Rubric", "name": "C"}]}})");
  EXPECT_EQ(ObjectAt(free_run, kDico, 0).Id(), 3u);  // after the highest explicit id
  EXPECT_EQ(FindNamed(free_run, "A").Id(), 4u);
  EXPECT_EQ(FindNamed(free_run, "B").Id(), 2u);
  EXPECT_EQ(FindNamed(free_run, "C").Id(), 5u);
  EXPECT_EQ(free_run.last_id, 5u);

  const DicoImage after_last = CompileAndParse(R"({"lastid": 10, "root": {"isa": "Dico",
      "children": [{"isa": "Rubric", "name": "A"}, {"isa": "Rubric", "name": "B", "accel": 12},
      {"isa": "Rubric", "name": "C"}]}})");
  EXPECT_EQ(ObjectAt(after_last, kDico, 0).Id(), 11u);
  EXPECT_EQ(FindNamed(after_last, "A").Id(), 13u);
  EXPECT_EQ(FindNamed(after_last, "C").Id(), 14u);
  EXPECT_EQ(after_last.last_id, 14u);

  // An explicit last identifier above every object is kept as it is.
  const DicoImage kept = CompileAndParse(R"({"lastid": 500, "root": {"isa": "Dico", "accel": 7}})");
  EXPECT_EQ(kept.last_id, 500u);
}

TEST(CompilerStrings, ReferencesForBuiltinEmptyAbsentAndPooledTexts) {
  const DicoImage img = CompileAndParse(R"({"root": {"isa": "Dico", "name": "Racine",
      "header": "", "children": [
      {"isa": "System", "name": "Systeme", "header": "Système", "desc": "Commun"},
      {"isa": "Rubric", "name": "T", "header": "Commun", "ddfname": "Fichier",
       "@absent": ["ddfname"], "deffilename": "Commun"}]}})");
  const Obj root = ObjectAt(img, kDico, 0);
  const Obj sys = ObjectAt(img, kSystem, 0);
  const Obj table = ObjectAt(img, kRubricTable, 0);
  EXPECT_EQ(sys.Ref(base::kName), -14);    // "Systeme", built-in 12
  EXPECT_EQ(sys.Ref(base::kHeader), -15);  // "Système" converted to Windows-1252
  EXPECT_EQ(root.Ref(base::kHeader), -1);
  EXPECT_EQ(root.Ref(base::kDesc), 0);
  EXPECT_EQ(table.Ref(base::kDdfName), 0);  // listed in @absent
  // One pool copy of "Commun" for the three fields that use it.
  const int32_t shared = sys.Ref(base::kDesc);
  EXPECT_GT(shared, 0);
  EXPECT_EQ(table.Ref(base::kHeader), shared);
  EXPECT_EQ(table.Field("deffilename"), static_cast<uint32_t>(shared));
  EXPECT_EQ(Text(img, shared), "Commun");
  // The pool starts with a zero byte and then follows array order: the root's
  // name (array 0), the table's texts (array 1), the system rubric's (array 2).
  ASSERT_GE(img.pool.size(), 2u);
  EXPECT_EQ(img.pool[0], 0);
  EXPECT_EQ(root.Ref(base::kName), 1);
  const std::string expected("\0Racine\0T\0Commun\0", 17);
  EXPECT_EQ(std::string(img.pool.begin(), img.pool.end()), expected);
}

TEST(CompilerValues, CreationValuesNumbersAndFlagClearing) {
  const DicoImage img = CompileAndParse(R"({"root": {"isa": "Dico", "children": [
      {"isa": "Rubric", "name": "T", "flags": "0x10001", "internalflags": "0x2a0006",
       "reserved56": 5, "altid": "0x20"},
      {"isa": "Variable", "name": "V", "type": "", "precision": "-1", "class": "Calc",
       "min": "-10", "max": 99, "fieldid": true},
      {"isa": "Variable", "name": "W"},
      {"isa": "Segment", "name": "S"}, {"isa": "VarArray", "name": "A"}]}})");
  const Obj root = ObjectAt(img, kDico, 0);
  EXPECT_EQ(root.U16(root.Off("nativelanguage")), 1036u);
  const Obj t = ObjectAt(img, kRubricTable, 0);
  EXPECT_EQ(t.Field("pagesize"), 512u);
  EXPECT_EQ(t.U32(base::kFlags), 0x10001u);
  EXPECT_EQ(t.U32(base::kInternalFlags), 0x80000u);  // run-time and ownership bits cleared
  EXPECT_EQ(t.U32(base::kReserved56), 5u);
  EXPECT_EQ(t.U32(base::kAltId), 0x20u);
  const Obj v = FindNamed(img, "V"), w = FindNamed(img, "W");
  EXPECT_EQ(v.U8(v.Off("type")), 0);
  EXPECT_EQ(v.Field("class"), 3u);
  EXPECT_EQ(v.U16(v.Off("fieldid")), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(v.p + v.Off("min")), 3), "-10");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(v.p + v.Off("max")), 3),
            std::string("99\0", 3));
  EXPECT_EQ(w.U8(w.Off("type")), 0xFF);
  EXPECT_EQ(static_cast<int8_t>(w.U8(w.Off("precision"))), -1);
  EXPECT_EQ(static_cast<int8_t>(w.U8(w.Off("masterindex"))), -1);
  EXPECT_EQ(w.U16(w.Off("nbitems")), 1u);
  EXPECT_EQ(FindNamed(img, "S").U8(FindNamed(img, "S").Off("typeseg")), 0xFF);
  EXPECT_EQ(FindNamed(img, "A").U16(FindNamed(img, "A").Off("nbitems")), 1u);
}

// Countries 1..13 given in the name index; the object names some of them.
TEST(CompilerCountries, BitsFollowTheCodes) {
  const DicoImage img = CompileAndParse(R"({
      "countries": ["C1", "C2", "C3", "C4", "C5", "C6", "C7", "C8", "C9", "C10", "C11", "C12",
                    "C13"],
      "root": {"isa": "Dico", "children": [
        {"isa": "Rubric", "name": "Six", "countries": "C6"},
        {"isa": "Rubric", "name": "Seven", "countries": "C7"},
        {"isa": "Rubric", "name": "Thirteen", "countries": "C13"},
        {"isa": "Rubric", "name": "One", "countries": ["C1"], "countriesexclude": "true"},
        {"isa": "Rubric", "name": "Extra", "countries": "C14,C15"},
        {"isa": "Rubric", "name": "None", "countriesexclude": "false"}]}})");
  auto bytes = [&](const char* name) {
    const Obj o = FindNamed(img, name);
    return std::pair<int, int>(o.U8(base::kCountries), o.U8(base::kCountries + 1));
  };
  EXPECT_EQ(bytes("Six"), std::make_pair(0x81, 0x00));
  EXPECT_EQ(bytes("Seven"), std::make_pair(0x80, 0x80));
  EXPECT_EQ(bytes("Thirteen"), std::make_pair(0x80, 0x02));
  EXPECT_EQ(bytes("One"), std::make_pair(0x80 | 0x40 | 0x20, 0x00));
  EXPECT_EQ(bytes("Extra"), std::make_pair(0x80, 0x00));  // codes 14: no bit
  EXPECT_EQ(bytes("None"), std::make_pair(0x00, 0x00));
  ASSERT_EQ(img.name_index.size(), 15u);
  EXPECT_EQ(img.name_index[12].name, "C13");
  EXPECT_EQ(img.name_index[12].value, 13);
  EXPECT_EQ(img.name_index[13].name, "C14");
  EXPECT_EQ(img.name_index[13].value, 14);
  EXPECT_EQ(img.name_index[14].value, 14);
}

TEST(CompilerCountries, NameIndexOrderAndLowestFreeCodes) {
  const DicoImage img = CompileAndParse(R"({
      "nameindex": [{"name": "Suisse", "value": 2}, {"name": "@Paie", "value": 16}],
      "countries": ["France"], "macros": ["Compta"],
      "root": {"isa": "Dico", "macros": "Paie,Stock", "countries": "Belgique,Suisse"}})");
  ASSERT_EQ(img.name_index.size(), 6u);
  const std::pair<std::string, int> expected[] = {{"Suisse", 2},   {"@Paie", 16},   {"France", 1},
                                                  {"@Compta", 15}, {"Belgique", 3}, {"@Stock", 17}};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(img.name_index[i].name, expected[i].first) << i;
    EXPECT_EQ(img.name_index[i].value, expected[i].second) << i;
  }
  const Obj root = ObjectAt(img, kDico, 0);
  EXPECT_EQ(root.U8(base::kMacros), 0x2 | 0x4);  // Paie code 2, Stock code 3
  EXPECT_EQ(root.U8(base::kCountries), 0x80 | (0x40 >> 3) | (0x40 >> 2));
}

TEST(CompilerCategories, FieldsAtTheirOffsets) {
  const DicoImage img = CompileAndParse(R"({"categories": [
      {"name": "Montant", "value": 7, "flag": 1},
      {"name": "Libellé", "value": "0x10", "extra": "ab00cd"}],
      "root": {"isa": "Dico"}})");
  ASSERT_EQ(img.CategoryCount(), 2u);
  const uint8_t* c0 = img.categories.data();
  const uint8_t* c1 = c0 + kCategorySize;
  EXPECT_STREQ(reinterpret_cast<const char*>(c0), "Montant");
  EXPECT_EQ(LoadLE32(c0 + 31), 7u);
  EXPECT_EQ(c0[35], 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(c1), "Libell\xE9");
  EXPECT_EQ(LoadLE32(c1 + 31), 16u);
  EXPECT_EQ(c1[36], 0xAB);
  EXPECT_EQ(c1[37], 0x00);
  EXPECT_EQ(c1[38], 0xCD);
  EXPECT_EQ(c1[256], 0);
}

TEST(CompilerPaths, LinkedToAndLinkedKeyResolveNamesFromTheRoot) {
  const DicoImage img = CompileAndParse(R"({"root": {"isa": "Dico", "children": [
      {"isa": "Rubric", "name": "Clients", "accel": 100, "children": [
        {"isa": "TitleData", "name": "Lesdonnees", "children": [
          {"isa": "VarInNode", "name": "Code", "accel": 101}]},
        {"isa": "TitleKey", "name": "Les clefs", "children": [
          {"isa": "Key", "name": "CliCode", "accel": 102}]}]},
      {"isa": "Rubric", "name": "Factures", "children": [
        {"isa": "TitleLink", "name": "Les liens", "children": [
          {"isa": "Link", "name": "L", "linkedto": "/Clients",
           "linkedkey": "Clients/Les clefs/CliCode"}]},
        {"isa": "SubLink", "name": "ById", "linkedto": "101"},
        {"isa": "SubLink", "name": "ByPath", "linkedto": "Clients/Lesdonnees/Code"}]}]}})");
  const Obj link = FindNamed(img, "L");
  EXPECT_EQ(link.U32(base::kLinkedTo), 100u);
  EXPECT_EQ(link.Field("linkedkey"), 102u);
  EXPECT_EQ(FindNamed(img, "ById").U32(base::kLinkedTo), 101u);
  EXPECT_EQ(FindNamed(img, "ByPath").U32(base::kLinkedTo), 101u);
}

TEST(CompilerTranslations, InlineAndTopLevelTextsGoToTheTranslationFile) {
  auto compiled = Compile(R"({"categories": [{"name": "Montant"}],
      "root": {"isa": "Dico", "accel": 1, "translations": {"header": {"de": "Wurzel"}},
        "children": [{"isa": "Rubric", "name": "T", "accel": 2,
                      "translations": {"desc": {"en": "Table", "1031": "Tabelle"}}}]},
      "translations": {"OXADico": {"T": {"header": {"en": "Table T"}},
                                   "1": {"desc": {"fr": "Racine"}}},
                       "Categories": {"Montant": {"de": "Betrag"}}}})");
  ASSERT_TRUE(compiled.ok()) << compiled.status().message();
  EXPECT_TRUE(compiled->has_translations);
  const TranslationFile& t = compiled->translations;
  auto text = [&](std::string_view section, std::string_view path, uint16_t lang) {
    auto item = t.Find(section, path);
    return item ? std::string(item->Text(lang)) : std::string("(none)");
  };
  EXPECT_EQ(text("OXADico", "1.header", kLangGerman), "Wurzel");
  EXPECT_EQ(text("OXADico", "1.desc", kLangFrench), "Racine");
  EXPECT_EQ(text("OXADico", "2.desc", kLangEnglish), "Table");
  EXPECT_EQ(text("OXADico", "2.desc", 1031), "Tabelle");
  EXPECT_EQ(text("OXADico", "2.header", kLangEnglish), "Table T");
  EXPECT_EQ(text("Categories", "Montant", kLangGerman), "Betrag");

  auto none = Compile(R"({"root": {"isa": "Dico"}})");
  ASSERT_TRUE(none.ok());
  EXPECT_FALSE(none->has_translations);
  EXPECT_TRUE(none->translations.empty());
}

}  // namespace
}  // namespace tavelnor::dico::compiler_test
