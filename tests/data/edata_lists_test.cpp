// The dictionary lists: tables, fields (of a table and the fixed
// descriptions), categories; their row records, navigation, mode words and
// the choice of a data object by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/edata_lists.h"
#include "data/list_choice.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "record/byte_form.h"
#include "record/type_codes.h"
#include "tavelnor/zavl.h"

namespace tavelnor::data {
namespace {

using dico::testing::DicoTestBuilder;
using dico::testing::LoadedDico;
using record::LoadLittle;
namespace base = dico::base;

// A text field of a list record: up to its first zero, within `room` bytes.
std::string TextAt(const uint8_t* record, size_t offset, size_t room) {
  const char* at = reinterpret_cast<const char*>(record + offset);
  return std::string(at, strnlen(at, room));
}

struct FieldRow {
  std::string name;
  int type;
  int32_t size;
};

FieldRow HeadOf(EData& list) {
  const uint8_t* r = list.RecordBuffer();
  return {TextAt(r, 0, 32), r[32], LoadLittle<int32_t>(r + 33)};
}

// Tables "Clients" (34 bytes, 16 more in the extended form), "Factures" and
// "INFOS" (both flagged 0x200), "Stock", "@Tab"; three categories, then an
// empty name that ends the list before "Ignoree".
//
// Clients: Num LONG 4 @0 (precision 2, header, category, min and max),
// Nom ZSTRING 12 @4 (min and max), Code ZSTRING 10 @16 (flag 0x100000),
// Total DOUBLE 8 (class Calc: not listed), Perso area of 8 bytes @26 with
// Extra UINT16 2 (user-defined), Ext DATE 4 (extension part).
class ListsTest : public ::testing::Test {
 protected:
  ListsTest() {
    t_ = b_.AddTable("Clients");
    b_.SetWord(t_.table, base::kUnitSize, 34);
    b_.SetWord(t_.table, 71, 16);  // memory size
    num_ = b_.AddField(t_.data, "Num", record::TYPE_LONG, 4, 0);
    b_.SetByte(num_, 84, 2);
    b_.SetWord(num_, base::kFlags, kVariableFlagTextAsBytes);  // not a text: no effect
    b_.SetString(num_, base::kHeader, "Numero du client");
    b_.SetString(num_, 85, "Ident");
    SetLimits(num_, {0x10, 0x27}, {0x20, 0x4E});
    nom_ = b_.AddField(t_.data, "Nom", record::TYPE_ZSTRING, 12, 4);
    SetLimits(nom_, {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}, {'Z', 'Y', 'X', 'W', 'V', 'U', 'T', 'S'});
    const uint32_t code = b_.AddField(t_.data, "Code", record::TYPE_ZSTRING, 10, 16);
    b_.SetWord(code, base::kFlags, kVariableFlagTextAsBytes);
    b_.AddField(t_.data, "Total", record::TYPE_DOUBLE, 8, 0, /*class Calc*/ 3);
    const uint32_t perso = b_.AddVarPerso(t_.data, "Perso", 8, 26);
    b_.AddField(perso, "Extra", record::TYPE_UINT16, 2, 26, 0, dico::kVarInPerso);
    b_.AddField(t_.data, "Ext", record::TYPE_DATE, 4, 0, /*class Extension*/ 7);

    const auto factures = b_.AddTable("Factures");
    b_.SetWord(factures.table, base::kFlags, kTableFlagUnlisted);
    b_.SetWord(factures.table, base::kUnitSize, 20);
    const auto infos = b_.AddTable("INFOS");
    b_.SetWord(infos.table, base::kFlags, kTableFlagUnlisted | 0x1);
    b_.SetWord(infos.table, base::kUnitSize, 6);
    b_.SetWord(b_.AddTable("Stock").table, base::kUnitSize, 12);
    b_.AddTable("@Tab");

    b_.AddCategory("Adresse", 7, 0xFE);
    b_.AddCategory("UneCategorieDeTrenteCaracteres", 0x12345678, 5);
    b_.AddCategory("Adresse", 9, 1);  // a second entry of the same name
    b_.AddCategory("", 1, 1);
    b_.AddCategory("Ignoree", 1, 1);
  }

  void SetLimits(uint32_t id, std::vector<uint8_t> min, std::vector<uint8_t> max) {
    std::memcpy(b_.Image(id) + 108, min.data(), min.size());
    std::memcpy(b_.Image(id) + 116, max.data(), max.size());
  }

