// The dictionary lists: tables, fields (of a table and the fixed
// descriptions), categories; their row records, navigation, mode words and
// the choice of a data object by name.
#include "data/edata_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "btrieve/btrieve_codes.h"
#include "data/list_choice.h"
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
namespace base = dico::base;

std::string Text(const uint8_t* r, size_t offset, size_t room) {
  const char* at = reinterpret_cast<const char*>(r + offset);
  return std::string(at, strnlen(at, room));
}
int32_t I32(const uint8_t* r, size_t offset) { return record::LoadLittle<int32_t>(r + offset); }
bool ZeroFrom(const uint8_t* r, size_t from, size_t to) {
  return std::all_of(r + from, r + to, [](uint8_t b) { return b == 0; });
}

// Row descriptions: table list "name length", field list "name type size",
// category list "name label property value"; rows joined by ", ".
std::string TableRow(const uint8_t* r) { return Text(r, 0, 32) + " " + std::to_string(I32(r, 32)); }
std::string FieldRow(const uint8_t* r) {
  return Text(r, 0, 32) + " " + std::to_string(r[32]) + " " + std::to_string(I32(r, 33));
}
std::string CategoryRow(const uint8_t* r) {
  return Text(r, 0, 32) + " " + Text(r, 32, 128) + " " + std::to_string(I32(r, 160)) + " " +
         std::to_string(I32(r, 164));
}
std::string AllRows(EData& list, std::string (*row)(const uint8_t*)) {
  std::string out;
  for (int32_t pos = list.First(); pos != -1; pos = list.Next()) {
    out += (out.empty() ? "" : ", ") + row(list.RecordBuffer());
  }
  return out;
}

// Tables "Clients" (34 bytes, 16 more in the extended form), "Factures" and
// "INFOS" (both flagged 0x200), "Stock", "@Tab"; three categories, then an
// empty name that ends the list before "Ignoree".
// Clients: Num LONG 4 (precision, long header, category, limits), Nom
// ZSTRING 12 (limits), Code ZSTRING 10 (flag 0x100000), Total (Calc: not
// listed), a user-defined area with Extra UINT16, Ext DATE (extension part).
class ListsTest : public ::testing::Test {
 protected:
  ListsTest() {
    t_ = b_.AddTable("Clients");
    b_.SetWord(t_.table, base::kUnitSize, 34);
    b_.SetWord(t_.table, 71, 16);  // memory size
    const uint32_t num = b_.AddField(t_.data, "Num", record::TYPE_LONG, 4, 0);
    b_.SetByte(num, 84, 2);
    b_.SetWord(num, base::kFlags, kVariableFlagTextAsBytes);  // not a text: no effect
    b_.SetString(num, base::kHeader, std::string(140, 'h'));
    b_.SetString(num, 85, "Ident");
    SetLimits(num, "\x10\x27", "\x20\x4E");  // 10000, 20000
    SetLimits(b_.AddField(t_.data, "Nom", record::TYPE_ZSTRING, 12, 4), "ABCDEFGH", "ZYXWVUTS");
    const uint32_t code = b_.AddField(t_.data, "Code", record::TYPE_ZSTRING, 10, 16);
    b_.SetWord(code, base::kFlags, kVariableFlagTextAsBytes);
    b_.AddField(t_.data, "Total", record::TYPE_DOUBLE, 8, 0, /*Calc*/ 3);
    const uint32_t perso = b_.AddVarPerso(t_.data, "Perso", 8, 26);
    b_.AddField(perso, "Extra", record::TYPE_UINT16, 2, 26, 0, dico::kVarInPerso);
    b_.AddField(t_.data, "Ext", record::TYPE_DATE, 4, 0, /*Extension*/ 7);
    const char* names[] = {"Factures", "INFOS", "Stock", "@Tab"};
    const uint32_t sizes[] = {20, 6, 12, 0};
    for (int i = 0; i < 4; ++i) {
      const uint32_t id = b_.AddTable(names[i]).table;
      b_.SetWord(id, base::kUnitSize, sizes[i]);
      if (i < 2) b_.SetWord(id, base::kFlags, kTableFlagUnlisted | 0x1);
    }
    b_.AddCategory("Adresse", 7, 0xFE);
    b_.AddCategory("UneCategorieDeTrenteCaracteres", 0x12345678, 5);
    b_.AddCategory("Adresse", 9, 1);  // a second entry of the same name
    b_.AddCategory("", 1, 1);
    b_.AddCategory("Ignoree", 1, 1);
  }
  void SetLimits(uint32_t id, const char* min, const char* max) {
    std::memcpy(b_.Image(id) + 108, min, strlen(min));
    std::memcpy(b_.Image(id) + 116, max, strlen(max));
  }
  dico::DDicoHandler& H() {
    if (!loaded_) loaded_ = std::make_unique<LoadedDico>(b_);  // once the builder is complete
    return loaded_->h;
  }
  const dico::DRubricTable* Clients() {
    return static_cast<const dico::DRubricTable*>(H().FindById(t_.table));
  }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_;
  std::unique_ptr<LoadedDico> loaded_;
};

