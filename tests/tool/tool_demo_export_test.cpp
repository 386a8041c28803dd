// The demo company built by "tavelnor demo", exported by "tavelnor export":
// every table of the SQLite database holds, row for row and column for
// column, the records read through the exported interface in exchange mode.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "browse/text_codec.h"
#include "tavelnor/zavl.h"
#include "tool/tool_fixture.h"

namespace tavelnor::tool::testing {
namespace {

namespace fs = std::filesystem;

struct Slot {
  std::string name;
  int32_t type = 0;
  int32_t size = 0;
};

// The exchange slots of a table, in order, from its field list.
std::vector<Slot> SlotsOf(ZAVL_Schema* schema, const std::string& table) {
  std::vector<Slot> slots;
  ZAVL_Data* list = ZAVL_OpenData(schema, ("#" + table).c_str(), 0);
  EXPECT_NE(list, nullptr) << table;
  for (int32_t pos = ZAVL_GetFirst(list); pos != -1; pos = ZAVL_GetNext(list)) {
    const auto* row = static_cast<const uint8_t*>(ZAVL_GetBuffer(list));
    Slot s;
    s.name = reinterpret_cast<const char*>(row);
    s.type = row[32];
    std::memcpy(&s.size, row + 33, 4);
    if (s.size > 0) slots.push_back(s);
  }
  ZAVL_CloseData(list);
  return slots;
}

// Compares one record of the exchange buffer with one SQLite row.
void CompareRow(const std::string& table, const std::vector<Slot>& slots, const uint8_t* rec,
                sqlite3_stmt* row) {
  uint32_t at = 0;
  for (size_t i = 0; i < slots.size(); ++i) {
    const Slot& s = slots[i];
    const uint8_t* v = rec + at;
    at += static_cast<uint32_t>(s.size);
    const int col = static_cast<int>(i);
    const int type = sqlite3_column_type(row, col);
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, col));
    const std::string where = table + "." + s.name;
    int32_t i32 = 0;
    int16_t i16 = 0;
    double d = 0;
    switch (s.type) {
      case ZAVL_FT_STRING: {
        const std::string value = Cp1252ToUtf8(reinterpret_cast<const char*>(v));
        EXPECT_EQ(text ? std::string(text) : std::string(), value) << where;
        break;
      }
      case ZAVL_FT_INTEGER:
        std::memcpy(&i32, v, 4);
        EXPECT_EQ(sqlite3_column_int64(row, col), i32) << where;
        break;
      case ZAVL_FT_SMALLINT:
        std::memcpy(&i16, v, 2);
        EXPECT_EQ(sqlite3_column_int64(row, col), i16) << where;
        break;
      case ZAVL_FT_BOOLEAN:
        EXPECT_EQ(sqlite3_column_int64(row, col), v[0] != 0 ? 1 : 0) << where;
        break;
      case ZAVL_FT_FLOAT:
        std::memcpy(&d, v, 8);
        EXPECT_DOUBLE_EQ(sqlite3_column_double(row, col), d) << where;
        break;
      case ZAVL_FT_DATE:
      case ZAVL_FT_DATETIME:
        std::memcpy(&i32, v, 4);
        if (s.type == ZAVL_FT_DATETIME) std::memcpy(&d, v, 8);
        EXPECT_EQ(type == SQLITE_NULL, s.type == ZAVL_FT_DATE ? i32 == 0 : d == 0) << where;
        break;
      case ZAVL_FT_MEMO:
      case ZAVL_FT_BLOB:
      case ZAVL_FT_GRAPHIC: {
        uint32_t length = 0;
        const char* block = nullptr;
        std::memcpy(&length, v, 4);
        std::memcpy(&block, v + 4, sizeof block);
        const std::string bytes(block ? block : "", block ? length : 0);
        if (bytes.empty()) {
          EXPECT_EQ(sqlite3_column_bytes(row, col), 0) << where << ": NULL or empty";
        } else if (type == SQLITE_BLOB) {
          EXPECT_EQ(std::string(static_cast<const char*>(sqlite3_column_blob(row, col)),
                                static_cast<size_t>(sqlite3_column_bytes(row, col))),
                    bytes)
              << where;
        } else {
          EXPECT_EQ(std::string(text ? text : ""), Cp1252ToUtf8(bytes)) << where;
        }
        break;
      }
      default:
        break;
    }
  }
}

TEST_F(ToolTest, DemoCompanyExportHoldsEveryRecordReadThroughTheInterface) {
  const fs::path folder = fs::path(Folder()) / "demo-export";
  fs::remove_all(folder);
  const std::string company = (folder / "company").string();
  const std::string out = (folder / "export").string();
  const ToolRun built = Run({"demo", "--out", company});
  ASSERT_EQ(built.code, 0) << built.err;
  const std::string dico = company + "/tavelnor-demo.dic";
  const ToolRun exported = Run({"export", dico, out});
  ASSERT_EQ(exported.code, 0) << exported.err;

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((out + "/tavelnor-demo.sqlite").c_str(), &db, SQLITE_OPEN_READONLY,
                            nullptr),
            SQLITE_OK);
  ZAVL_Schema* schema = ZAVL_OpenSchema(dico.c_str(), SCHEMA_EXCHANGE | SCHEMA_QUIET);
  ASSERT_NE(schema, nullptr);
  ZAVL_Data* tables = ZAVL_OpenData(schema, "", 0);
  std::vector<std::string> names;
  for (int32_t p = ZAVL_GetFirst(tables); p != -1; p = ZAVL_GetNext(tables)) {
    names.emplace_back(static_cast<const char*>(ZAVL_GetBuffer(tables)));
  }
  ZAVL_CloseData(tables);
  ASSERT_EQ(names.size(), 12u);
  int64_t total = 0;
  for (const std::string& table : names) {
    const std::vector<Slot> slots = SlotsOf(schema, table);
    ZAVL_Data* data = ZAVL_OpenData(schema, table.c_str(), 0);
    ASSERT_NE(data, nullptr) << table;
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT * FROM \"" + table + "\" ORDER BY rowid";
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << table;
    ASSERT_EQ(sqlite3_column_count(st), static_cast<int>(slots.size())) << table;
    int64_t rows = 0;
    for (int32_t p = ZAVL_GetFirst(data); p != -1; p = ZAVL_GetNext(data), ++rows) {
      ASSERT_EQ(sqlite3_step(st), SQLITE_ROW) << table << " row " << rows;
      CompareRow(table, slots, static_cast<const uint8_t*>(ZAVL_GetBuffer(data)), st);
      if (HasFailure()) break;
    }
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE) << table << ": more rows than records";
    EXPECT_EQ(rows, ZAVL_GetNbRecords(data)) << table;
    sqlite3_finalize(st);
    ZAVL_CloseData(data);
    total += rows;
    if (HasFailure()) break;
  }
  EXPECT_GT(total, 50000) << "the demo company has tens of thousands of records";
  ZAVL_CloseSchema(schema);
  sqlite3_close(db);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tavelnor::tool::testing
