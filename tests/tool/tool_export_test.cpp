// "tavelnor export": the files it writes, and its SQLite database checked
// against the records read here through the exported interface.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "browse/text_codec.h"
#include "tavelnor/zavl.h"
#include "tool/export_check.h"
#include "tool/tool_fixture.h"

namespace tavelnor::tool::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// One SQLite row as the texts and types SQLite gives.
struct SqlValue {
  int type = SQLITE_NULL;
  std::string text;
  int64_t integer = 0;
  double real = 0;
};

std::vector<std::vector<SqlValue>> Query(sqlite3* db, const std::string& sql) {
  std::vector<std::vector<SqlValue>> rows;
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
  while (st != nullptr && sqlite3_step(st) == SQLITE_ROW) {
    std::vector<SqlValue> row;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      SqlValue v;
      v.type = sqlite3_column_type(st, i);
      v.integer = sqlite3_column_int64(st, i);
      v.real = sqlite3_column_double(st, i);
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      if (text != nullptr) v.text.assign(text, static_cast<size_t>(sqlite3_column_bytes(st, i)));
      row.push_back(v);
    }
    rows.push_back(row);
  }
  sqlite3_finalize(st);
  return rows;
}

TEST_F(ToolTest, ExportWritesEveryTableAndTheDatabaseHoldsTheRecords) {
  const fs::path out = fs::path(Folder()) / "export" / "nested";
  const ToolRun run = Run({"export", Dictionary(), out.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("exported 3 of 3 tables"), std::string::npos) << run.out;
  EXPECT_TRUE(run.err.empty()) << "no progress bar when standard error is no terminal: " << run.err;

  // The CSV and JSON Lines files hold what "dump" prints.
  for (const char* table : {"Clients", "Familles", "Journal"}) {
    for (const char* format : {"csv", "jsonl"}) {
      const ToolRun dump = Run({"dump", Dictionary(), table, "--format", format});
      ASSERT_EQ(dump.code, 0) << dump.err;
      EXPECT_EQ(ReadFile(out / (std::string(table) + "." + format)), dump.out) << table;
    }
  }
  EXPECT_EQ(ReadFile(out / "Journal.csv"), "Texte\r\n") << "a table without records";
  EXPECT_EQ(ReadFile(out / "Familles.csv"), "Code,Libelle,Remises[1],Remises[2],Remises[3]\r\n")
      << "the elements of an array get columns of their own";

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((out / "shop.sqlite").string().c_str(), &db, SQLITE_OPEN_READONLY,
                            nullptr),
            SQLITE_OK);
  std::map<std::string, std::string> types;
  for (const auto& row : Query(db, "PRAGMA table_info(\"Clients\")")) types[row[1].text] = row[2].text;
  EXPECT_EQ(types["Numero"], "INTEGER");
  EXPECT_EQ(types["Naissance"], "TEXT");
  EXPECT_EQ(types["Lettre"], "TEXT") << "rich text is text";
  EXPECT_EQ(Query(db, "SELECT count(*) FROM \"Journal\"")[0][0].integer, 0);
  EXPECT_EQ(Query(db, "PRAGMA table_info(\"Familles\")").size(), 5u);
  EXPECT_EQ(Query(db, "SELECT typeof(Solde), Solde FROM \"Clients\" WHERE Code = 'C001'")[0][1].text,
            "1234.50")
      << "an amount keeps its exact decimal text";
  sqlite3_close(db);

  // Every value of every format against the stored bytes.
  EXPECT_EQ(CheckExportAgainstRecords(Dictionary(), out.string(), (out / "shop.sqlite").string()),
            3 * 12 * static_cast<long long>(Clients().size()));

  // A second export replaces the database rather than failing on its tables.
  const ToolRun again = Run({"export", Dictionary(), out.string()});
  EXPECT_EQ(again.code, 0) << again.err;
}

TEST_F(ToolTest, ReadsTheDataWithoutWritingBesideItAndNamesWhatFailed) {
  // The data files elsewhere than the dictionary says, one of them missing.
  const fs::path copy = fs::path(Folder()) / "elsewhere";
  fs::remove_all(copy);
  fs::create_directories(copy);
  for (const char* file : {"CLIENTS.DAT", "FAMILLES.DAT"}) {
    fs::copy_file(fs::path(Folder()) / file, copy / file);
  }
  const auto before = FolderSnapshot(copy.string());
  const fs::path out = fs::path(Folder()) / "export-elsewhere";
  fs::remove_all(out);

  const ToolRun tables = Run({"tables", Dictionary(), "--data", copy.string()});
  EXPECT_EQ(tables.code, 0) << tables.err;
  EXPECT_NE(tables.out.find("Journal\t16\t" + (copy / "JOURNAL.DAT").string() + "\tno\t\n"),
            std::string::npos)
      << tables.out;
  const ToolRun dump = Run({"dump", Dictionary(), "Journal", "--data", copy.string()});
  EXPECT_EQ(dump.code, 1);
  EXPECT_NE(dump.err.find((copy / "JOURNAL.DAT").string() + " does not exist"), std::string::npos)
      << dump.err;
  const ToolRun run = Run({"export", Dictionary(), out.string(), "--data", copy.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("exported 2 of 3 tables, " + std::to_string(Clients().size()) +
                         " records, to " + out.string() + "; 1 table failed: Journal"),
            std::string::npos)
      << run.out;
  EXPECT_FALSE(fs::exists(out / "Journal.csv")) << "a failed table leaves no file";
  EXPECT_EQ(FolderSnapshot(copy.string()), before) << "nothing created or changed beside the data";

  // --file names a table's file; --tables and --formats choose what is written.
  const fs::path out2 = fs::path(Folder()) / "export-chosen";
  fs::remove_all(out2);
  const ToolRun chosen =
      Run({"export", Dictionary(), out2.string(), "--data", copy.string(), "--file",
           "journal=" + (fs::path(Folder()) / "JOURNAL.DAT").string(), "--tables",
           "Journal,Clients", "--formats", "jsonl"});
  EXPECT_EQ(chosen.code, 0) << chosen.err;
  std::vector<std::string> written;
  for (const auto& entry : fs::directory_iterator(out2)) {
    written.push_back(entry.path().filename().string());
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"Clients.jsonl", "Journal.jsonl"}));
  EXPECT_EQ(FolderSnapshot(copy.string()), before);
  const ToolRun bad = Run({"export", Dictionary(), out2.string(), "--formats", "csv,xml"});
  EXPECT_EQ(bad.code, 2);
}

TEST_F(ToolTest, ExportOfAMissingDictionaryFailsWithTheLibraryCode) {
  const ToolRun run = Run({"export", Folder() + "/nothing.dic", Folder() + "/none"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("tavelnor: error "), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(fs::path(Folder()) / "none")) << "nothing is written";
}

}  // namespace
}  // namespace tavelnor::tool::testing