TEST_F(ListsTest, TableListFollowsTheModeWord) {
  // Exchange layout of Clients: Num 4, Nom 12, Code 10, Extra 2 (+ Ext 4).
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "Clients 34, Factures 20, INFOS 6, Stock 12, @Tab 0"},
      {kRubricModeExtended, "Clients 50, Factures 20, INFOS 6, Stock 12, @Tab 0"},
      {kRubricModeExchange, "Clients 28, Factures 0, INFOS 0, Stock 0, @Tab 0"},
      {kRubricModeExchange | kRubricModeExtended,
       "Clients 32, Factures 0, INFOS 0, Stock 0, @Tab 0"},
      {kRubricModeListOption, "Clients 34, INFOS 6, Stock 12, @Tab 0"},
  };
  for (const auto& [mode, rows] : cases) {
    EDataRubric list(H(), mode);
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.RecordLength(), kRubricRecordLength);
    EXPECT_EQ(AllRows(list, TableRow), rows) << mode;
    EXPECT_EQ(list.Status(), btrieve::kEndOfFile);
    EXPECT_EQ(list.RawRecordCount(true), mode == kRubricModeListOption ? 4u : 5u);
  }
}

TEST_F(ListsTest, NavigationOnEveryKind) {
  EDataRubric rubric(H(), 0);
  EDataCategory category(H());
  EDataVariable fields(Clients(), 0, RecordListKind::kTableFields);
  EDataVariable fixed(nullptr, 0, RecordListKind::kFieldListRecord);
  rubric.Load(), category.Load(), fields.Load(), fixed.Load();
  for (EDataList* list : std::initializer_list<EDataList*>{&rubric, &category, &fields, &fixed}) {
    const int32_t n = static_cast<int32_t>(list->RecordCount());
    ASSERT_GE(n, 3);
    EXPECT_EQ(list->CurrentPosition(), 0);
    EXPECT_EQ(list->Last(), n);
    const std::string last(reinterpret_cast<char*>(list->RecordBuffer()), list->RecordLength());
    EXPECT_EQ(list->Next(), -1);
    EXPECT_EQ(list->Status(), btrieve::kEndOfFile);
    EXPECT_EQ(list->CurrentPosition(), 0);
    EXPECT_EQ(std::memcmp(list->RecordBuffer(), last.data(), last.size()), 0);  // kept
    EXPECT_EQ(list->Next(), 1);                                                 // from no row
    EXPECT_EQ(list->Previous(), -1);
    EXPECT_EQ(list->Status(), btrieve::kEndOfFile);
    EXPECT_EQ(list->CurrentPosition(), 0);
    EXPECT_EQ(list->GoToRow(2), 2);
    EXPECT_EQ(list->Previous(), 1);
    EXPECT_EQ(list->Status(), 0);
    for (int32_t out : {0, -5, n + 1}) EXPECT_EQ(list->GoToRow(out), -1) << out;
    EXPECT_EQ(list->MoveToOrdinal(2), 3);
    EXPECT_EQ(list->OrdinalOf(3), 2u);
  }
}

