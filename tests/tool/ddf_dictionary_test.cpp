// "tavelnor dico from-ddf": the source made from a DDF set (types, layout,
// keys, data files, names), and the built tool's dictionary read back by
// "dico show" and "dump" over the records the set was written with.
#include "ddf_dictionary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <sqlite3.h>

#include "btrieve/file_spec.h"
#include "ddf/ddf_samples.h"
#include "ddf/ddf_values.h"
#include "dico/compiler/cp1252.h"
#include "dico/compiler/json_source.h"
#include "tool/tool_fixture.h"

namespace tavelnor::tool {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::ToolRun;
using testing::ToolTest;

constexpr uint32_t kRecords = 60;
constexpr int kRaw = -1;

// The type each column of the sample table must take (kRaw: its bytes).
const std::map<std::string, int>& ExpectedTypes() {
  static const std::map<std::string, int> types = {
      {"Id", 1},      {"I1", 13},     {"I2", 15},     {"I4", 1},      {"I8", 26},     {"U1", 14},
      {"U2", 16},     {"U4", 18},     {"U8", 27},     {"F4", 23},     {"F8", 2},      {"B4", kRaw},
      {"B8", kRaw},   {"Day", 4},     {"Hour", 5},    {"Stamp", 28},  {"Dec", kRaw},  {"Dec0", kRaw},
      {"Money", kRaw}, {"Num", kRaw}, {"NumSA", kRaw}, {"NumSTS", kRaw}, {"NumSLS", kRaw}, {"NumSLB", kRaw},
      {"NumSTB", kRaw}, {"Cur", 29},  {"Yes", 19},    {"Yes2", kRaw}, {"Bit0", kRaw}, {"Bit3", kRaw},
      {"Bit7", kRaw}, {"Guid", 30},   {"Name", 7},    {"LName", kRaw}, {"ZName", 0}};
  return types;
}

const json* Child(const json& node, const std::string& name) {
  for (const json& c : node["children"]) {
    if (c["name"] == name) return &c;
  }
  return nullptr;
}

bool Mentions(const std::vector<std::string>& warnings, const std::string& a, const std::string& b = "") {
  for (const std::string& w : warnings) {
    if (w.find(a) != std::string::npos && w.find(b) != std::string::npos) return true;
  }
  return false;
}

std::string Hex(const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (size_t k = 0; k < n; ++k) s += {kDigits[p[k] >> 4], kDigits[p[k] & 15]};
  return s;
}

// The cells of a CSV line the tool writes (no quote inside a cell here).
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else if (c != '\r') {
      cells.back() += c;
    }
  }
  return cells;
}

// `got`, a value the tool wrote of column `col`, against the writer's text.
// Floating values compare as numbers (the tool writes fixed notation); BIT
// columns are booleans; texts were written in code page 866 and read as
// Windows-1252, and fixed texts keep the blanks that pad them.
void ExpectValue(const ddf::test::ColumnSpec& col, std::string got, const std::string& text) {
  switch (col.type) {
    case ddf::kDdfFloat:
    case ddf::kDdfBfloat:
      if (col.size == 4) {
        EXPECT_EQ(std::strtof(got.c_str(), nullptr), std::strtof(text.c_str(), nullptr));
      } else {
        EXPECT_EQ(std::strtod(got.c_str(), nullptr), std::strtod(text.c_str(), nullptr));
      }
      return;
    case ddf::kDdfTimestamp: EXPECT_EQ(got, text + "Z"); return;
    case ddf::kDdfBit: EXPECT_EQ(got, text == "1" ? "true" : "false"); return;
    case ddf::kDdfString:
      while (!got.empty() && got.back() == ' ') got.pop_back();
      [[fallthrough]];
    case ddf::kDdfZstring:
    case ddf::kDdfLstring: EXPECT_EQ(got, dico::Cp1252ToUtf8(text)); return;
    default: EXPECT_EQ(got, text); return;
  }
}

class DdfDictionaryTest : public ToolTest {
 protected:
  static void SetUpTestSuite() {
    ToolTest::SetUpTestSuite();
    ddf::test::DdfSpec spec;
    spec.tables = {ddf::test::EveryTypeTable(kRecords), ddf::test::VariableTable(ddf::kDdfNote, 3)};
    ASSERT_TRUE(ddf::test::WriteDdfDatabase(Set(), spec).ok());
  }
  static std::string Set() { return Folder() + "/ddf"; }

