// The data table end to end on files the embedded record manager creates:
// navigation, key ranges, shared files, counts, variable-length parts,
// writes, imports and the failures of opening.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "btrieve/btrieve_codes.h"
#include "data/table_test_dico.h"

namespace tavelnor::data {
namespace {

using testing::ClientRow;
using testing::kClientsLength;
using testing::kMemoSlot;
using testing::kNoteSlot;
using testing::NumOf;
using testing::TableTest;

using Nums = std::vector<int32_t>;

// A Stat answer with 42 records: key 0 of two segments, key 1 a null key
// whose own count is 7.
TEST(StatRecordCount, NullAndManualKeysCountTheirOwnEntries) {
  std::vector<uint8_t> stat(16 + 3 * 16, 0);
  stat[4] = 2;
  stat[6] = 42;
  stat[16 + 4] = 0x10;  // key 0, first segment: more follow
  stat[48 + 4] = 0x08;  // key 1: null key
  stat[48 + 6] = 7;
  EXPECT_EQ(StatRecordCount(stat, -1), 42u);
  EXPECT_EQ(StatRecordCount(stat, 0), 42u);
  EXPECT_EQ(StatRecordCount(stat, 1), 7u);
  stat[48 + 4] = 0x00;
  stat[48 + 5] = 0x02;  // manual key
  EXPECT_EQ(StatRecordCount(stat, 1), 7u);
  EXPECT_EQ(StatRecordCount(stat, 2), 0u) << "a key the file does not have";
  stat.resize(40);
  EXPECT_EQ(StatRecordCount(stat, 1), 0u) << "an answer cut short";
}

// --- navigation ------------------------------------------------------------------

TEST_F(TableTest, KeyRangeBoundsNavigationAndCounts) {
  auto t = OpenTable(company_.clients, "CLIENTS.DAT");
  FillClients(*t, 10);
  // Key 0 from 3 to 7 inclusive.
  const int32_t low = 3, high = 7;
  ASSERT_GE(t->SetKeyRange(0, reinterpret_cast<const uint8_t*>(&low), 4,
                           reinterpret_cast<const uint8_t*>(&high), 4),
            0);
  EXPECT_EQ(Walk(*t), (Nums{3, 4, 5, 6, 7}));
  EXPECT_EQ(t->Status(), btrieve::kEndOfFile);
  EXPECT_EQ(NumOf(t->RecordBuffer()), 0) << "stepping past the high bound clears the record";
  EXPECT_EQ(t->CurrentPosition(), -1);
  EXPECT_EQ(t->RecordCount(true), 5u);
  EXPECT_EQ(t->RawRecordCount(true), 10u);

  t->SetBoundsExclusive(true, true);
  EXPECT_EQ(Walk(*t), (Nums{4, 5, 6}));
  EXPECT_EQ(t->RecordCount(), 3u);
  ASSERT_NE(t->Last(), -1);
  EXPECT_EQ(NumOf(t->RecordBuffer()), 6);

  // Partial values on the name key: names from "C" to "E".
  t->SetKeyRange(1, reinterpret_cast<const uint8_t*>("C"), 1,
                 reinterpret_cast<const uint8_t*>("E\xFF"), 2);
  const Nums named = Walk(*t);
  ASSERT_FALSE(named.empty());
  for (int32_t n : named) {
    const char first = static_cast<char>('A' + (n * 7) % 10);
    EXPECT_TRUE(first >= 'C' && first <= 'E') << n;
  }
  EXPECT_EQ(t->RecordCount(true), named.size()) << "duplicates are counted by walking";

  std::vector<uint8_t> too_long(300, 'a');
  EXPECT_EQ(t->SetKeyRange(1, too_long.data(), 300, nullptr, 0), -1);
  EXPECT_EQ(t->Status(), btrieve::kKeyBufferTooShort);
  EXPECT_EQ(Walk(*t), named) << "a refused range keeps the previous one";
}

TEST_F(TableTest, FilterSkipsRowsAndOrdinalsFollowTheKey) {
  auto t = OpenTable(company_.clients, "CLIENTS.DAT");
  FillClients(*t, 9);
  ASSERT_GE(t->SetKeyRange(0, nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(t->OrdinalOf(t->MoveToOrdinal(4)), 4u);
  EXPECT_EQ(NumOf(t->RecordBuffer()), 5);
  t->SetFilter([](const uint8_t* r, size_t) { return NumOf(r) % 3 == 0; });
  EXPECT_EQ(Walk(*t), (Nums{3, 6, 9}));
  EXPECT_EQ(t->RecordCount(true), 3u);
  ASSERT_NE(t->Last(), -1);
  ASSERT_NE(t->Previous(), -1);
  EXPECT_EQ(NumOf(t->RecordBuffer()), 6);

  // A long skip asks the thread's cancel callback from the sixth pass on.
  t->SetFilter([](const uint8_t* r, size_t) { return NumOf(r) == 9; });
  int asked = 0;
  SetThreadCancelCallback([&asked] { return ++asked >= 2; });
  EXPECT_EQ(t->First(), -1);
  SetThreadCancelCallback(nullptr);
  EXPECT_EQ(t->Status(), btrieve::kEndOfFile);
  EXPECT_EQ(asked, 2);
  EXPECT_NE(t->First(), -1) << "without the callback the walk reaches the row";
}

TEST_F(TableTest, OrdinalsFollowTheHostsFormulaOverThePercentages) {
  auto t = OpenTable(company_.clients, "CLIENTS.DAT");
  FillClients(*t, 10);
  ASSERT_GE(t->SetKeyRange(0, nullptr, 0, nullptr, 0), 0);
  // Percentages run from 0 (the first row) to 10000 (the last); the ordinal
  // a host sees is raw count x percentage / 10000, truncated, so the last of
  // ten rows is 10, not 9.
  const int32_t last = t->Last();
  ASSERT_NE(last, -1);
  EXPECT_EQ(t->OrdinalOf(last), 10u);
  EXPECT_EQ(t->OrdinalOf(t->First()), 0u);
  // MoveToOrdinal(n) asks for n / raw count x 10000: 7 of 10 asks 7000, and
  // the row that answers at least that (7778 among 0, 1111, ... 10000) is
  // the eighth.
  ASSERT_NE(t->MoveToOrdinal(7), -1);
  EXPECT_EQ(NumOf(t->RecordBuffer()), 8);
}

TEST_F(TableTest, AKeyAddedToTheFileOrdersLikeADictionaryKey) {
  auto t = OpenTable(company_.clients, "CLIENTS.DAT");
  FillClients(*t, 4);
  const int32_t key = t->CreateFileKey({"Ville", "Num"}, false);
  ASSERT_EQ(key, 2) << t->Status();
  ASSERT_NE(t->KeyDescFor(2), nullptr);
  EXPECT_EQ(t->KeyDescFor(2)->segments.size(), 2u);
  ASSERT_GE(t->SetKeyRange(2, reinterpret_cast<const uint8_t*>("Lyon"), 4, nullptr, 0), 0);
  EXPECT_EQ(Walk(*t), (Nums{2, 4}));
  EXPECT_EQ(t->CreateFileKey({"Inconnu"}), -1);
  EXPECT_EQ(t->Status(), btrieve::kInvalidKeyNumber);
}

// --- shared files ------------------------------------------------------------------

TEST_F(TableTest, TablesSharingAFileKeepTheirOwnPosition) {
  OpenTable(company_.clients, "CLIENTS.DAT");  // creates the file
  {
    auto filler = OpenTable(company_.clients, "CLIENTS.DAT");
    FillClients(*filler, 6);
  }
  const Chaine path(PathOf("CLIENTS.DAT"));
  EDataTable a, b;
  ASSERT_TRUE(a.OpenShared(loaded_.h, company_.clients.table, path, 0, 0, false, false));
  ASSERT_TRUE(b.OpenShared(loaded_.h, company_.clients.table, path, 0, 0, false, false));
  EXPECT_EQ(a.File(), b.File());
  EXPECT_EQ(DataContext::Process().UseCount(a.File()), 2);
  a.SetKeyRange(0, nullptr, 0, nullptr, 0);
  b.SetKeyRange(1, nullptr, 0, nullptr, 0);
  ASSERT_NE(a.First(), -1);
  ASSERT_NE(a.Next(), -1);  // a on 2
  ASSERT_NE(b.Last(), -1);  // b on the last name (5, "F")
  ASSERT_NE(a.Next(), -1);
  EXPECT_EQ(NumOf(a.RecordBuffer()), 3);
  ASSERT_NE(b.Previous(), -1);
  EXPECT_EQ(NumOf(b.RecordBuffer()), 4);

  // A table holding the file shuts the other out with 861.
  ASSERT_TRUE(a.BeginExclusive());
  EXPECT_EQ(b.First(), 0);
  EXPECT_EQ(b.Status(), kStatusFileHeld);
  EXPECT_EQ(b.Insert(), -1);
  EXPECT_EQ(b.Status(), kStatusFileHeld);
  ASSERT_FALSE(reports_.reports().empty());
  EXPECT_EQ(reports_.reports().back().status, kStatusFileHeld);
  a.EndExclusive();
  EXPECT_NE(b.First(), -1);

  // Reopening through the cache keeps the file shared.
  ASSERT_TRUE(b.Reopen(false));
  EXPECT_EQ(b.File(), a.File());
  EXPECT_EQ(DataContext::Process().UseCount(a.File()), 2);
  EXPECT_NE(b.Next(), -1);
}

// --- opening ---------------------------------------------------------------------------

TEST_F(TableTest, OpeningCreatesRefusesAndChecksTheRecordLength) {
  EDataTable t;
  EXPECT_FALSE(t.Open(Def(company_.clients), Chaine(PathOf("NEW.DAT")), kOpenNoCreate));
  EXPECT_EQ(t.Status(), 12);
  EXPECT_FALSE(std::filesystem::exists(PathOf("NEW.DAT")));

  EXPECT_TRUE(t.Open(Def(company_.clients), Chaine(PathOf("NEW.DAT")), 0, false, "SECRET"));
  EXPECT_TRUE(std::filesystem::exists(PathOf("NEW.DAT")));
  EXPECT_EQ(t.RecordLength(), kClientsLength);

  // A file of another layout under the dictionary's table: 22, file kept open.
  OpenTable(company_.familles, "OTHER.DAT");
  EDataTable wrong;
  EXPECT_FALSE(wrong.Open(Def(company_.clients), Chaine(PathOf("OTHER.DAT"))));
  EXPECT_EQ(wrong.Status(), btrieve::kDataBufferTooShort);
  EXPECT_TRUE(wrong.IsOpen());

  EDataTable unopened;
  EXPECT_EQ(unopened.First(), -1);
  EXPECT_EQ(unopened.Status(), btrieve::kFileNotOpen);
}

// --- writing -----------------------------------------------------------------------------

TEST_F(TableTest, UpdateDeleteAndDeleteAllKeepCountsRight) {
  auto t = OpenTable(company_.clients, "CLIENTS.DAT");
  FillClients(*t, 5);
  ASSERT_GE(t->SetKeyRange(0, nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(t->RecordCount(), 5u);
  ASSERT_NE(t->First(), -1);
  std::strcpy(reinterpret_cast<char*>(t->RecordBuffer() + 24), "Nantes");
  ASSERT_NE(t->Update(), -1);
  ASSERT_NE(t->Next(), -1);
  EXPECT_EQ(NumOf(t->RecordBuffer()), 2) << "the update kept the position";
  ASSERT_TRUE(t->Delete());
  EXPECT_EQ(t->CurrentPosition(), -1);
  EXPECT_EQ(t->RecordCount(), 4u);
  EXPECT_EQ(Walk(*t), (Nums{1, 3, 4, 5}));
  ASSERT_NE(t->First(), -1);
  EXPECT_STREQ(reinterpret_cast<const char*>(t->RecordBuffer() + 24), "Nantes");
  EXPECT_FALSE(t->Delete(-1) && t->Delete(-1)) << "a second delete has no row";

  ASSERT_TRUE(t->DeleteAll());
  EXPECT_EQ(t->RawRecordCount(true), 0u);
  EXPECT_EQ(t->First(), -1);
}

TEST_F(TableTest, InsertLeavesTheNewRowCurrentAndTakesAutoincrementValues) {
  auto t = OpenTable(company_.journal, "JOURNAL.DAT");
  for (const char* text : {"un", "deux", "trois"}) {
    std::vector<uint8_t> row(16, 0);
    std::strcpy(reinterpret_cast<char*>(row.data()), text);
    const int32_t pos = t->InsertFrom(row.data(), row.size());
    ASSERT_NE(pos, -1) << t->Status();
    EXPECT_EQ(pos, t->CurrentPosition());
  }
  ASSERT_NE(t->Previous(), -1);
  EXPECT_STREQ(reinterpret_cast<const char*>(t->RecordBuffer()), "deux");
  EXPECT_EQ(t->RawRecordCount(true), 3u);

  // Autoincrement values reach the record.
  auto counter = OpenTable(company_.compteur, "COMPTEUR.DAT");
  for (int32_t v : {10, 20}) {
    std::vector<uint8_t> row(8, 0);
    std::memcpy(row.data() + 4, &v, 4);
    ASSERT_NE(counter->InsertFrom(row.data(), row.size()), -1);
    EXPECT_EQ(NumOf(counter->RecordBuffer()), v / 10);
  }
}

// --- variable-length parts -------------------------------------------------------------------

TEST_F(TableTest, VariablePartsSurviveUpdatesAndShorterPartsCutLongerOnes) {
  auto t = OpenTable(company_.clients, "CLIENTS.DAT");
  const std::string memo(20000, 'm');  // three 8192-byte pieces
  std::vector<uint8_t> row = ClientRow(1, "A");
  uint8_t* record = t->RecordBuffer();
  std::memcpy(record, row.data(), row.size());
  ASSERT_TRUE(record::AssignVarPart(record + kMemoSlot, memo));
  ASSERT_TRUE(record::AssignVarPart(record + kNoteSlot, "note"));
  ASSERT_NE(t->Insert(), -1) << t->Status();
  t->ClearRecord();
  ASSERT_NE(t->First(), -1);
  EXPECT_EQ(record::ReadVarPart(record + kMemoSlot), memo);
  EXPECT_EQ(record::ReadVarPart(record + kNoteSlot), "note");
  EXPECT_EQ(record::VarPartFlags(record + kMemoSlot) & record::kVarPartModified, 0);

  // An update without touching the parts keeps them.
  std::strcpy(reinterpret_cast<char*>(record + 24), "Lille");
  ASSERT_NE(t->Update(), -1);
  ASSERT_NE(t->First(), -1);
  EXPECT_EQ(record::ReadVarPart(record + kMemoSlot), memo);

  ASSERT_TRUE(record::AssignVarPart(record + kMemoSlot, "court"));
  ASSERT_NE(t->Update(), -1);
  ASSERT_NE(t->First(), -1);
  EXPECT_EQ(record::ReadVarPart(record + kMemoSlot), "court");
  EXPECT_EQ(record::ReadVarPart(record + kNoteSlot), "note");

  // Without the option the parts are not read.
  auto bare = OpenTable(company_.clients, "CLIENTS.DAT", false);
  ASSERT_NE(bare->First(), -1);
  EXPECT_EQ(record::VarPartLength(bare->RecordBuffer() + kMemoSlot), 0u);
  EXPECT_STREQ(reinterpret_cast<const char*>(bare->RecordBuffer() + 24), "Lille");
}

// --- import --------------------------------------------------------------------------------------

TEST_F(TableTest, ImportInsertsUpdatesAndCountsUnchangedRows) {
  auto t = OpenTable(company_.clients, "CLIENTS.DAT");
  FillClients(*t, 2);
  ImportContext ctx;
  ctx.key_number = 0;
  t->ImportRecord(ClientRow(1, "B", "Paris", 1).data(), ctx);   // as stored
  t->ImportRecord(ClientRow(2, "X", "Brest", 2).data(), ctx);   // changed
  t->ImportRecord(ClientRow(3, "Y", "Metz", 0).data(), ctx);    // new
  EXPECT_EQ(ctx.unchanged, 1u);
  EXPECT_EQ(ctx.updated, 1u);
  EXPECT_EQ(ctx.inserted, 1u);
  EXPECT_EQ(ctx.rejected, 0u);
  const int32_t two = 2;
  ASSERT_NE(t->FindEqual(0, &two, 4), -1);
  EXPECT_STREQ(reinterpret_cast<const char*>(t->RecordBuffer() + 24), "Brest");

  // A second insert of an existing number fails in the record manager.
  ImportContext plain;
  plain.language = 2055;
  t->ImportRecord(ClientRow(3, "Z").data(), plain);
  EXPECT_EQ(plain.rejected, 1u);
  EXPECT_EQ(plain.message, "BTrieve 5-Fehler beim Einf\xFCgen.");
}

}  // namespace
}  // namespace tavelnor::data