TEST_F(ListsTest, RowsReplaceTheRecordAndFitAnAttachedBuffer) {
  EDataRubric list(H(), 0);
  list.Load();
  EXPECT_EQ(list.FindEqual(0, "Stock", 6), 4);  // after "Factures": its tail is gone
  EXPECT_TRUE(ZeroFrom(list.RecordBuffer(), 5, 32));
  uint8_t small[5] = {};
  list.SetRecordBuffer(small, 4);
  EXPECT_EQ(list.First(), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 5), std::string("Clie\0", 5));
}

TEST_F(ListsTest, FieldListOfATableUnderEachMode) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "Num 1 4, Nom 0 12, Code 14 10, Extra 16 2"},
      {kVariableModeExtended, "Num 1 4, Nom 0 12, Code 14 10, Extra 16 2, Ext 4 4"},
      {kVariableModeExchange, "Num 3 4, Nom 1 12, Code 12 10, Extra 2 2"},
      {kVariableModeExchange | kVariableModeExtended,
       "Num 3 4, Nom 1 12, Code 12 10, Extra 2 2, Ext 9 4"},
  };
  for (const auto& [mode, rows] : cases) {
    EDataVariable list(Clients(), mode, RecordListKind::kTableFields);
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.RecordLength(), kVariableRecordLength);
    EXPECT_EQ(AllRows(list, FieldRow), rows) << mode;
  }
}

TEST_F(ListsTest, FieldRowDetails) {
  EDataVariable list(Clients(), 0, RecordListKind::kTableFields);
  list.Load();
  const uint8_t* r = list.RecordBuffer();
  ASSERT_EQ(list.First(), 1);  // Num
  EXPECT_EQ(I32(r, 37), 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 41), 128), std::string(128, 'h'));
  EXPECT_EQ(Text(r, 169, 128), "Ident");
  // User-defined, has minimum, minimum (2 words), has maximum, maximum.
  const int32_t limits[] = {0, 1, 10000, 0, 1, 20000, 0};
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(I32(r, 297 + 4 * i), limits[i]) << i;

  ASSERT_EQ(list.Next(), 2);                                      // Nom: 12 bytes, limits cut to 8
  EXPECT_EQ(I32(r, 37), -1);                                      // no precision of its own
  EXPECT_EQ(Text(r, 41, 128) + "/" + Text(r, 169, 128), "Nom/");  // no header: the name
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 301), 24),
            std::string("\1\0\0\0ABCDEFGH\1\0\0\0ZYXWVUTS", 24));

  ASSERT_EQ(list.Next(), 3);  // Code: no limits
  EXPECT_TRUE(ZeroFrom(r, 297, kVariableRecordLength));
  ASSERT_EQ(list.Next(), 4);  // Extra, in the user-defined area
  EXPECT_EQ(I32(r, 297), 1);
}

TEST(FieldListWithoutTable, RefusesEveryMove) {
  EDataVariable list(nullptr, 0, RecordListKind::kTableFields);
  EXPECT_FALSE(list.Load());
  EXPECT_EQ(list.Status(), btrieve::kFileNotOpen);
  EXPECT_EQ(list.RecordCount(), 0u);
  for (auto move : {&EDataList::First, &EDataList::Last, &EDataList::Next, &EDataList::Previous}) {
    list.SetStatus(0);
    EXPECT_EQ((list.*move)(), -1);
    EXPECT_EQ(list.Status(), btrieve::kFileNotOpen);
  }
}

TEST_F(ListsTest, CategoryRows) {
  EDataCategory list(H());
  ASSERT_TRUE(list.Load());
  EXPECT_EQ(list.RecordLength(), kCategoryRecordLength);
  // The empty name ends the list; values and label are found by name (the
  // first "Adresse"); without translations the label is the name.
  EXPECT_EQ(AllRows(list, CategoryRow),
            "Adresse Adresse -2 7, UneCategorieDeTrenteCaracteres "
            "UneCategorieDeTrenteCaracteres 5 305419896, Adresse Adresse -2 7");
  EXPECT_EQ(list.Last(), 3);

  DicoTestBuilder empty;
  LoadedDico loaded(empty);
  EDataCategory none(loaded.h);
  EXPECT_TRUE(none.Load());
  EXPECT_EQ(none.Last(), -1);
  EXPECT_EQ(none.Status(), btrieve::kEndOfFile);
}

}  // namespace
}  // namespace tavelnor::data
