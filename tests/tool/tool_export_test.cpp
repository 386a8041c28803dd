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
#include "data/edata_table.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "record/blob_value.h"
#include "record/er_buffer.h"
#include "record/er_field.h"
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

// A table with a field of every stored type, for values at their edges.
constexpr const char* kTypesSource = R"({
  "signature": "D8", "versionbyte": 2, "level": 11, "versionsystem": 1, "versionuser": 0,
  "lastid": 0, "categories": [],
  "root": {"isa": "Dico", "name": "Types", "defprecision": 2, "defextension": "dat",
    "nativelanguage": 1036, "children": [
    {"isa": "Rubric", "name": "Valeurs", "deffilename": "VALEURS.DAT", "flags": "0x1",
     "pagesize": 4096, "children": [
      {"isa": "TitleData", "name": "Lesdonnees", "children": [
        {"isa": "VarInNode", "name": "Siret", "type": 7, "internalsize": 14},
        {"isa": "VarInNode", "name": "Majuscules", "type": 128, "internalsize": 8},
        {"isa": "VarInNode", "name": "Lettre", "type": 21, "internalsize": 1},
        {"isa": "VarInNode", "name": "I8", "type": 13, "internalsize": 1},
        {"isa": "VarInNode", "name": "U8", "type": 14, "internalsize": 1},
        {"isa": "VarInNode", "name": "Octets", "type": 14, "internalsize": 4},
        {"isa": "VarInNode", "name": "U16", "type": 16, "internalsize": 2},
        {"isa": "VarInNode", "name": "U32", "type": 18, "internalsize": 4},
        {"isa": "VarInNode", "name": "I64", "type": 26, "internalsize": 8},
        {"isa": "VarInNode", "name": "U64", "type": 27, "internalsize": 8},
        {"isa": "VarInNode", "name": "Simple", "type": 23, "internalsize": 4},
        {"isa": "VarInNode", "name": "Double", "type": 2, "internalsize": 8, "precision": 2},
        {"isa": "VarInNode", "name": "Dec32", "type": 12, "internalsize": 4},
        {"isa": "VarInNode", "name": "Dec64", "type": 20, "internalsize": 8, "precision": 0},
        {"isa": "VarInNode", "name": "VieuxBool", "type": 6, "internalsize": 4},
        {"isa": "VarInNode", "name": "Guid", "type": 30, "internalsize": 16},
        {"isa": "VarInNode", "name": "Date", "type": 4, "internalsize": 4},
        {"isa": "VarInNode", "name": "Heure", "type": 5, "internalsize": 4},
        {"isa": "VarInNode", "name": "Instant", "type": 28, "internalsize": 8},
        {"isa": "VarInNode", "name": "Binaire", "type": 32, "internalsize": 8},
        {"isa": "VarInNode", "name": "Image", "type": 35, "internalsize": 8}]}]}]}
})";

