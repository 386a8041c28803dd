// Dictionaries written in each kind of file read back: tables, columns and
// keys as written. (Every value of every type, through the tool's export of
// the same sets, is checked in tests/tool/ddf_dictionary_test.cpp.)
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "btrieve/btrieve_test_util.h"
#include "btrieve/data_file.h"
#include "ddf/ddf_reader.h"
#include "ddf/ddf_samples.h"

namespace tavelnor::ddf::test {
namespace {

namespace fs = std::filesystem;
using btrieve::testing::ScratchDir;

class WrittenDictionary : public ::testing::TestWithParam<FileKind> {
 protected:
  void SetUp() override {
    spec_.kind = GetParam();
    spec_.lower_case_names = GetParam() == FileKind::kVersion6;
    spec_.file_row_length = GetParam() == FileKind::kVersion5 ? 87 : 97;
    spec_.tables = {EveryTypeTable(3000), VariableTable(kDdfNote, 300), VariableTable(kDdfLvar, 300)};
    ASSERT_TRUE(WriteDdfDatabase(dir_.File(""), spec_).ok());
  }
  ScratchDir dir_;
  DdfSpec spec_;
};

TEST_P(WrittenDictionary, TablesColumnsAndKeysAsWritten) {
  DdfDatabase db;
  std::vector<std::string> warnings;
  ASSERT_TRUE(ReadDdfDatabase(dir_.File(""), {}, &db, &warnings).ok());
  EXPECT_TRUE(warnings.empty()) << warnings.front();
  ASSERT_EQ(db.tables.size(), spec_.tables.size());
  EXPECT_FALSE(db.one_based);
  for (size_t t = 0; t < spec_.tables.size(); ++t) {
    const TableSpec& want = spec_.tables[t];
    const DdfTable& got = db.tables[t];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.location, want.location);
    EXPECT_TRUE(got.checked);
    EXPECT_EQ(fs::path(got.path), fs::path(dir_.File(want.file)));
    EXPECT_EQ(got.record_length, want.record_length);
    ASSERT_EQ(got.fields.size(), want.columns.size());
    std::map<uint16_t, const DdfField*> by_id;
    for (const DdfField& f : got.fields) by_id[f.id] = &f;
    for (size_t c = 0; c < want.columns.size(); ++c) {
      const ColumnSpec& w = want.columns[c];
      const DdfField& f = *std::next(by_id.begin(), static_cast<std::ptrdiff_t>(c))->second;
      EXPECT_EQ(f.name, w.name);
      EXPECT_EQ(f.type, w.type) << w.name;
      EXPECT_EQ(f.offset, w.offset) << w.name;
      EXPECT_EQ(f.size, w.size) << w.name;
      EXPECT_EQ(f.decimals, w.decimals) << w.name;
    }
    ASSERT_EQ(got.keys.size(), want.keys.size());
    for (size_t k = 0; k < want.keys.size(); ++k) {
      EXPECT_EQ(got.keys[k].number, k);
      EXPECT_EQ(got.keys[k].name, want.keys[k].name);
      ASSERT_EQ(got.keys[k].segments.size(), want.keys[k].columns.size());
      for (size_t s = 0; s < want.keys[k].columns.size(); ++s) {
        const DdfSegment& seg = got.keys[k].segments[s];
        EXPECT_EQ(by_id.at(seg.field_id)->name, want.columns[want.keys[k].columns[s]].name);
        EXPECT_EQ(seg.flags & 0x0003, want.keys[k].flags);
      }
    }
  }
}

// The X$ tables describe the three files themselves: read with them, each is
// checked against its own file without a difference.
TEST_P(WrittenDictionary, SystemTablesDescribeTheDictionaryFiles) {
  DdfDatabase db;
  std::vector<std::string> warnings;
  DdfOptions options;
  options.system_tables = true;
  ASSERT_TRUE(ReadDdfDatabase(dir_.File(""), options, &db, &warnings).ok());
  EXPECT_TRUE(warnings.empty()) << warnings.front();
  ASSERT_EQ(db.tables.size(), 3 + spec_.tables.size());
  const DdfTable* field = db.FindTable("x$FIELD");
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(field->system && field->checked);
  EXPECT_EQ(field->record_length, 32);
  ASSERT_EQ(field->keys.size(), 4u);
  EXPECT_EQ(field->keys[3].segments.size(), 2u);
  EXPECT_EQ(db.FindTable("X$File")->keys[1].name, "Xf$NameIndex");
  EXPECT_EQ(db.FindTable("X$File")->record_length, spec_.file_row_length);
  EXPECT_EQ(db.index_name_rows, 3u);
  EXPECT_EQ(db.rows_read[0], 6u);
  EXPECT_EQ(db.field_rows, db.rows_read[1] - db.index_name_rows);
  EXPECT_EQ(db.index_rows, db.rows_read[2]);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WrittenDictionary,
                         ::testing::Values(FileKind::kOurs, FileKind::kVersion5, FileKind::kVersion6),
                         [](const auto& info) {
                           return info.param == FileKind::kOurs       ? std::string("Ours")
                                  : info.param == FileKind::kVersion5 ? std::string("Version5")
                                                                      : std::string("Version6");
                         });

}  // namespace
}  // namespace tavelnor::ddf::test