  static json Source(const std::string& dico_path, ddf::DdfDatabase* db, std::vector<std::string>* warnings) {
    EXPECT_TRUE(ddf::ReadDdfDatabase(Set(), {}, db, warnings).ok());
    return DdfDictionarySource(*db, dico_path, warnings);
  }
};

TEST_F(DdfDictionaryTest, EveryColumnKeyAndSegmentOfTheSampleSet) {
  ddf::DdfDatabase db;
  std::vector<std::string> warnings;
  const json source = Source(Set() + "/sample.dic", &db, &warnings);
  const json& root = source["root"];
  ASSERT_EQ(root["children"].size(), 2u);

  const json* every = Child(root, "EveryType");
  ASSERT_NE(every, nullptr);
  EXPECT_EQ((*every)["deffilename"], "DATA/every.dat");  // beside the dictionary: relative
  const json* layout = Child(*every, "Lesdonnees");
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ((*layout)["internalsize"], 189);
  const ddf::DdfTable& table = *db.FindTable("EveryType");
  ASSERT_EQ((*layout)["children"].size(), table.fields.size());
  for (const ddf::DdfField& f : table.fields) {
    SCOPED_TRACE(f.name);
    const json* node = Child(*layout, f.name);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ((*node)["diskoffset"], f.offset);
    EXPECT_EQ((*node)["internalsize"], f.size);
    const int want = ExpectedTypes().at(f.name);
    const std::string desc = (*node)["desc"];
    EXPECT_NE(desc.find("DDF " + std::string(ddf::DdfTypeName(f.type))), std::string::npos) << desc;
    if (want == kRaw) {
      EXPECT_EQ((*node)["type"], 7);
      EXPECT_EQ((*node)["flags"], kFieldShownAsBytes);
    } else {
      EXPECT_EQ((*node)["type"], want);
      EXPECT_FALSE(node->contains("flags"));
    }
  }

  // Keys: the AUTOINCREMENT key numbers itself; the others allow duplicates.
  const json* keys = Child(*every, "Les clefs");
  ASSERT_NE(keys, nullptr);
  const std::vector<std::pair<std::string, std::vector<std::string>>> want_keys = {
      {"ById", {"Id"}}, {"ByNameNumberDay", {"Name", "I2", "Day"}}, {"Key2", {"Dec", "Cur"}}};
  ASSERT_EQ((*keys)["children"].size(), want_keys.size());
  ASSERT_EQ(table.keys.size(), want_keys.size());
  for (size_t k = 0; k < want_keys.size(); ++k) {
    const json& key = (*keys)["children"][k];
    EXPECT_EQ(key["name"], want_keys[k].first);
    ASSERT_EQ(key["children"].size(), want_keys[k].second.size());
    for (size_t s = 0; s < want_keys[k].second.size(); ++s) {
      EXPECT_EQ(key["children"][s]["field"], want_keys[k].second[s]);
      EXPECT_EQ(key["children"][s]["flags"], table.keys[k].segments[s].flags);
    }
  }
  EXPECT_EQ((*keys)["children"][0]["flags"], 0x10);
  EXPECT_EQ((*keys)["children"][1]["flags"], btrieve::kKeyDup);
  EXPECT_EQ((*keys)["children"][2]["flags"], btrieve::kKeyDup | btrieve::kKeyModifiable);

  // The NOTE past the 4-byte records: variable-length records, no column.
  const json* notes = Child(root, "Notes");
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ((*notes)["flags"], 1);
  EXPECT_EQ((*Child(*notes, "Lesdonnees"))["children"].size(), 1u);
  EXPECT_TRUE(Mentions(warnings, "table Notes: column Text", "variable part"));

  // The source compiles; from elsewhere the data files are named in full.
  EXPECT_TRUE(dico::CompileDicoSource(source).ok());
  const json away = DdfDictionarySource(db, Folder() + "/elsewhere/x.dic", &warnings);
  EXPECT_EQ(away["root"]["children"][0]["deffilename"],
            fs::weakly_canonical(Set() + "/DATA/every.dat").generic_string());
}