  LoadedDico& Loaded() {
    if (!loaded_) loaded_ = std::make_unique<LoadedDico>(b_);
    return *loaded_;
  }
  const dico::DRubricTable* Clients() {
    return static_cast<const dico::DRubricTable*>(Loaded()[t_.table]);
  }
  std::vector<FieldRow> Rows(EData& list) {
    std::vector<FieldRow> rows;
    for (int32_t pos = list.First(); pos != -1; pos = list.Next()) rows.push_back(HeadOf(list));
    return rows;
  }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_;
  uint32_t num_ = 0, nom_ = 0;
  std::unique_ptr<LoadedDico> loaded_;
};

// --- table list ------------------------------------------------------------------

TEST_F(ListsTest, TableListLengthsFollowTheModeWord) {
  struct Case {
    uint32_t mode;
    std::vector<std::string> names;
    uint32_t clients_length;
  };
  const std::vector<std::string> all = {"Clients", "Factures", "INFOS", "Stock", "@Tab"};
  const std::vector<std::string> listed = {"Clients", "INFOS", "Stock", "@Tab"};
  // Exchange layout of Clients: Num 4, Nom 12, Code 10, Extra 2 (and Ext 4
  // in the extended form).
  const Case cases[] = {
      {0, all, 34},
      {kRubricModeExtended, all, 50},
      {kRubricModeExchange, all, 28},
      {kRubricModeExchange | kRubricModeExtended, all, 32},
      {kRubricModeListOption, listed, 34},
  };
  for (const Case& c : cases) {
    EDataRubric list(Loaded().h, c.mode);
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.Status(), 0);
    EXPECT_EQ(list.RecordCount(), c.names.size()) << c.mode;
    EXPECT_EQ(list.RawRecordCount(true), c.names.size()) << c.mode;
    EXPECT_EQ(list.RecordLength(), kRubricRecordLength);
    std::vector<std::string> names;
    for (int32_t pos = list.First(); pos != -1; pos = list.Next()) {
      names.push_back(TextAt(list.RecordBuffer(), 0, 32));
      if (names.back() == "Clients") {
        EXPECT_EQ(LoadLittle<uint32_t>(list.RecordBuffer() + 32), c.clients_length) << c.mode;
      }
    }
    EXPECT_EQ(names, c.names) << c.mode;
    EXPECT_EQ(list.Status(), kStatusEndOfData);
  }
}

TEST_F(ListsTest, TableListRowsCarryTheirOwnLength) {
  EDataRubric list(Loaded().h, 0);
  list.Load();
  ASSERT_EQ(list.GoToRow(4), 4);
  EXPECT_EQ(TextAt(list.RecordBuffer(), 0, 32), "Stock");
  EXPECT_EQ(LoadLittle<uint32_t>(list.RecordBuffer() + 32), 12u);
  ASSERT_EQ(list.GoTo(3), 3);
  EXPECT_EQ(TextAt(list.RecordBuffer(), 0, 32), "INFOS");
  EXPECT_EQ(LoadLittle<uint32_t>(list.RecordBuffer() + 32), 6u);
}

// --- navigation, shared by the three kinds ------------------------------------------

TEST_F(ListsTest, NavigationOnEveryKind) {
  std::vector<std::unique_ptr<EDataList>> lists;
  lists.push_back(std::make_unique<EDataRubric>(Loaded().h, 0));
  lists.push_back(std::make_unique<EDataCategory>(Loaded().h));
  lists.push_back(std::make_unique<EDataVariable>(Clients(), 0, RecordListKind::kTableFields));
  lists.push_back(std::make_unique<EDataVariable>(nullptr, 0, RecordListKind::kFieldListRecord));
  for (auto& list : lists) {
    if (auto* r = dynamic_cast<EDataRubric*>(list.get())) r->Load();
    if (auto* c = dynamic_cast<EDataCategory*>(list.get())) c->Load();
    if (auto* v = dynamic_cast<EDataVariable*>(list.get())) v->Load();
    const int32_t n = static_cast<int32_t>(list->RowCount());
    ASSERT_GE(n, 3);
    EXPECT_EQ(list->CurrentPosition(), 0);

    EXPECT_EQ(list->Last(), n);
    EXPECT_EQ(list->Status(), 0);
    const std::vector<uint8_t> last(list->RecordBuffer(), list->RecordBuffer() + list->RecordLength());
    EXPECT_EQ(list->Next(), -1);
    EXPECT_EQ(list->Status(), kStatusEndOfData);
    EXPECT_EQ(list->CurrentPosition(), 0);
    // A failed move leaves the record as it was.
    EXPECT_EQ(std::memcmp(list->RecordBuffer(), last.data(), last.size()), 0);

    EXPECT_EQ(list->Next(), 1);  // from no current row
    EXPECT_EQ(list->Previous(), -1);
    EXPECT_EQ(list->Status(), kStatusEndOfData);
    EXPECT_EQ(list->CurrentPosition(), 0);

    EXPECT_EQ(list->GoToRow(2), 2);
    EXPECT_EQ(list->Previous(), 1);
    EXPECT_EQ(list->Status(), 0);
    EXPECT_EQ(list->GoToRow(0), -1);
    EXPECT_EQ(list->GoToRow(n + 1), -1);
    EXPECT_EQ(list->Status(), kStatusEndOfData);
    EXPECT_EQ(list->GoToRow(-5), -1);

    EXPECT_EQ(list->MoveToOrdinal(2), 3);
    EXPECT_EQ(list->OrdinalOf(3), 2u);
    EXPECT_EQ(list->OrdinalOf(n + 7), static_cast<uint32_t>(n));
  }
}

TEST_F(ListsTest, RowsOverwriteTheWholeRecord) {
  EDataRubric list(Loaded().h, 0);
  list.Load();
  list.First();  // "Clients"
  std::memset(list.RecordBuffer(), 0x5A, list.RecordLength());
  list.GoToRow(4);  // "Stock": shorter name, bytes after it zero
  EXPECT_EQ(TextAt(list.RecordBuffer(), 0, 32), "Stock");
  for (size_t i = 5; i < 32; ++i) EXPECT_EQ(list.RecordBuffer()[i], 0) << i;
}

TEST_F(ListsTest, ShortAttachedBufferGetsTheRowStart) {
  EDataRubric list(Loaded().h, 0);
  list.Load();
  uint8_t small[5] = {};
  list.SetRecordBuffer(small, 4);
  EXPECT_EQ(list.First(), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 4), "Clie");
  EXPECT_EQ(small[4], 0);
}

