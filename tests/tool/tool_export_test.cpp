// "tavelnor export": the files it writes, and its SQLite database checked
// against the records read here through the exported interface.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "browse/text_codec.h"
#include "tavelnor/zavl.h"
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

// Where each field of a table lies in its exchange record, from the field
// list opened in exchange mode: name -> (offset, slot size).
std::map<std::string, std::pair<uint32_t, uint32_t>> ExchangeSlots(ZAVL_Schema* schema,
                                                                   const char* table) {
  std::map<std::string, std::pair<uint32_t, uint32_t>> slots;
  ZAVL_Data* list = ZAVL_OpenData(schema, (std::string("#") + table).c_str(), 0);
  EXPECT_NE(list, nullptr) << ZAVL_GetLastError();
  if (list == nullptr) return slots;
  uint32_t offset = 0;
  for (int32_t pos = ZAVL_GetFirst(list); pos != -1; pos = ZAVL_GetNext(list)) {
    const auto* row = static_cast<const uint8_t*>(ZAVL_GetBuffer(list));
    int32_t size = 0;
    std::memcpy(&size, row + 33, 4);
    slots[reinterpret_cast<const char*>(row)] = {offset, static_cast<uint32_t>(size)};
    offset += static_cast<uint32_t>(size);
  }
  ZAVL_CloseData(list);
  return slots;
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
  EXPECT_EQ(types, (std::map<std::string, std::string>{
                       {"Code", "TEXT"}, {"Nom", "TEXT"}, {"Numero", "INTEGER"},
                       {"Solde", "REAL"}, {"Taux", "REAL"}, {"Naissance", "TEXT"},
                       {"Heure", "TEXT"}, {"Actif", "INTEGER"}, {"Cree", "TEXT"},
                       {"Qte", "INTEGER"}, {"Notes", "TEXT"}, {"Lettre", "BLOB"}}));
  EXPECT_EQ(Query(db, "SELECT count(*) FROM \"Journal\"")[0][0].integer, 0);
  EXPECT_EQ(Query(db, "PRAGMA table_info(\"Familles\")").size(), 5u);
  EXPECT_EQ(Query(db, "SELECT count(*) FROM \"Familles\"")[0][0].integer, 0);
  const auto rows = Query(db,
                          "SELECT Code, Numero, Solde, Actif, Naissance, Heure, Notes, Nom, Cree, Lettre "
                          "FROM \"Clients\" ORDER BY rowid");
  sqlite3_close(db);

  // The same records read through the exported interface.
  ZAVL_Schema* schema = ZAVL_OpenSchema(Dictionary().c_str(), SCHEMA_EXCHANGE | SCHEMA_QUIET);
  ASSERT_NE(schema, nullptr) << ZAVL_GetLastError();
  auto slots = ExchangeSlots(schema, "Clients");
  ZAVL_Data* data = ZAVL_OpenData(schema, "Clients", 0);
  ASSERT_NE(data, nullptr) << ZAVL_GetLastError();
  EXPECT_EQ(static_cast<size_t>(ZAVL_GetNbRecords(data)), rows.size());
  std::map<std::string, const ClientRecord*> by_code;
  for (const ClientRecord& c : Clients()) by_code[c.code] = &c;
  size_t i = 0;
  for (int32_t pos = ZAVL_GetFirst(data); pos != -1; pos = ZAVL_GetNext(data), ++i) {
    ASSERT_LT(i, rows.size());
    const auto* rec = static_cast<const uint8_t*>(ZAVL_GetBuffer(data));
    const auto& row = rows[i];
    const std::string code(reinterpret_cast<const char*>(rec + slots["Code"].first));
    EXPECT_EQ(row[0].text, code);
    int32_t numero = 0, day = 0, ms = 0;
    double solde = 0;
    std::memcpy(&numero, rec + slots["Numero"].first, 4);
    std::memcpy(&solde, rec + slots["Solde"].first, 8);
    std::memcpy(&day, rec + slots["Naissance"].first, 4);
    std::memcpy(&ms, rec + slots["Heure"].first, 4);
    EXPECT_EQ(row[1].type, SQLITE_INTEGER);
    EXPECT_EQ(row[1].integer, numero);
    EXPECT_EQ(row[2].type, SQLITE_FLOAT);
    EXPECT_EQ(row[2].real, solde) << code;
    EXPECT_EQ(row[3].integer, rec[slots["Actif"].first] != 0 ? 1 : 0);
    const ClientRecord* c = by_code[code];
    ASSERT_NE(c, nullptr) << code;
    if (day == 0) {
      EXPECT_EQ(row[4].type, SQLITE_NULL) << code;
      EXPECT_EQ(c->year, 0) << code;
    } else {
      char iso[16];
      std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", c->year, c->month, c->day);
      EXPECT_EQ(row[4].text, iso) << code;
    }
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60);
    EXPECT_EQ(row[5].text, clock) << code;
    uint32_t length = 0;
    const char* block = nullptr;
    std::memcpy(&length, rec + slots["Notes"].first, 4);
    std::memcpy(&block, rec + slots["Notes"].first + 4, sizeof block);
    EXPECT_EQ(row[6].text, Cp1252ToUtf8(std::string(block ? block : "", block ? length : 0)))
        << code;
    EXPECT_EQ(row[7].text, Cp1252ToUtf8(c->nom));
    EXPECT_EQ(row[8].type, c->cree == 0 ? SQLITE_NULL : SQLITE_TEXT) << code;
    std::memcpy(&length, rec + slots["Lettre"].first, 4);
    std::memcpy(&block, rec + slots["Lettre"].first + 4, sizeof block);
    EXPECT_EQ(row[9].type, length == 0 ? SQLITE_NULL : SQLITE_BLOB) << code;
    EXPECT_EQ(row[9].text, std::string(block ? block : "", block ? length : 0)) << code;
    EXPECT_EQ(row[9].text, c->letter) << code;
  }
  EXPECT_EQ(i, rows.size());
  EXPECT_EQ(ZAVL_GetLastError(), 9) << "the walk ends at the end of the data";
  ZAVL_CloseData(data);
  ZAVL_CloseSchema(schema);

  // A second export replaces the database rather than failing on its tables.
  const ToolRun again = Run({"export", Dictionary(), out.string()});
  EXPECT_EQ(again.code, 0) << again.err;
}

TEST_F(ToolTest, ExportOfAMissingDictionaryFailsWithTheLibraryCode) {
  const ToolRun run = Run({"export", Folder() + "/nothing.dic", Folder() + "/none"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("tavelnor: error "), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(fs::path(Folder()) / "none")) << "nothing is written";
}

}  // namespace
}  // namespace tavelnor::tool::testing
