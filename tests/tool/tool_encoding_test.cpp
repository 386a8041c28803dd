// --encoding: a dictionary and records written by a DOS program, their texts
// in code page 866 (Cyrillic) and 437, read as UTF-8 in every output.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/edata_table.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "record/er_field.h"
#include "tool/tool_fixture.h"

namespace tavelnor::tool::testing {
namespace {

// The dictionary source is UTF-8 that the compiler stores as Windows-1252:
// each character below is the Windows-1252 one of a code page 866 byte, so
// the stored bytes are 866 text. "Город" (83 AE E0 AE A4), its field
// "Назв" (8D A0 A7 A2) labelled "Название" (8D A0 A7 A2 A0 AD A8 A5).
constexpr const char* kSource = R"({
  "signature": "D8", "versionbyte": 2, "level": 11, "versionsystem": 1, "versionuser": 0,
  "lastid": 0, "categories": [],
  "root": {"isa": "Dico", "name": "Dos", "header": "Dos", "defprecision": 2,
    "defextension": "dat", "nativelanguage": 1049, "children": [
    {"isa": "Rubric", "name": "\u0192\u00ae\u00e0\u00ae\u00a4", "header": "Gorod",
     "deffilename": "GOROD.DAT", "pagesize": 4096, "children": [
      {"isa": "TitleData", "name": "Lesdonnees", "children": [
        {"isa": "VarInNode", "name": "\u00a0\u00a7\u00a2", "header": "Kod", "type": 0,
         "internalsize": 7},
        {"isa": "VarInNode", "name": "Nazv", "header": "\u008d\u00a0\u00a7\u00a2\u00a0\u00ad\u00a8\u00a5",
         "type": 0, "internalsize": 21}]},
      {"isa": "TitleKey", "name": "Les clefs", "children": [
        {"isa": "Key", "name": "ParNazv", "flags": "0x2", "children": [
          {"isa": "Segment", "name": "Nazv", "field": "Nazv", "flags": "0x102"}]}]}]},
    {"isa": "Rubric", "name": "Menu", "header": "Menu", "deffilename": "MENU.DAT",
     "pagesize": 4096, "children": [
      {"isa": "TitleData", "name": "Lesdonnees", "children": [
        {"isa": "VarInNode", "name": "Plat", "header": "Plat", "type": 0, "internalsize": 21}]}]}]}
})";

const std::string kGorod = "\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4";  // Город
const std::string kCode = "\xD0\xB0\xD0\xB7\xD0\xB2";                   // азв
const std::string kMoskva = "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0";  // Москва

class EncodingTest : public ToolTest {
 protected:
  static void SetUpTestSuite() {
    ToolTest::SetUpTestSuite();
    std::ofstream(Folder() + "/dos.json") << kSource;
    const ToolRun built = Run({"dico", "build", Folder() + "/dos.json", "-o", Dos()});
    ASSERT_EQ(built.code, 0) << built.err;
    dico::DDicoHandler handler;
    ASSERT_EQ(handler.Load(Chaine(Dos()), dico::kLoadNameIndex), dico::LoadResult::kLoaded);
    // Москва, Мурманск, Омск in code page 866; "Café crème ░" in 437.
    Fill(handler, "\x83\xAE\xE0\xAE\xA4", "\xA0\xA7\xA2",
         {"\x8C\xAE\xE1\xAA\xA2\xA0", "\x8C\xE3\xE0\xAC\xA0\xAD\xE1\xAA", "\x8E\xAC\xE1\xAA"});
    Fill(handler, "Menu", "Plat", {"Caf\x82 cr\x8Ame \xB0"});
  }
  static void Fill(dico::DDicoHandler& handler, const char* table, const char* field,
                   const std::vector<std::string>& texts) {
    const auto* t = static_cast<const dico::DRubricTable*>(handler.FindTable(table));
    ASSERT_NE(t, nullptr) << table;
    data::EDataTable data;
    ASSERT_TRUE(data.Open(t, t->GetFilePath())) << data.Status();
    for (const std::string& text : texts) {
      data.ClearRecord();
      data.FieldByName(field)->GetBuffer()->SetText(text.c_str());
      if (data.FieldByName("Nazv")) data.FieldByName("Nazv")->GetBuffer()->SetText(text.c_str());
      ASSERT_NE(data.Insert(), -1) << data.Status();
    }
  }
  static std::string Dos() { return Folder() + "/dos.dic"; }
};

