// The reader on a real dictionary an earlier engine wrote, and on the
// folders and rows it must refuse or warn about.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>

#include "btrieve/btrieve_test_util.h"
#include "ddf/ddf_reader.h"
#include "ddf/ddf_samples.h"

namespace tavelnor::ddf::test {
namespace {

namespace fs = std::filesystem;
using btrieve::testing::ScratchDir;

bool Mentions(const std::vector<std::string>& lines, const std::string& a, const std::string& b = "") {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(a) != std::string::npos && l.find(b) != std::string::npos;
  });
}

std::string Segments(const DdfKey& key) {
  std::string s;
  for (const DdfSegment& seg : key.segments) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%u/%u/%X", s.empty() ? "" : " ", seg.offset, seg.length, seg.flags);
    s += buf;
  }
  return s;
}

// FILE.DDF, FIELD.DDF and INDEX.DDF of a 1995 DOS program, its data files
// absent; its PROVENANCE.md states what they hold.
class RealDictionary : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* data = std::getenv("TAVELNOR_TEST_DATA");
    folder_ = ((data ? fs::path(data) : fs::path(TAVELNOR_SOURCE_DIR) / "tests" / "data") / ".." / ".." / ".." /
               "shared" / "fixtures" / "btrieve-real" / "v5-doclife-ddf")
                  .string();
    if (!fs::is_directory(folder_)) GTEST_SKIP() << "no real dictionary at " << folder_;
  }
  std::string folder_;
};

TEST_F(RealDictionary, TablesColumnsAndKeysAsItsSourceStates) {
  DdfDatabase db;
  std::vector<std::string> warnings;
  DdfOptions options;
  options.system_tables = true;
  ASSERT_TRUE(ReadDdfDatabase(folder_, options, &db, &warnings).ok());
  EXPECT_EQ(db.rows_read[0], 30u);
  EXPECT_EQ(db.rows_read[1], 150u);
  EXPECT_EQ(db.rows_read[2], 84u);
  EXPECT_TRUE(db.one_based);
  ASSERT_EQ(db.tables.size(), 30u);
  // Two rows of its own are damaged: a field of table 0 and a key segment
  // naming a column of another table.
  EXPECT_EQ(db.field_rows, 149u);
  EXPECT_EQ(db.index_rows, 83u);
  EXPECT_TRUE(Mentions(warnings, "FIELD.DDF: field id 0 (ddd)", "table id 0"));
  EXPECT_TRUE(Mentions(warnings, "INDEX.DDF: table id 2 key 3 segment 1", "field id 4"));
  // Its data files are absent (warnings), but the three X$ tables are checked
  // against the dictionary files themselves: the files' keys win.
  for (uint16_t id = 10; id <= 30; ++id) {
    EXPECT_TRUE(Mentions(warnings, "f" + std::to_string(id) + ".dat not found"));
  }
  std::map<std::string, std::pair<uint16_t, std::vector<std::string>>> system = {
      {"X$File", {87, {"0/2/100", "2/20/102"}}},
      {"X$Field", {32, {"0/2/102", "2/2/103", "4/20/103", "2/2/112 4/20/102"}}},
      {"X$Index", {10, {"0/2/112 4/2/112 6/2/102"}}}};
  for (const auto& [name, want] : system) {
    const DdfTable* t = db.FindTable(name);
    ASSERT_NE(t, nullptr) << name;
    EXPECT_TRUE(t->checked && t->system) << name;
    EXPECT_EQ(t->record_length, want.first) << name;
    ASSERT_EQ(t->keys.size(), want.second.size()) << name;
    for (size_t k = 0; k < want.second.size(); ++k) EXPECT_EQ(Segments(t->keys[k]), want.second[k]) << name;
  }
  EXPECT_TRUE(Mentions(warnings, "table X$Field: key 2 of the data file (4/20/0x0103) is not in INDEX.DDF"));
  const DdfTable* file = db.FindTable("x$file");
  ASSERT_EQ(file->fields.size(), 4u);
  EXPECT_EQ(file->fields[2].name, "Xf$Loc");
  EXPECT_EQ(file->fields[2].offset, 22);
  EXPECT_EQ(file->fields[2].size, 64);
  EXPECT_EQ(file->flags, 16);

  // Table 17, "Договор" in code page 866: its columns and three keys, the
  // last of three segments (keys and segments counted from 1 in the file).
  const DdfTable& contract = db.tables[16];
  EXPECT_EQ(contract.id, 17);
  EXPECT_EQ(contract.name, "\x84\xAE\xA3\xAE\xA2\xAE\xE0");
  EXPECT_EQ(contract.location, "f17.dat");
  EXPECT_FALSE(contract.checked);
  EXPECT_EQ(contract.fields.size(), 15u);
  EXPECT_EQ(contract.record_length, 535);
  ASSERT_EQ(contract.keys.size(), 3u);
  EXPECT_EQ(Segments(contract.keys[2]), "527/2/3 13/2/3 0/13/3");
  // The types it uses: FLOAT 8, LOGICAL, DATE, ZSTRING, AUTOINCREMENT. Its
  // key counts hold: 29 tables named by FIELD.DDF rows (28 here and the
  // damaged row's 0), 120 distinct names (with the damaged row's "ddd").
  std::map<uint8_t, int> types;
  std::set<std::string> names = {"ddd"};
  size_t with_fields = 0;
  for (const DdfTable& t : db.tables) {
    with_fields += !t.fields.empty();
    for (const DdfField& f : t.fields) ++types[f.type], names.insert(f.name);
  }
  EXPECT_EQ(with_fields, 28u);
  EXPECT_EQ(names.size(), 120u);
  EXPECT_EQ(types.size(), 7u);  // with STRING and INTEGER
  for (uint8_t type : {kDdfFloat, kDdfLogical, kDdfDate, kDdfZstring, kDdfAutoIncrement}) {
    EXPECT_GT(types[type], 0) << DdfTypeName(type);
  }

  DdfDatabase users;
  warnings.clear();
  ASSERT_TRUE(ReadDdfDatabase(folder_, {}, &users, &warnings).ok());
  ASSERT_EQ(users.tables.size(), 21u);
  EXPECT_EQ(users.tables.front().id, 10);
  EXPECT_FALSE(Mentions(warnings, "X$"));
}

