// The demo company built by "tavelnor demo", browsed and exported as a user
// would: no command touches the data folder, the SQLite database carries
// the keys and links of the dictionary without a broken reference, and
// every value of every format matches the stored records.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tool/export_check.h"
#include "tool/tool_fixture.h"

namespace tavelnor::tool::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Column(sqlite3* db, const std::string& sql, int column) {
  std::vector<std::string> out;
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
  while (st != nullptr && sqlite3_step(st) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    out.emplace_back(text ? text : "");
  }
  sqlite3_finalize(st);
  return out;
}

TEST_F(ToolTest, DemoCompanyIsReadWithoutATouchAndExportedWhole) {
  const fs::path folder = fs::path(Folder()) / "demo-export";
  fs::remove_all(folder);
  const std::string company = (folder / "company").string();
  const std::string out = (folder / "export").string();
  const ToolRun built = Run({"demo", "--out", company});
  ASSERT_EQ(built.code, 0) << built.err;
  const std::string dico = company + "/tavelnor-demo.dic";
  const auto before = FolderSnapshot(company);

  const std::vector<std::vector<std::string>> commands = {
      {"tables", dico},
      {"fields", dico, "Factures"},
      {"keys", dico, "Ecritures"},
      {"dump", dico, "Clients", "--limit", "5"},
      {"dump", dico, "Factures", "--key", "FacDate", "--from", "2022-03-01", "--limit", "3"},
      {"dump", dico, "Clients", "--where", "Ville=Lyon", "--format", "jsonl"},
      {"export", dico, out},
  };
  for (const auto& args : commands) {
    const ToolRun run = Run(args);
    EXPECT_EQ(run.code, 0) << args[0] << " " << run.err;
    EXPECT_EQ(FolderSnapshot(company), before) << args[0] << " changed the data folder";
  }

  sqlite3* db = nullptr;
  const std::string database = out + "/tavelnor-demo.sqlite";
  ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  EXPECT_EQ(Column(db, "PRAGMA foreign_key_check", 0), std::vector<std::string>{})
      << "every link of the demo company finds its record";
  // Keys and links as the dictionary declares them.
  EXPECT_EQ(Column(db, "SELECT name FROM pragma_table_info('LignesFacture') WHERE pk > 0 ORDER BY pk", 0),
            (std::vector<std::string>{"NumeroFacture", "NumeroLigne"}));
  EXPECT_EQ(Column(db, "SELECT \"table\" || '.' || \"to\" FROM pragma_foreign_key_list('LignesFacture') "
                       "ORDER BY 1", 0),
            (std::vector<std::string>{"Articles.CodeArticle", "Factures.NumeroFacture"}));
  EXPECT_EQ(Column(db, "SELECT \"unique\" FROM pragma_index_list('Clients') WHERE name = 'Clients_CliNom'", 0),
            std::vector<std::string>{"0"})
      << "a key with duplicates gets a plain index";
  EXPECT_EQ(Column(db, "SELECT name || ' ' || \"unique\" FROM pragma_index_list('Ecritures') "
                       "ORDER BY name", 0),
            (std::vector<std::string>{"Ecritures_EcrCompte 0", "Ecritures_EcrJournal 1"}))
      << "the first unique key is the primary key, each other key an index";
  EXPECT_EQ(Column(db, "SELECT label FROM _tavelnor_fields WHERE table_name = 'Parametres' "
                       "AND column_name = 'Siret'", 0),
            std::vector<std::string>{"SIRET"});
  sqlite3_close(db);

  EXPECT_GT(CheckExportAgainstRecords(dico, out, database), 3 * 50000)
      << "the demo company has tens of thousands of records";
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tavelnor::tool::testing