TEST_F(EncodingTest, NamesLabelsAndTextsOfTheDictionaryCodePage) {
  ToolRun run = Run({"tables", Dos(), "--names-only", "--encoding", "cp866"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{kGorod, "Menu"}));

  run = Run({"fields", Dos(), kGorod, "--encoding", "IBM866"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find(kCode), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\xD0\x9D\xD0\xB0\xD0\xB7\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB5"),
            std::string::npos)
      << "the label Название:\n" << run.out;

  run = Run({"dump", Dos(), kGorod, "--encoding", "cp866", "--format", "jsonl"});
  EXPECT_EQ(run.code, 0) << run.err;
  ASSERT_EQ(run.Lines().size(), 3u) << run.out;
  EXPECT_EQ(run.Lines()[0], "{\"" + kCode + "\":\"" + kMoskva + "\",\"Nazv\":\"" + kMoskva + "\"}");

  run = Run({"dump", Dos(), "Menu", "--encoding", "cp437", "--format", "csv"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"Plat", "Caf\xC3\xA9 cr\xC3\xA8me \xE2\x96\x91"}));
  // Without --encoding the same bytes are Windows-1252, as ever.
  run = Run({"dump", Dos(), "Menu", "--format", "csv"});
  EXPECT_EQ(run.Lines().back(), "Caf\xE2\x80\x9A cr\xC5\xA0me \xC2\xB0");

  run = Run({"dico", "show", Dos(), "--encoding", "cp866"});
  EXPECT_NE(run.out.find(kGorod), std::string::npos) << run.out;
  run = Run({"dico", "show", Dos(), "--json", "--encoding", "cp866"});
  EXPECT_NE(run.out.find(kGorod), std::string::npos) << run.out;
}

TEST_F(EncodingTest, TypedValuesAreEncodedInTheCodePage) {
  // Мурманск by --where, and the two that begin with "М" by --prefix.
  ToolRun run = Run({"dump", Dos(), kGorod, "--encoding", "cp866", "--format", "csv", "--where",
                     "Nazv=\xD0\x9C\xD1\x83\xD1\x80\xD0\xBC\xD0\xB0\xD0\xBD\xD1\x81\xD0\xBA"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.Lines().size(), 2u) << run.out;
  run = Run({"dump", Dos(), kGorod, "--encoding", "cp866", "--format", "csv", "--prefix",
             "\xD0\x9C"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.Lines().size(), 3u) << run.out;

  // "é" has no byte in code page 866; a Cyrillic name none in Windows-1252.
  run = Run({"dump", Dos(), kGorod, "--encoding", "cp866", "--where", "Nazv=Caf\xC3\xA9"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("\"\xC3\xA9\" (U+00E9)"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("cp866"), std::string::npos) << run.err;
  run = Run({"dump", Dos(), kGorod, "--from", "\xD0\x9C"});
  EXPECT_EQ(run.code, 2) << "no such table in Windows-1252: " << run.err;

  run = Run({"dump", Dos(), "Menu", "--encoding", "koi8-r"});
  EXPECT_EQ(run.code, 2);
  for (const char* name : {"\"koi8-r\"", "cp1252", "cp1251", "cp437", "cp850", "cp866",
                           "iso-8859-1", "iso-8859-15", "utf-8"}) {
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
  }
}

TEST_F(EncodingTest, ExportWritesUtf8InEveryFormat) {
  const std::string out = Folder() + "/dos-export";
  const ToolRun run = Run({"export", Dos(), out, "--encoding", "cp866"});
  ASSERT_EQ(run.code, 0) << run.err;
  std::ifstream csv(std::filesystem::u8path(out + "/" + kGorod + ".csv"), std::ios::binary);
  std::stringstream text;
  text << csv.rdbuf();
  EXPECT_NE(text.str().find(kCode + ",Nazv"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find(kMoskva + "," + kMoskva), std::string::npos) << text.str();
  std::ifstream jsonl(std::filesystem::u8path(out + "/" + kGorod + ".jsonl"), std::ios::binary);
  std::string first;
  std::getline(jsonl, first);
  EXPECT_EQ(first, "{\"" + kCode + "\":\"" + kMoskva + "\",\"Nazv\":\"" + kMoskva + "\"}");

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((out + "/dos.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  const std::string query = "SELECT \"" + kCode + "\" FROM \"" + kGorod + "\" ORDER BY rowid";
  ASSERT_EQ(sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), kMoskva);
  sqlite3_finalize(st);
  sqlite3_close(db);
}

}  // namespace
}  // namespace tavelnor::tool::testing