// Rows it cannot use, data files that disagree or are missing: the rest is
// read, each fault named once; the data file wins. Nothing is written.
TEST(DictionaryFaults, DamagedRowsAndDisagreementsAreNamed) {
  ScratchDir dir;
  TableSpec every = EveryTypeTable(20);
  every.location = "C:\\APP\\DATA\\Every.Dat";
  every.keys[2].flags = btrieve::kKeyDup;  // INDEX.DDF: not modifiable, the file: modifiable
  every.own_data_keys = true;
  every.data_keys = {every.keys[0], every.keys[1], {{16, 25}, btrieve::kKeyDup | btrieve::kKeyModifiable, ""},
                     {{3}, btrieve::kKeyDup, "", btrieve::kTypeUnsignedBinary}};
  TableSpec missing = VariableTable(kDdfNote, 0);
  missing.name = "Missing";
  missing.file.clear();
  TableSpec short_file = VariableTable(kDdfLvar, 3);
  short_file.columns.push_back({"Beyond", kDdfInteger, 2, 0, 8});
  DdfSpec spec;
  spec.kind = FileKind::kVersion6;
  spec.tables = {every, missing, short_file};
  spec.extra_field_rows = {FieldRow(500, 99, "Orphan", kDdfInteger, 0, 2, 0),
                           FieldRow(501, 10, "Odd", 99, 0, 2, 0),
                           FieldRow(502, 10, "Three", kDdfInteger, 0, 3, 0),
                           FieldRow(503, 10, "HighBit", kDdfBit, 0, 1, 9),
                           FieldRow(4, 10, "Twice", kDdfInteger, 0, 2, 0),
                           FieldRow(504, 10, "NoKey", kDdfIndexName, 7, 0, 0)};
  spec.extra_index_rows = {IndexRow(10, 1, 5, 0, 0), IndexRow(10, 19, 0, 0, 0)};
  ASSERT_TRUE(WriteDdfDatabase(dir.File(""), spec).ok());

  const auto before = FolderListing(dir.File(""));
  DdfDatabase db;
  std::vector<std::string> w;
  ASSERT_TRUE(ReadDdfDatabase(dir.File(""), {}, &db, &w).ok());
  EXPECT_EQ(FolderListing(dir.File("")), before);

  EXPECT_TRUE(Mentions(w, "field id 500 (Orphan)", "table id 99"));
  EXPECT_TRUE(Mentions(w, "field id 501 (Odd)", "type code 99"));
  EXPECT_TRUE(Mentions(w, "field id 502 (Three)", "INTEGER of 3 bytes"));
  EXPECT_TRUE(Mentions(w, "field id 503 (HighBit)", "bit 9"));
  EXPECT_TRUE(Mentions(w, "field id 4 (Twice)", "repeats"));
  EXPECT_TRUE(Mentions(w, "index name NoKey", "key 7"));
  EXPECT_TRUE(Mentions(w, "table id 10 key 5 segment 0", "field id 1,"));
  EXPECT_TRUE(Mentions(w, "table id 10 key 0 segment 0", "listed twice"));
  EXPECT_TRUE(Mentions(w, "table EveryType: key 2 is", "in the data file"));
  EXPECT_TRUE(Mentions(w, "table EveryType: key 3 of the data file"));
  EXPECT_TRUE(Mentions(w, "table EveryType: key 3 orders column I4 as key type 14, not as its INTEGER"));
  EXPECT_TRUE(Mentions(w, "table Missing: data file NOTES.DAT not found"));
  EXPECT_TRUE(Mentions(w, "table Lvars: column Beyond ends at byte 10"));
  EXPECT_EQ(w.size(), 13u) << w.back();

  ASSERT_EQ(db.tables.size(), 3u);
  const DdfTable& t = db.tables[0];
  EXPECT_EQ(fs::path(t.path), fs::path(dir.File("DATA/every.dat")));
  EXPECT_EQ(t.fields.size(), every.columns.size());
  ASSERT_EQ(t.keys.size(), 4u);
  EXPECT_EQ(t.keys[2].segments[0].flags & btrieve::kKeyModifiable, btrieve::kKeyModifiable);
  EXPECT_EQ(t.keys[3].segments[0].field_id, t.fields[3].id);
  EXPECT_FALSE(db.tables[1].checked);
  EXPECT_EQ(db.tables[1].record_length, 2004);  // without a file: the farthest column
  EXPECT_EQ(db.tables[2].record_length, 4);     // the file's
}