TEST_F(ListsTest, SearchesWalkTheRows) {
  EDataRubric list(Loaded().h, 0);
  list.Load();
  EXPECT_EQ(list.FindEqual(0, "Stock", 6), 4);
  EXPECT_EQ(list.FindEqual(0, "Nowhere", 8), -1);
}

// --- field list of a table -------------------------------------------------------------

TEST_F(ListsTest, FieldListOfATable) {
  struct Case {
    uint32_t mode;
    std::vector<FieldRow> rows;
  };
  const int kDate = record::TYPE_DATE;
  const Case cases[] = {
      {0, {{"Num", 1, 4}, {"Nom", 0, 12}, {"Code", 14, 10}, {"Extra", 16, 2}}},
      {kVariableModeExtended,
       {{"Num", 1, 4}, {"Nom", 0, 12}, {"Code", 14, 10}, {"Extra", 16, 2}, {"Ext", kDate, 4}}},
      {kVariableModeExchange,
       {{"Num", ZAVL_FT_INTEGER, 4}, {"Nom", ZAVL_FT_STRING, 12}, {"Code", ZAVL_FT_BYTES, 10},
        {"Extra", ZAVL_FT_SMALLINT, 2}}},
      {kVariableModeExchange | kVariableModeExtended,
       {{"Num", ZAVL_FT_INTEGER, 4}, {"Nom", ZAVL_FT_STRING, 12}, {"Code", ZAVL_FT_BYTES, 10},
        {"Extra", ZAVL_FT_SMALLINT, 2}, {"Ext", ZAVL_FT_DATE, 4}}},
  };
  for (const Case& c : cases) {
    EDataVariable list(Clients(), c.mode, RecordListKind::kTableFields);
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.RecordLength(), kVariableRecordLength);
    EXPECT_EQ(list.RecordCount(), c.rows.size());
    const std::vector<FieldRow> rows = Rows(list);
    ASSERT_EQ(rows.size(), c.rows.size()) << c.mode;
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].name, c.rows[i].name) << c.mode << " row " << i;
      EXPECT_EQ(rows[i].type, c.rows[i].type) << c.mode << " " << rows[i].name;
      EXPECT_EQ(rows[i].size, c.rows[i].size) << c.mode << " " << rows[i].name;
    }
  }
}

