// A small company for the data table tests, and a fixture that opens its
// tables over files the embedded record manager creates in a scratch folder.
//
// "Clients" (60 bytes, variable-length records):
//   Num LONG @0, Nom ZSTRING 20 @4, Ville ZSTRING 16 @24, Famille LONG @40,
//   Memo BLOBTEXT @44, Note BLOB @52
//   key 0 "ParNum" Num (unique), key 1 "ParNom" Nom (duplicates)
//   link "VersFamille": Famille -> Familles key 0
// "Familles" (32 bytes): Code LONG @0, Libelle ZSTRING 28 @4; key 0 on Code
// "Journal" (16 bytes): Texte ZSTRING 16 @0; no key
// "Compteur" (8 bytes): Id LONG @0 autoincrement key, Valeur LONG @4
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/btrv_test_support.h"
#include "data/data_context.h"
#include "data/edata_table.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "record/blob_value.h"
#include "record/type_codes.h"

namespace tavelnor::data::testing {

namespace base = dico::base;
using dico::testing::DicoTestBuilder;
using dico::testing::LoadedDico;

inline constexpr uint32_t kClientsLength = 60;
inline constexpr uint32_t kMemoSlot = 44, kNoteSlot = 52;

struct CompanyDico {
  CompanyDico() {
    namespace rt = record;
    clients = b.AddTable("Clients");
    Table(clients, kClientsLength, 0x1);
    const uint32_t num = b.AddField(clients.data, "Num", rt::TYPE_LONG, 4, 0);
    const uint32_t nom = b.AddField(clients.data, "Nom", rt::TYPE_ZSTRING, 20, 4);
    b.AddField(clients.data, "Ville", rt::TYPE_ZSTRING, 16, 24);
    b.AddField(clients.data, "Famille", rt::TYPE_LONG, 4, 40);
    b.AddField(clients.data, "Memo", rt::TYPE_BLOBTEXT, 8, kMemoSlot);
    b.AddField(clients.data, "Note", rt::TYPE_BLOB, 8, kNoteSlot);
    b.AddTypedSegment(b.AddKey(clients.keys, "ParNum", 0), num, 0, 4, 0x0100, rt::TYPE_LONG);
    b.AddTypedSegment(b.AddKey(clients.keys, "ParNom", 0x0003), nom, 4, 20, 0x0103,
                      rt::TYPE_ZSTRING);

    familles = b.AddTable("Familles");
    Table(familles, 32, 0);
    const uint32_t code = b.AddField(familles.data, "Code", rt::TYPE_LONG, 4, 0);
    b.AddField(familles.data, "Libelle", rt::TYPE_ZSTRING, 28, 4);
    familles_key = b.AddKey(familles.keys, "ParCode", 0);
    b.AddTypedSegment(familles_key, code, 0, 4, 0x0100, rt::TYPE_LONG);

    link = b.AddLink(clients.links, "VersFamille", familles.table, familles_key);
    const uint32_t part = b.Add(dico::kSubLink, link, "");
    b.SetWord(part, 67, 40);
    b.SetWord(part, base::kUnitSize, 4);

    journal = b.AddTable("Journal");
    Table(journal, 16, 0);
    b.AddField(journal.data, "Texte", rt::TYPE_ZSTRING, 16, 0);

    compteur = b.AddTable("Compteur");
    Table(compteur, 8, 0);
    const uint32_t id = b.AddField(compteur.data, "Id", rt::TYPE_LONG, 4, 0);
    b.AddField(compteur.data, "Valeur", rt::TYPE_LONG, 4, 4);
    b.AddTypedSegment(b.AddKey(compteur.keys, "ParId", 0x10), id, 0, 4, 0x0100, rt::TYPE_LONG);
  }
  void Table(const DicoTestBuilder::Table& t, uint32_t length, uint32_t flags) {
    b.SetWord(t.table, base::kUnitSize, length);
    b.SetWord(t.table, base::kFlags, flags);
    b.SetWord(t.table, 67, 1024);
  }

  DicoTestBuilder b;
  DicoTestBuilder::Table clients, familles, journal, compteur;
  uint32_t familles_key = 0, link = 0;
};

// A client row: number, name, town, family.
inline std::vector<uint8_t> ClientRow(int32_t num, const char* nom, const char* ville = "",
                                      int32_t famille = 0) {
  std::vector<uint8_t> r(kClientsLength, 0);
  std::memcpy(r.data(), &num, 4);
  std::strncpy(reinterpret_cast<char*>(r.data() + 4), nom, 19);
  std::strncpy(reinterpret_cast<char*>(r.data() + 24), ville, 15);
  std::memcpy(r.data() + 40, &famille, 4);
  return r;
}

inline int32_t NumOf(const uint8_t* record) {
  int32_t v = 0;
  std::memcpy(&v, record, 4);
  return v;
}

class TableTest : public ::testing::Test {
 protected:
  const dico::DRubricTable* Def(const DicoTestBuilder::Table& t) {
    return static_cast<const dico::DRubricTable*>(loaded_[t.table]);
  }
  std::string PathOf(const char* name) const { return folder_.Path(name); }
  // A table opened alone over `file` in the scratch folder.
  std::unique_ptr<EDataTable> OpenTable(const DicoTestBuilder::Table& t, const char* file,
                                        bool parts = true) {
    auto table = std::make_unique<EDataTable>();
    table->SetVariablePartsOption(parts);
    EXPECT_TRUE(table->Open(Def(t), Chaine(PathOf(file)))) << table->Status();
    return table;
  }
  // Clients 1..n named by one letter, Lyon for the even ones, family n % 3.
  void FillClients(EDataTable& t, int n) {
    for (int i = 1; i <= n; ++i) {
      const std::string nom(1, static_cast<char>('A' + (i * 7) % n));
      ASSERT_NE(t.InsertFrom(ClientRow(i, nom.c_str(), i % 2 ? "Paris" : "Lyon", i % 3).data(),
                             kClientsLength),
                -1)
          << t.Status();
    }
  }
  // The Num of every row from First with Next.
  static std::vector<int32_t> Walk(EData& t) {
    std::vector<int32_t> nums;
    for (int32_t pos = t.First(); pos != -1; pos = t.Next()) nums.push_back(NumOf(t.RecordBuffer()));
    return nums;
  }

  RegistrySandbox registry_;
  ReportRecorder reports_;
  ScratchFolder folder_;
  CompanyDico company_;
  LoadedDico loaded_{company_.b};
};

}  // namespace tavelnor::data::testing