// Folders that are not a dictionary: a clear status, nothing read.
TEST(DictionaryFaults, FoldersThatAreNotDictionariesAreRefused) {
  ScratchDir dir;
  DdfSpec spec;
  spec.tables = {VariableTable(kDdfNote, 2)};
  ASSERT_TRUE(WriteDdfDatabase(dir.File(""), spec).ok());
  DdfDatabase db;
  std::vector<std::string> w;
  const std::string folder = dir.File("");

  fs::rename(dir.File("INDEX.DDF"), dir.File("index.bak"));
  Status s = ReadDdfDatabase(folder, {}, &db, &w);
  EXPECT_EQ(s.code(), Status::Code::kNotFound);
  EXPECT_NE(s.message().find("INDEX.DDF"), std::string::npos);
  fs::rename(dir.File("index.bak"), dir.File("Index.Ddf"));  // any case will do
  EXPECT_TRUE(ReadDdfDatabase(folder, {}, &db, &w).ok());

  // A FIELD.DDF of 20-byte records, then one that is no data file at all.
  ASSERT_TRUE(WriteDataFile(FileKind::kOurs, dir.File("FIELD.DDF"), 20, false, {}, {std::vector<uint8_t>(20)}).ok());
  s = ReadDdfDatabase(folder, {}, &db, &w);
  EXPECT_EQ(s.code(), Status::Code::kCorrupt);
  EXPECT_NE(s.message().find("FIELD.DDF has records of 20 bytes"), std::string::npos) << s.message();
  std::ofstream(dir.File("FIELD.DDF"), std::ios::trunc) << "not a data file at all, only some text";
  s = ReadDdfDatabase(folder, {}, &db, &w);
  EXPECT_EQ(s.code(), Status::Code::kCorrupt);
  EXPECT_NE(s.message().find("FIELD.DDF does not open"), std::string::npos) << s.message();
  EXPECT_TRUE(db.tables.empty());
}

// Bytes of the dictionary files changed at random: each read ends in a
// status or in warnings, never in a crash, a hang or a silent stop.
TEST(DictionaryFaults, RandomDamageEndsInAStatusOrWarnings) {
  ScratchDir dir;
  DdfSpec spec;
  spec.kind = FileKind::kVersion5;
  spec.file_row_length = 87;
  spec.tables = {EveryTypeTable(5), VariableTable(kDdfLvar, 3)};
  ASSERT_TRUE(WriteDdfDatabase(dir.File(""), spec).ok());
  const char* names[] = {"FILE.DDF", "FIELD.DDF", "INDEX.DDF"};
  std::vector<std::vector<char>> originals;
  for (const char* name : names) {
    std::ifstream in(dir.File(name), std::ios::binary);
    originals.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  auto put = [&](const char* name, const std::vector<char>& image) {
    std::ofstream(dir.File(name), std::ios::binary | std::ios::trunc).write(image.data(), std::streamsize(image.size()));
  };
  std::mt19937 rng(20261206);
  int refused = 0, warned = 0;
  for (int round = 0; round < 150; ++round) {
    const size_t which = static_cast<size_t>(round) % 3;
    std::vector<char> image = originals[which];
    for (int k = 0; k < 3; ++k) image[rng() % image.size()] ^= static_cast<char>(1 + rng() % 255);
    put(names[which], image);
    DdfDatabase db;
    std::vector<std::string> w;
    const Status s = ReadDdfDatabase(dir.File(""), {}, &db, &w);
    if (!s.ok()) {
      ++refused;
      EXPECT_NE(s.message().find(names[which]), std::string::npos) << s.message();
    } else if (!w.empty()) {
      ++warned;
    }
    put(names[which], originals[which]);
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(warned, 0);
}

}  // namespace
}  // namespace tavelnor::ddf::test