TEST_F(ListsTest, FieldRowDetails) {
  EDataVariable list(Clients(), 0, RecordListKind::kTableFields);
  list.Load();
  const uint8_t* r = list.RecordBuffer();

  ASSERT_EQ(list.First(), 1);  // Num
  EXPECT_EQ(LoadLittle<int32_t>(r + 37), 2);
  EXPECT_EQ(TextAt(r, 41, 128), "Numero du client");
  EXPECT_EQ(TextAt(r, 169, 128), "Ident");
  EXPECT_EQ(LoadLittle<uint32_t>(r + 297), 0u);
  EXPECT_EQ(LoadLittle<uint32_t>(r + 301), 1u);
  EXPECT_EQ(LoadLittle<uint32_t>(r + 305), 10000u);  // 4 bytes of the 8 stored
  EXPECT_EQ(LoadLittle<uint32_t>(r + 309), 0u);
  EXPECT_EQ(LoadLittle<uint32_t>(r + 313), 1u);
  EXPECT_EQ(LoadLittle<uint32_t>(r + 317), 20000u);

  ASSERT_EQ(list.Next(), 2);  // Nom: 12 bytes, limits cut to 8
  EXPECT_EQ(LoadLittle<int32_t>(r + 37), -1);  // no precision of its own
  EXPECT_EQ(TextAt(r, 41, 128), "Nom");        // no header: the name
  EXPECT_EQ(TextAt(r, 169, 128), "");
  EXPECT_EQ(LoadLittle<uint32_t>(r + 301), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 305), 8), "ABCDEFGH");
  EXPECT_EQ(LoadLittle<uint32_t>(r + 313), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 317), 8), "ZYXWVUTS");

  ASSERT_EQ(list.Next(), 3);  // Code: no limits
  EXPECT_EQ(LoadLittle<uint32_t>(r + 301), 0u);
  EXPECT_EQ(LoadLittle<uint64_t>(r + 305), 0u);
  EXPECT_EQ(LoadLittle<uint32_t>(r + 313), 0u);

  ASSERT_EQ(list.Next(), 4);  // Extra, in the user-defined area
  EXPECT_EQ(TextAt(r, 0, 32), "Extra");
  EXPECT_EQ(LoadLittle<uint32_t>(r + 297), 1u);
}

TEST_F(ListsTest, LongTextsStayInTheirPlaces) {
  const std::string header(140, 'h');
  b_.SetString(num_, base::kHeader, header);
  const std::string long_name(40, 'n');
  b_.AddField(t_.data, long_name, record::TYPE_LONG, 4, 30);
  EDataVariable list(Clients(), 0, RecordListKind::kTableFields);
  list.Load();
  const uint8_t* r = list.RecordBuffer();
  list.First();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 41), 128), header.substr(0, 128));
  EXPECT_EQ(TextAt(r, 169, 128), "Ident");
  list.Last();
  EXPECT_EQ(TextAt(r, 0, 32), long_name.substr(0, 31));
  EXPECT_EQ(r[31], 0);
  EXPECT_EQ(r[32], record::TYPE_LONG);
}

TEST_F(ListsTest, TextFlaggedAsBytesCoversEveryTextCode) {
  const int texts[] = {0, 7, 9, 10, 21, 24, 25, 128, 135, 136, 137, 138, 143, 145, 146, 149,
                       153, 157, 161};
  for (int code = 0; code < 256; ++code) {
    const bool listed = std::find(std::begin(texts), std::end(texts), code) != std::end(texts);
    EXPECT_EQ(IsListedTextType(code), listed) << code;
  }
}

TEST_F(ListsTest, FieldListWithoutTableHasNothingToList) {
  EDataVariable list(nullptr, 0, RecordListKind::kTableFields);
  EXPECT_FALSE(list.Load());
  EXPECT_EQ(list.Status(), kStatusNotOpen);
  EXPECT_EQ(list.RecordCount(), 0u);
  for (int32_t (EDataList::*move)() : {&EDataList::First, &EDataList::Last, &EDataList::Next,
                                       &EDataList::Previous}) {
    list.SetStatus(0);
    EXPECT_EQ((list.*move)(), -1);
    EXPECT_EQ(list.Status(), kStatusNotOpen);
  }
  EXPECT_EQ(list.GoToRow(1), -1);
  EXPECT_EQ(list.Status(), kStatusNotOpen);
}

// --- fixed descriptions -------------------------------------------------------------------