TEST_F(DdfDictionaryTest, NamesKeysAndColumnsTheDictionaryCannotTakeAsTheyAre) {
  ddf::DdfDatabase db;
  db.folder = Folder();
  ddf::DdfTable t;
  t.id = 10;
  t.name = "A/B\x01";
  t.path = Folder() + "/NOEXT";
  t.record_length = 12;
  // Same name twice (ignoring case), a control character, code page 866
  // letters (kept as bytes, 0x8F too, which Windows-1252 leaves undefined), a
  // column past the record.
  t.fields = {{1, 10, "Code", ddf::kDdfInteger, 0, 4},
              {2, 10, "CODE", ddf::kDdfString, 4, 4, 0, 1},
              {3, 10, "\x8F\xE0\xA8", ddf::kDdfZstring, 8, 4, 0, 1},
              {4, 10, "Far", ddf::kDdfInteger, 12, 4}};
  // Key 0 has a segment on no column; key 2 comes without a key 1.
  t.keys = {{0, "", {{0, 2, 4, 0x0002}}}, {2, "Lost", {{1, 0, 4, 0}}}};
  db.tables.push_back(t);
  ddf::DdfTable list = t;
  list.name = "#Fields";
  db.tables.push_back(list);
  std::vector<std::string> warnings;
  const json source = DdfDictionarySource(db, Folder() + "/n.dic", &warnings);
  const json& table = source["root"]["children"][0];
  EXPECT_EQ(table["name"], "A_B_");
  EXPECT_EQ(source["root"]["children"][1]["name"], "_Fields");  // "#" would open a field list
  EXPECT_EQ(table["deffilename"], "./NOEXT");  // a dot, so that no extension is added
  const json& fields = (*Child(table, "Lesdonnees"))["children"];
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[1]["name"], "CODE_2");
  EXPECT_EQ(fields[1]["type"], 143);  // the fixed text, compared without case
  EXPECT_EQ(fields[2]["name"], dico::Cp1252ToUtf8("\x8F\xE0\xA8"));
  EXPECT_EQ(fields[2]["type"], 136);
  const json& keys = (*Child(table, "Les clefs"))["children"];
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0]["name"], "Key0");
  EXPECT_EQ(keys[0]["children"][0]["offset"], 2);
  EXPECT_EQ(keys[0]["children"][0]["internalsize"], 4);
  EXPECT_EQ(keys[0]["flags"], 0x2);
  EXPECT_TRUE(Mentions(warnings, "table name \"A_B_\"", "\"_\""));
  EXPECT_TRUE(Mentions(warnings, "\"CODE\" repeated", "CODE_2"));
  EXPECT_TRUE(Mentions(warnings, "column Far ends at byte 16"));
  EXPECT_TRUE(Mentions(warnings, "key 1 is not described", "from 2 on"));
  EXPECT_TRUE(Mentions(warnings, "2 names hold bytes outside ASCII", "Windows-1252"));
  EXPECT_TRUE(dico::CompileDicoSource(source).ok());
}

TEST_F(DdfDictionaryTest, TheToolWritesADictionaryWhoseRecordsReadAsTheSetWroteThem) {
  const std::string dic = Folder() + "/sample.dic", src = Folder() + "/sample.json";
  const auto before = ddf::test::FolderListing(Set());
  ToolRun run = Run({"dico", "from-ddf", Set(), "-o", dic, "--json", src});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("2 tables"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("tavelnor: warning: table Notes: column Text"), std::string::npos) << run.err;
  EXPECT_EQ(ddf::test::FolderListing(Set()), before);  // the set is only read
  EXPECT_TRUE(fs::exists(src));

  run = Run({"dico", "show", dic});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("EveryType"), std::string::npos);

  // The same bytes as the set read in place, whose every value the next
  // test checks against the writer's.
  run = Run({"dump", dic, "EveryType", "--format", "csv"});
  ASSERT_EQ(run.code, 0) << run.err;
  const ToolRun in_place = Run({"dump", "--ddf", Set(), "EveryType", "--format", "csv"});
  ASSERT_EQ(in_place.code, 0) << in_place.err;
  EXPECT_EQ(run.Lines().size(), kRecords + 1);
  EXPECT_EQ(run.out, in_place.out);
}

// The cell of `key` in a JSON Lines record, as written (numbers keep every
// digit that way).
std::string JsonCell(const std::string& line, const std::string& key) {
  const std::string lead = json(key).dump() + ":";
  size_t at = line.find(lead);
  if (at == std::string::npos) return "<absent>";
  at += lead.size();
  if (line[at] != '"') return line.substr(at, line.find_first_of(",}", at) - at);
  size_t end = at + 1;
  while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
  return json::parse(line.substr(at, end + 1 - at)).get<std::string>();
}