TEST_F(ToolTest, EveryStoredTypeComesOutWholeInEveryFormat) {
  const fs::path folder = fs::path(Folder()) / "types";
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "types.json") << kTypesSource;
  const std::string dico_path = (folder / "types.dic").string();
  ASSERT_EQ(Run({"dico", "build", (folder / "types.json").string(), "-o", dico_path}).code, 0);
  {
    dico::DDicoHandler handler;
    ASSERT_EQ(handler.Load(Chaine(dico_path), dico::kLoadNameIndex), dico::LoadResult::kLoaded);
    const auto* def = static_cast<const dico::DRubricTable*>(handler.FindTable("Valeurs"));
    ASSERT_NE(def, nullptr);
    data::EDataTable t;
    t.SetVariablePartsOption(true);
    ASSERT_TRUE(t.Open(def, def->GetFilePath())) << t.Status();
    auto put = [&t](const char* field, const std::string& bytes) {
      record::ErField* f = t.FieldByName(field);
      ASSERT_NE(f, nullptr) << field;
      std::memcpy(f->Data(), bytes.data(), std::min<size_t>(bytes.size(), f->Size()));
    };
    auto le = [](uint64_t v, size_t n) {
      std::string out(n, '\0');
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(v >> (8 * i));
      return out;
    };
    // All zero: empty dates, time stamps and blobs.
    t.ClearRecord();
    ASSERT_NE(t.Insert(), -1);
    // Values at the edges of their types.
    t.ClearRecord();
    put("Siret", "95894920800051");
    put("Majuscules", "\xC9T\xC9\x81");
    put("Lettre", "\x80");
    put("I8", le(0x80, 1));
    put("U8", le(0xFF, 1));
    put("Octets", std::string("\0\x01\xFE\xFF", 4));
    put("U16", le(0xFFFF, 2));
    put("U32", le(0xFFFFFFFF, 4));
    put("I64", le(0x8000000000000000ULL, 8));
    put("U64", le(~0ULL, 8));
    const float simple = 0.1f;
    put("Simple", std::string(reinterpret_cast<const char*>(&simple), 4));
    const double real = 1.0 / 3;
    put("Double", std::string(reinterpret_cast<const char*>(&real), 8));
    put("Dec32", le(static_cast<uint32_t>(-1234567), 4));
    put("Dec64", le(0x7FFFFFFFFFFFFFFFULL, 8));
    put("VieuxBool", le(7, 4));
    put("Guid", std::string("\x40\xFC\x29\x6B\x47\xCA\x67\x10\xB3\x1D\x00\xDD\x01\x06\x62\xDA", 16));
    put("Date", std::string("\x1D\x02\xD0\x07", 4));  // 29/02/2000
    put("Heure", std::string("\x63\x3B\x3B\x17", 4));  // 23:59:59.99
    put("Instant", le(3155378975999999999ULL, 8));      // 9999-12-31T23:59:59.9999999
    t.FieldByName("Binaire")->GetBuffer()->SetBlob(record::sBlob(std::string("\0\xFF\0bin", 6)));
    std::string dib(40, '\0');
    dib[0] = 40, dib[4] = 1, dib[8] = 1, dib[12] = 1, dib[14] = 24;
    t.FieldByName("Image")->GetBuffer()->SetImage(record::sBlobImage(dib + "\x10\x20\x30\0"));
    ASSERT_NE(t.Insert(), -1);
    // The first instant, stored as 1, and small fractions.
    t.ClearRecord();
    put("Instant", le(1, 8));
    put("Dec32", le(1, 4));
    put("Heure", std::string("\x01\x00\x00\x00", 4));
    ASSERT_NE(t.Insert(), -1);
  }
  const fs::path out = folder / "export";
  const ToolRun run = Run({"export", dico_path, out.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(CheckExportAgainstRecords(dico_path, out.string(), (out / "types.sqlite").string()),
            3 * 3 * 21);
  const std::string csv = ReadFile(out / "Valeurs.csv");
  EXPECT_NE(csv.find("95894920800051,\xC3\x89T\xC3\x89\xC2\x81,\xE2\x82\xAC,-128,255,0001FEFF,65535,"
                     "4294967295,-9223372036854775808,18446744073709551615,0.10,0.3333333333333333,"
                     "-1234.567,922337203685.4775807,true,6B29FC40-CA47-1067-B31D-00DD010662DA,"
                     "2000-02-29,23:59:59.99,9999-12-31T23:59:59.9999999Z,AP8AYmlu,Qk0"),
            std::string::npos)
      << csv;
}

TEST_F(ToolTest, ExportOfAMissingDictionaryFailsWithTheLibraryCode) {
  const ToolRun run = Run({"export", Folder() + "/nothing.dic", Folder() + "/none"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("tavelnor: error "), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(fs::path(Folder()) / "none")) << "nothing is written";
}

}  // namespace
}  // namespace tavelnor::tool::testing