TEST_F(ListsTest, FixedDescriptions) {
  struct Case {
    RecordListKind kind;
    uint32_t mode;
    std::vector<FieldRow> rows;
  };
  const Case cases[] = {
      {RecordListKind::kTableListRecord, 0, {{"szName", 0, 32}, {"nSize", 18, 4}}},
      {RecordListKind::kFieldListRecord,
       0,
       {{"szName", 0, 32}, {"nType", 18, 1}, {"nSize", 18, 4}, {"bVarPerso", 19, 4},
        {"szDisplayName", 0, 128}, {"szCategory", 0, 128}, {"nPrecision", 18, 4},
        {"tValMin", 14, 8}, {"tValMax", 14, 8}}},
      {RecordListKind::kCategoryListRecord,
       0,
       {{"szID", 0, 32}, {"szDisplayName", 0, 128}, {"nPrecision", 18, 4}, {"nSize", 18, 4}}},
      {RecordListKind::kFieldListRecord,
       kVariableModeExchange,
       {{"szName", ZAVL_FT_STRING, 32}, {"nType", ZAVL_FT_INTEGER, 4},
        {"nSize", ZAVL_FT_INTEGER, 4}, {"bVarPerso", ZAVL_FT_BOOLEAN, 1},
        {"szDisplayName", ZAVL_FT_STRING, 128}, {"szCategory", ZAVL_FT_STRING, 128},
        {"nPrecision", ZAVL_FT_INTEGER, 4}, {"tValMin", ZAVL_FT_BYTES, 8},
        {"tValMax", ZAVL_FT_BYTES, 8}}},
  };
  for (const Case& c : cases) {
    EDataVariable list(nullptr, c.mode, c.kind);
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.RecordCount(), c.rows.size());
    const std::vector<FieldRow> rows = Rows(list);
    ASSERT_EQ(rows.size(), c.rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].name, c.rows[i].name);
      EXPECT_EQ(rows[i].type, c.rows[i].type) << rows[i].name;
      EXPECT_EQ(rows[i].size, c.rows[i].size) << rows[i].name;
    }
    ASSERT_EQ(list.Last(), static_cast<int32_t>(c.rows.size()));
    EXPECT_EQ(HeadOf(list).name, c.rows.back().name);
    // Nothing beyond name, type and size.
    const uint8_t* r = list.RecordBuffer();
    EXPECT_TRUE(std::all_of(r + 37, r + kVariableRecordLength, [](uint8_t b) { return b == 0; }));
  }
}

// --- category list ---------------------------------------------------------------------------

TEST_F(ListsTest, CategoryRows) {
  EDataCategory list(Loaded().h);
  ASSERT_TRUE(list.Load());
  EXPECT_EQ(list.RecordCount(), 3u);  // the empty name ends the list
  EXPECT_EQ(list.RecordLength(), kCategoryRecordLength);
  struct Row {
    std::string name;
    int32_t property;
    uint32_t value;
  };
  const Row expected[] = {{"Adresse", -2, 7},
                          {"UneCategorieDeTrenteCaracteres", 5, 0x12345678},
                          {"Adresse", -2, 7}};  // found by name: the first entry's values
  for (int32_t row = 1; row <= 3; ++row) {
    ASSERT_EQ(list.GoToRow(row), row);
    const uint8_t* r = list.RecordBuffer();
    const Row& e = expected[row - 1];
    EXPECT_EQ(TextAt(r, 0, 32), e.name);
    EXPECT_EQ(TextAt(r, 32, 128), e.name);  // no translation: the label is the name
    EXPECT_EQ(LoadLittle<int32_t>(r + 160), e.property);
    EXPECT_EQ(LoadLittle<uint32_t>(r + 164), e.value);
  }
  EXPECT_EQ(list.Last(), 3);
}

TEST(CategoryListEmpty, NoCategoryGivesNoRow) {
  DicoTestBuilder b;
  LoadedDico loaded(b);
  EDataCategory list(loaded.h);
  ASSERT_TRUE(list.Load());
  EXPECT_EQ(list.Status(), 0);
  EXPECT_EQ(list.RecordCount(), 0u);
  EXPECT_EQ(list.First(), -1);
  EXPECT_EQ(list.Status(), kStatusEndOfData);
  EXPECT_EQ(list.Last(), -1);
}

// --- choosing by name ----------------------------------------------------------------------------

