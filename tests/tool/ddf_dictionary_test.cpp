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

  run = Run({"dump", dic, "EveryType", "--format", "csv"});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::vector<std::string> lines = run.Lines();
  ASSERT_EQ(lines.size(), kRecords + 1);
  const std::vector<std::string> header = Cells(lines[0]);
  uint16_t length = 0;
  const std::vector<ddf::test::ColumnSpec> columns = ddf::test::EveryTypeColumns(&length);
  ASSERT_EQ(header.size(), columns.size());
  for (uint32_t i = 0; i < kRecords; ++i) {
    std::vector<std::string> texts;
    const std::vector<uint8_t> record = ddf::test::SampleRecord(columns, length, i, &texts);
    const std::vector<std::string> cells = Cells(lines[i + 1]);
    ASSERT_EQ(cells.size(), columns.size()) << lines[i + 1];
    for (size_t c = 0; c < columns.size(); ++c) {
      const ddf::test::ColumnSpec& col = columns[c];
      SCOPED_TRACE(col.name + " of record " + std::to_string(i));
      ASSERT_EQ(header[c], col.name);
      std::string got = cells[c];
      switch (ExpectedTypes().at(col.name)) {
        case kRaw: EXPECT_EQ(got, Hex(record.data() + col.offset, col.size)); break;
        case 23: EXPECT_EQ(std::strtof(got.c_str(), nullptr), std::strtof(texts[c].c_str(), nullptr)); break;
        case 2: EXPECT_EQ(std::strtod(got.c_str(), nullptr), std::strtod(texts[c].c_str(), nullptr)); break;
        case 28: EXPECT_EQ(got, texts[c] + "Z"); break;
        case 7:  // fixed text: the blanks that pad it stay
          while (!got.empty() && got.back() == ' ') got.pop_back();
          [[fallthrough]];
        case 0: EXPECT_EQ(got, dico::Cp1252ToUtf8(texts[c])); break;
        default: EXPECT_EQ(got, texts[c]); break;
      }
    }
  }
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