TEST_F(DdfDictionaryTest, TheSetReadInPlaceExportsEveryValueExactlyAndIsOnlyRead) {
  const auto before = ddf::test::FolderListing(Set());
  const std::string out = Folder() + "/ddf-export";
  ToolRun run = Run({"export", "--ddf", Set(), out});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("exported 2 of 2 tables"), std::string::npos) << run.out;  // no X$ table
  EXPECT_EQ(ddf::test::FolderListing(Set()), before);

  uint16_t length = 0;
  const std::vector<ddf::test::ColumnSpec> columns = ddf::test::EveryTypeColumns(&length);
  std::ifstream csv_in(out + "/EveryType.csv"), jsonl_in(out + "/EveryType.jsonl");
  std::string header, csv_line, jsonl_line;
  ASSERT_TRUE(std::getline(csv_in, header));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((out + "/ddf.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* rows = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT * FROM \"EveryType\"", -1, &rows, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_column_count(rows), static_cast<int>(columns.size()));
  for (uint32_t i = 0; i < kRecords; ++i) {
    ASSERT_TRUE(std::getline(csv_in, csv_line));
    ASSERT_TRUE(std::getline(jsonl_in, jsonl_line));
    ASSERT_EQ(sqlite3_step(rows), SQLITE_ROW);
    std::vector<std::string> texts;
    ddf::test::SampleRecord(columns, length, i, &texts);
    const std::vector<std::string> cells = Cells(csv_line);
    ASSERT_EQ(cells.size(), columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
      const ddf::test::ColumnSpec& col = columns[c];
      SCOPED_TRACE(col.name + " of record " + std::to_string(i));
      ExpectValue(col, cells[c], texts[c]);
      if (texts[c].empty() && col.type == ddf::kDdfDate) {
        EXPECT_EQ(JsonCell(jsonl_line, col.name), "null");
        EXPECT_EQ(sqlite3_column_type(rows, static_cast<int>(c)), SQLITE_NULL);
        continue;
      }
      ExpectValue(col, JsonCell(jsonl_line, col.name), texts[c]);
      if (col.type == ddf::kDdfFloat || col.type == ddf::kDdfBfloat) {
        const double d = sqlite3_column_double(rows, static_cast<int>(c));
        EXPECT_EQ(d, col.size == 4 ? double{std::strtof(texts[c].c_str(), nullptr)} : std::strtod(texts[c].c_str(), nullptr));
        continue;
      }
      const auto* cell = reinterpret_cast<const char*>(sqlite3_column_text(rows, static_cast<int>(c)));
      std::string stored = cell ? cell : "";
      if (col.type == ddf::kDdfBit || col.type == ddf::kDdfLogical) stored = stored == "1" ? "true" : "false";
      ExpectValue(col, stored, texts[c]);
    }
  }
  EXPECT_EQ(sqlite3_step(rows), SQLITE_DONE);
  sqlite3_finalize(rows);
  sqlite3_close(db);

  // Listing: the set's own tables are there, marked; keys and DDF types.
  run = Run({"tables", "--ddf", Set(), "--names-only"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"X$File", "X$Field", "X$Index", "EveryType", "Notes"}));
  run = Run({"fields", "--ddf", Set(), "EveryType"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Dec\tDDF DECIMAL\t"), std::string::npos) << run.out;
  run = Run({"keys", "--ddf", Set(), "EveryType"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("ByNameNumberDay\tno\t3\tDay"), std::string::npos) << run.out;

  // Selection by the value of a packed decimal and of a bit.
  std::vector<std::string> texts;
  ddf::test::SampleRecord(columns, length, 5, &texts);
  run = Run({"dump", "--ddf", Set(), "EveryType", "--format", "csv", "--where", "Dec=" + texts[16]});
  ASSERT_EQ(run.code, 0) << run.err;
  ASSERT_EQ(run.Lines().size(), 2u) << run.out;
  EXPECT_EQ(Cells(run.Lines()[1])[0], "6");
  size_t bits = 0;
  for (uint32_t i = 0; i < kRecords; ++i) {
    ddf::test::SampleRecord(columns, length, i, &texts);
    bits += texts[29] == "1";
  }
  run = Run({"dump", "--ddf", Set(), "EveryType", "--format", "csv", "--where", "Bit3=true"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.Lines().size(), bits + 1);

  // The same set written by the earlier engines reads to the same bytes.
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  for (const ddf::test::FileKind kind : {ddf::test::FileKind::kVersion5, ddf::test::FileKind::kVersion6}) {
    const std::string set = Folder() + "/ddf-v" + (kind == ddf::test::FileKind::kVersion5 ? "5" : "6");
    SCOPED_TRACE(set);
    ddf::test::DdfSpec spec;
    spec.kind = kind;
    spec.tables = {ddf::test::EveryTypeTable(kRecords)};
    ASSERT_TRUE(ddf::test::WriteDdfDatabase(set, spec).ok());
    run = Run({"export", "--ddf", set, set + "-export", "--formats", "csv,jsonl"});
    ASSERT_EQ(run.code, 0) << run.err;
    for (const char* file : {"/EveryType.csv", "/EveryType.jsonl"}) {
      const std::string ours = slurp(out + file);
      ASSERT_GT(ours.size(), size_t{kRecords} * 100) << file;
      EXPECT_EQ(slurp(set + "-export" + file), ours) << file;
    }
  }

  // Mistakes: a dictionary besides --ddf, no source, no table, no set.
  EXPECT_EQ(Run({"dump", "--ddf", Set(), Dictionary(), "EveryType"}).code, 2);
  EXPECT_EQ(Run({"tables"}).code, 2);
  EXPECT_EQ(Run({"fields", "--ddf", Set()}).code, 2);
  run = Run({"tables", "--ddf", Folder() + "/elsewhere"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("cannot read the DDF set"), std::string::npos) << run.err;
}

TEST_F(DdfDictionaryTest, NoteAndLvarColumnsOfTheVariablePartComeOutWhole) {
  constexpr uint32_t kRows = 6;
  for (const ddf::test::FileKind kind : {ddf::test::FileKind::kOurs, ddf::test::FileKind::kVersion6}) {
    const std::string set = Folder() + "/ddf-variable-" + std::to_string(static_cast<int>(kind));
    SCOPED_TRACE(set);
    ddf::test::DdfSpec spec;
    spec.kind = kind;
    spec.tables = {ddf::test::VariableTable(ddf::kDdfNote, kRows), ddf::test::VariableTable(ddf::kDdfLvar, kRows)};
    ASSERT_TRUE(ddf::test::WriteDdfDatabase(set, spec).ok());
    for (const ddf::test::TableSpec& table : spec.tables) {
      ToolRun run = Run({"dump", "--ddf", set, table.name, "--format", "csv"});
      ASSERT_EQ(run.code, 0) << run.err;
      EXPECT_EQ(run.err.find("left out"), std::string::npos) << run.err;
      ASSERT_EQ(run.Lines().size(), kRows + 1);
      EXPECT_EQ(run.Lines()[0], "Id,Text");
      std::vector<std::string> texts;
      for (uint32_t i = 0; i < kRows; ++i) {
        ddf::test::SampleRecord(table.columns, table.record_length, i, &texts);
        const std::vector<std::string> cells = Cells(run.Lines()[i + 1]);
        ASSERT_EQ(cells.size(), 2u);
        EXPECT_EQ(cells[0], std::to_string(i + 1));
        EXPECT_EQ(cells[1], dico::Cp1252ToUtf8(texts[1]));
      }
      // The whole text selects its record.
      run = Run({"dump", "--ddf", set, table.name, "--format", "csv", "--where", "Text=" + dico::Cp1252ToUtf8(texts[1])});
      ASSERT_EQ(run.code, 0) << run.err;
      ASSERT_EQ(run.Lines().size(), 2u) << run.out;
      EXPECT_EQ(Cells(run.Lines()[1])[0], std::to_string(kRows));
    }
  }
}

// A set whose names are in code page 866: the JSON source spells them in
// it and says so, and builds the same bytes; so does the dictionary's own
// export in that code page.
TEST_F(DdfDictionaryTest, SourcesInTheSetsCodePageBuildTheSameBytes) {
  const std::string set = Folder() + "/ddf-866";
  ddf::test::DdfSpec spec;
  spec.tables = {ddf::test::EveryTypeTable(2)};
  spec.tables[0].name = "\x84\xAE\xA3\xAE\xA2\xAE\xE0";  // "Договор"
  ASSERT_TRUE(ddf::test::WriteDdfDatabase(set, spec).ok());
  const std::string dic = set + "/x.dic", src = set + "/x.json";
  ToolRun run = Run({"dico", "from-ddf", set, "-o", dic, "--json", src, "--encoding", "cp866"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err.find("read as Windows-1252"), std::string::npos) << run.err;
  std::ifstream in(src);
  const json source = json::parse(in);
  EXPECT_EQ(source["codepage"], "cp866");
  EXPECT_EQ(source["root"]["children"][0]["name"], "Договор");

  auto bytes = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  ASSERT_EQ(Run({"dico", "build", src, "-o", set + "/again.dic"}).code, 0);
  EXPECT_EQ(bytes(set + "/again.dic"), bytes(dic));
  run = Run({"dico", "show", dic, "--json", "--encoding", "cp866"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("\"name\": \"Договор\""), std::string::npos);
  std::ofstream(set + "/shown.json") << run.out;
  ASSERT_EQ(Run({"dico", "build", set + "/shown.json", "-o", set + "/shown.dic"}).code, 0);
  EXPECT_EQ(bytes(set + "/shown.dic"), bytes(dic));

  // A name the code page cannot hold is refused with the character.
  std::string edited = run.out;
  edited.replace(edited.find("Договор"), std::string("Договор").size(), "Ω");
  std::ofstream(set + "/bad.json") << edited;
  run = Run({"dico", "build", set + "/bad.json", "-o", set + "/bad.dic"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("U+03A9, which cp866 has no byte for"), std::string::npos) << run.err;
}

TEST_F(DdfDictionaryTest, AValueItsTypeCannotReadGoesOutAsBytesWithAWarning) {
  const std::string set = Folder() + "/ddf-damaged";
  ddf::test::DdfSpec spec;
  spec.tables = {ddf::test::EveryTypeTable(3)};
  uint16_t length = 0;
  const std::vector<ddf::test::ColumnSpec> columns = ddf::test::EveryTypeColumns(&length);
  const ddf::test::ColumnSpec& dec = columns[16];
  ASSERT_EQ(dec.name, "Dec");
  std::vector<uint8_t>& broken = spec.tables[0].records[1];
  broken[dec.offset] = 0xA1;  // a digit nibble over 9
  ASSERT_TRUE(ddf::test::WriteDdfDatabase(set, spec).ok());
  ToolRun run = Run({"dump", "--ddf", set, "EveryType", "--format", "csv"});
  ASSERT_EQ(run.code, 0) << run.err;
  ASSERT_EQ(run.Lines().size(), 4u);
  EXPECT_EQ(Cells(run.Lines()[2])[16], Hex(broken.data() + dec.offset, dec.size));
  EXPECT_NE(run.err.find("warning: EveryType.Dec: 1 value is not a valid DECIMAL and went out as its bytes"),
            std::string::npos)
      << run.err;
}

TEST_F(DdfDictionaryTest, TheRealSetGivesItsUserTablesAndRefusalsExitOne) {
  // FILE.DDF, FIELD.DDF and INDEX.DDF of a 1995 DOS program, beside the
  // source tree; its data files absent.
  const std::string folder =
      (fs::path(TAVELNOR_SOURCE_DIR) / ".." / "shared" / "fixtures" / "btrieve-real" / "v5-doclife-ddf").string();
  if (!fs::exists(folder + "/FILE.DDF")) GTEST_SKIP() << "no real dictionary at " << folder;
  ddf::DdfDatabase db;
  std::vector<std::string> warnings;
  ASSERT_TRUE(ddf::ReadDdfDatabase(folder, {}, &db, &warnings).ok());
  const json source = DdfDictionarySource(db, Folder() + "/real.dic", &warnings);
  // Ids 10 to 30, f10.dat to f30.dat, none of them present.
  ASSERT_EQ(source["root"]["children"].size(), 21u);
  EXPECT_TRUE(Mentions(warnings, "f17.dat not found"));
  EXPECT_TRUE(Mentions(warnings, "no data file; the dictionary names", "f17.dat"));
  EXPECT_TRUE(dico::CompileDicoSource(source).ok());

  ToolRun run = Run({"dico", "from-ddf", folder, "-o", Folder() + "/real.dic", "--system-tables"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("30 tables"), std::string::npos) << run.out;
  run = Run({"tables", Folder() + "/real.dic", "--names-only"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.Lines().size(), 30u);

  // A folder without a DDF set; a missing output.
  run = Run({"dico", "from-ddf", Folder() + "/elsewhere", "-o", Folder() + "/none.dic"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("cannot read the DDF set"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Folder() + "/none.dic"));
  EXPECT_EQ(Run({"dico", "from-ddf", Set()}).code, 2);
}

}  // namespace
}  // namespace tavelnor::tool