TEST_F(ListsTest, ChoosingByName) {
  struct Case {
    const char* name;
    ListChoice choice;
    bool with_table;
    RecordListKind kind;
    uint32_t rows;
  };
  const Case cases[] = {
      {"", ListChoice::kRubric, false, RecordListKind::kTableFields, 5},
      {"@", ListChoice::kCategory, false, RecordListKind::kTableFields, 3},
      {"@Tab", ListChoice::kTable, true, RecordListKind::kTableFields, 0},
      {"@Nope", ListChoice::kTable, false, RecordListKind::kTableFields, 0},
      {"#", ListChoice::kVariable, false, RecordListKind::kFieldListRecord, 9},
      {"#@", ListChoice::kVariable, false, RecordListKind::kCategoryListRecord, 4},
      {"##", ListChoice::kVariable, false, RecordListKind::kTableListRecord, 2},
      {"##Clients", ListChoice::kVariable, false, RecordListKind::kTableListRecord, 2},
      {"#Clients", ListChoice::kVariable, true, RecordListKind::kTableFields, 4},
      {"#Nope", ListChoice::kRefused, false, RecordListKind::kTableFields, 0},
      {"#Systeme", ListChoice::kRefused, false, RecordListKind::kTableFields, 0},
      {"#@Tab", ListChoice::kVariable, true, RecordListKind::kTableFields, 0},
      {"#@Nope", ListChoice::kRefused, false, RecordListKind::kTableFields, 0},
      {"Clients", ListChoice::kTable, true, RecordListKind::kTableFields, 0},
      {"S", ListChoice::kTable, false, RecordListKind::kTableFields, 0},
      {"Systeme", ListChoice::kTable, false, RecordListKind::kTableFields, 0},
  };
  for (const Case& c : cases) {
    ChosenObject chosen = ChooseDataObject(Loaded().h, c.name, ListOpenFlags{});
    EXPECT_EQ(chosen.choice, c.choice) << c.name;
    EXPECT_EQ(chosen.table != nullptr, c.with_table) << c.name;
    const bool list = c.choice != ListChoice::kTable && c.choice != ListChoice::kRefused;
    EXPECT_EQ(chosen.object != nullptr, list) << c.name;
    if (!list) continue;
    EXPECT_EQ(chosen.status, 0) << c.name;
    EXPECT_EQ(chosen.object->RecordCount(), c.rows) << c.name;
    if (c.choice == ListChoice::kVariable) {
      auto* variable = dynamic_cast<EDataVariable*>(chosen.object.get());
      ASSERT_NE(variable, nullptr) << c.name;
      EXPECT_EQ(variable->ListKind(), c.kind) << c.name;
      EXPECT_EQ(variable->ListedTable(), chosen.table) << c.name;
    }
  }
  EXPECT_NE(dynamic_cast<EDataRubric*>(ChooseDataObject(Loaded().h, "", {}).object.get()), nullptr);
  EXPECT_NE(dynamic_cast<EDataCategory*>(ChooseDataObject(Loaded().h, "@", {}).object.get()),
            nullptr);
}

TEST_F(ListsTest, ModeWordsFromTheOpenFlags) {
  struct Case {
    uint32_t schema, open, rubric, variable;
  };
  const Case cases[] = {
      {0, 0, 0, 0},
      {SCHEMA_EXCHANGE, 0, 0x1, 0x1},
      {SCHEMA_LIST_OPTION, 0, 0x2, 0},
      {SCHEMA_EXTENDED_FILES, 0, 0x4, 0x2},
      {0, DATA_EXTENDED_FILE, 0x4, 0x2},
      {SCHEMA_EXCHANGE | SCHEMA_LIST_OPTION | SCHEMA_QUIET, DATA_NO_VARIABLE_PART, 0x3, 0x1},
  };
  for (const Case& c : cases) {
    const ListOpenFlags flags = ListFlagsFrom(c.schema, c.open);
    EXPECT_EQ(RubricModeWord(flags), c.rubric) << c.schema << "/" << c.open;
    EXPECT_EQ(VariableModeWord(flags), c.variable) << c.schema << "/" << c.open;
  }
  // The words reach the objects.
  const ListOpenFlags all = ListFlagsFrom(SCHEMA_EXCHANGE | SCHEMA_LIST_OPTION, DATA_EXTENDED_FILE);
  ChosenObject rubric = ChooseDataObject(Loaded().h, "", all);
  EXPECT_EQ(static_cast<EDataRubric*>(rubric.object.get())->Mode(), 0x7u);
  EXPECT_EQ(rubric.object->RecordCount(), 4u);
  ChosenObject fields = ChooseDataObject(Loaded().h, "#Clients", all);
  EXPECT_EQ(static_cast<EDataVariable*>(fields.object.get())->Mode(), 0x3u);
  EXPECT_EQ(fields.object->RecordCount(), 5u);
}

}  // namespace
}  // namespace tavelnor::data
