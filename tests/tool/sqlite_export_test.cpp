// The SQLite export as a migration target: tables described by hand, a few
// rows of every value type, then the database read back with SQL.
//
// "Customer": Code ZSTRING + Branch LONG (unique key 0, the primary key),
// Name, Balance CURRENCY, Big UINT64, Ratio DOUBLE, Active BOOL, Photo BLOB,
// Born DATE, Raw 4 bytes. Keys: ByName (Name descending, Code; duplicates),
// NamePrefix (unique, on the first 3 bytes of Name), ByBig (unique), ByRaw
// (unique, repeated in the data).
// "Order": Id LONG (unique key 1, the primary key: key 0 is a null key),
// CustCode, CustBranch, CustName, CustRaw, with links to Customer's primary
// key, to ByName (not unique), to ByRaw, to "Supplier" (listed for the
// export but never written) and to a table that is not exported.
#include "browse/sqlite_export.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace tavelnor::tool {
namespace {

namespace fs = std::filesystem;

FieldModel Field(const char* name, uint16_t code, uint32_t offset, uint32_t size,
                 int32_t decimals = 0) {
  FieldModel f;
  f.name = f.field = name;
  f.type_code = code;
  f.offset = offset;
  f.size = size;
  f.precision = decimals;
  f.kind = StoredKindOf(code, size, &f.scale);
  return f;
}

KeySegmentModel Segment(const char* field, uint32_t offset, uint32_t length, uint16_t flags = 0) {
  return {field, offset, length, 0, flags};
}

FieldValue Null() { return {}; }
FieldValue Text(const std::string& text, ValueType type = ValueType::kText) {
  FieldValue v;
  v.type = type;
  v.text = text;
  return v;
}
FieldValue Integer(int64_t n, ValueType type = ValueType::kInteger) {
  FieldValue v;
  v.type = type;
  v.integer = n;
  return v;
}
FieldValue Bytes(const std::string& bytes, ValueType type = ValueType::kBlob) {
  FieldValue v;
  v.type = type;
  v.bytes = bytes;
  return v;
}

std::string TempPath() {
  return (fs::temp_directory_path() /
          ("tavelnor-sqlite-" + std::to_string(std::random_device{}()) + ".sqlite"))
      .string();
}

// The rows of `sql`, columns joined by "|", NULL as "~".
std::vector<std::string> Query(sqlite3* db, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      row += (i ? "|" : "") + std::string(text ? text : "~");
    }
    rows.push_back(row);
  }
  EXPECT_EQ(rc, SQLITE_DONE) << sql << ": " << sqlite3_errmsg(db);
  sqlite3_finalize(st);
  return rows;
}

class SqliteExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    customer_.name = "Customer";
    customer_.file_path = "customer.dat";
    customer_.record_length = 75;
    customer_.fields = {Field("Code", 0, 0, 8),     Field("Branch", 1, 8, 4),
                        Field("Name", 0, 12, 20),   Field("Balance", 29, 32, 8, 4),
                        Field("Big", 27, 40, 8),    Field("Ratio", 2, 48, 8),
                        Field("Active", 19, 56, 1), Field("Photo", 32, 57, 10),
                        Field("Born", 4, 67, 4),    Field("Raw", 14, 71, 4)};
    customer_.keys = {
        {0, "Code", true, 0, {Segment("Code", 0, 8), Segment("Branch", 8, 4)}},
        {1, "ByName", false, 1, {Segment("Name", 12, 20, 0x40), Segment("Code", 0, 8)}},
        {2, "NamePrefix", true, 0, {Segment("Name+0", 12, 3)}},
        {3, "ByBig", true, 0, {Segment("Big", 40, 8)}},
        {4, "ByRaw", true, 0, {Segment("Raw", 71, 4)}}};
    order_.name = "Order";
    order_.fields = {Field("Id", 1, 0, 4), Field("CustCode", 0, 4, 8),
                     Field("CustBranch", 1, 12, 4), Field("CustName", 0, 16, 20),
                     Field("CustRaw", 14, 36, 4)};
    order_.keys = {{0, "ByName", true, 0x08, {Segment("CustName", 16, 20)}},  // a null key
                   {1, "Id", true, 0, {Segment("Id", 0, 4)}}};
    order_.links = {{"Customer", "Customer", 0, {{"CustCode", "Code"}, {"CustBranch", "Branch"}}},
                    {"Named", "Customer", 1, {{"CustName", "Name"}}},
                    {"Raw", "Customer", 4, {{"CustRaw", "Raw"}}},
                    {"Supplier", "Supplier", 0, {{"CustCode", "Code"}}},
                    {"Carrier", "Carrier", 0, {{"CustCode", "Code"}}}};
    supplier_.name = "Supplier";
    supplier_.fields = {Field("Code", 0, 0, 8)};
    supplier_.keys = {{0, "Code", true, 0, {Segment("Code", 0, 8)}}};

    path_ = TempPath();
    SqliteExport db;
    ASSERT_TRUE(db.Create(path_, {&customer_, &order_, &supplier_})) << db.LastError();
    FieldValue big;  // above the signed range, its text left to the export
    big.type = ValueType::kUnsigned;
    big.unsigned_integer = 18446744073709551615u;
    const std::string photo("\0a\0b\0", 5);
    const std::string raw("\x01\x02\0\0", 4);
    const FieldValue real = [] {
      FieldValue v;
      v.type = ValueType::kReal;
      v.real = 0.1;
      return v;
    }();
    ASSERT_TRUE(db.BeginTable(customer_)) << db.LastError();
    const std::vector<std::vector<FieldValue>> customers = {
        {Text("C1"), Integer(1), Text("Ann"), Text("12.3400", ValueType::kDecimal), big, real,
         Integer(1, ValueType::kBool), Bytes(photo), Text("2024-02-29", ValueType::kDate),
         Bytes(raw, ValueType::kBytes)},
        {Text("C2"), Integer(1), Text("Anna"), Text("-0.5000", ValueType::kDecimal), Integer(7),
         Text("NaN"), Integer(0, ValueType::kBool), Null(), Null(), Bytes(raw, ValueType::kBytes)},
        {Text("C1"), Integer(1), Text("Dup"), Null(), Null(), Null(), Null(), Null(), Null(),
         Null()},
        {Text("C1"), Integer(2), Text("Bob"), Null(), Null(), Null(), Null(), Null(), Null(),
         Null()}};
    for (const auto& row : customers) ASSERT_TRUE(db.AddRow(row)) << db.LastError();
    ASSERT_TRUE(db.EndTable()) << db.LastError();
    ASSERT_TRUE(db.BeginTable(order_)) << db.LastError();
    const std::vector<std::vector<FieldValue>> orders = {
        {Integer(1), Text("C1"), Integer(1), Text("Ann"), Bytes(raw, ValueType::kBytes)},
        {Integer(2), Text("C1"), Integer(2), Text("Bob"), Null()},
        {Integer(3), Text("C9"), Integer(1), Text("Nobody"), Null()},  // no such customer
        {Null(), Text("C2"), Integer(1), Text("Anna"), Null()}};       // no order number
    for (const auto& row : orders) ASSERT_TRUE(db.AddRow(row)) << db.LastError();
    ASSERT_TRUE(db.EndTable()) << db.LastError();
    ASSERT_TRUE(db.Finish({{"SALES", "Sales"}})) << db.LastError();
    warnings_ = db.TakeWarnings();
    ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  }
  void TearDown() override {
    sqlite3_close(db_);
    std::error_code ec;
    fs::remove(path_, ec);
  }

  std::vector<std::string> Query(const std::string& sql) { return tool::Query(db_, sql); }
  bool Warned(const std::string& part) const {
    for (const std::string& w : warnings_) {
      if (w.find(part) != std::string::npos) return true;
    }
    return false;
  }

  TableModel customer_, order_, supplier_;  // Supplier listed, never written
  std::string path_;
  std::vector<std::string> warnings_;
  sqlite3* db_ = nullptr;
};

using Rows = std::vector<std::string>;

TEST_F(SqliteExportTest, ColumnsKeysAndLinksBecomeTypesIndexesAndForeignKeys) {
  EXPECT_EQ(Query("SELECT name, type, pk FROM pragma_table_info('Customer')"),
            (Rows{"Code|TEXT|1", "Branch|INTEGER|2", "Name|TEXT|0", "Balance|DECIMAL TEXT|0",
                  "Big|TEXT|0", "Ratio|REAL|0", "Active|INTEGER|0", "Photo|BLOB|0", "Born|TEXT|0",
                  "Raw|BLOB|0"}));
  EXPECT_EQ(Query("SELECT name, pk FROM pragma_table_info('Order') WHERE pk"), Rows{"Id|1"});
  EXPECT_EQ(
      Query("SELECT name, \"unique\", origin FROM pragma_index_list('Customer') ORDER BY name"),
      (Rows{"Customer_ByBig|1|c", "Customer_ByName|0|c", "Customer_ByRaw|0|c",
            "Customer_NamePrefix|0|c", "sqlite_autoindex_Customer_1|1|pk"}));
  EXPECT_EQ(Query("SELECT name, desc FROM pragma_index_xinfo('Customer_ByName') WHERE key"),
            (Rows{"Name|1", "Code|0"}));
  EXPECT_EQ(Query("SELECT name FROM pragma_index_xinfo('Customer_NamePrefix') WHERE key"),
            Rows{"Name"});
  // The link to ByRaw was declared, then taken out when the data showed
  // ByRaw not unique; the other links have no unique target.
  EXPECT_EQ(
      Query(
          "SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list('Order') ORDER BY seq"),
      (Rows{"Customer|CustCode|Code", "Customer|CustBranch|Branch"}));
  EXPECT_EQ(Query("SELECT \"table\", rowid, parent FROM pragma_foreign_key_check"),
            Rows{"Order|3|Customer"});
  EXPECT_EQ(Query("PRAGMA integrity_check"), Rows{"ok"});

  EXPECT_TRUE(Warned("Customer: key NamePrefix: a segment covers part of a field"));
  EXPECT_TRUE(Warned(
      "Customer: key ByRaw: the data repeats its values; the index is not unique; the foreign "
      "keys of Order towards it are taken out"));
  EXPECT_TRUE(Warned("Order: link Named to Customer: its columns are not a unique key there"));
  EXPECT_TRUE(Warned("Order: link Carrier to Carrier: that table is not exported"));
  EXPECT_TRUE(Warned(
      "the foreign keys of Order towards Supplier are taken out: that table was not written"));
  EXPECT_TRUE(Warned("Customer: 1 rows left out: their value of key Code, the primary key"));
  EXPECT_TRUE(Warned("Order: 1 rows left out: their value of key Id"));
  EXPECT_EQ(warnings_.size(), 7u);
}

TEST_F(SqliteExportTest, ValuesReadBackExactly) {
  EXPECT_EQ(Query("SELECT Code, Branch, Name FROM Customer ORDER BY Code, Branch"),
            (Rows{"C1|1|Ann", "C1|2|Bob", "C2|1|Anna"}))
      << "the row repeating C1/1 is left out";
  EXPECT_EQ(
      Query("SELECT typeof(Balance), Balance, typeof(Big), Big, typeof(Ratio), Ratio = 0.1, "
            "typeof(Active), Active, typeof(Born), Born FROM Customer ORDER BY Code, Branch"),
      (Rows{"text|12.3400|text|18446744073709551615|real|1|integer|1|text|2024-02-29",
            "null|~|null|~|null|~|null|~|null|~", "text|-0.5000|text|7|text|0|integer|0|null|~"}));
  EXPECT_EQ(
      Query(
          "SELECT typeof(Photo), hex(Photo), typeof(Raw), hex(Raw) FROM Customer WHERE Code = 'C1' "
          "AND Branch = 1"),
      Rows{"blob|0061006200|blob|01020000"});
  EXPECT_EQ(Query("SELECT Id FROM \"Order\" ORDER BY Id"), (Rows{"1", "2", "3"}));
}

TEST_F(SqliteExportTest, DescriptionTablesKeepTheDictionary) {
  EXPECT_EQ(Query("SELECT file_path, record_length, primary_key FROM _tavelnor_tables WHERE "
                  "table_name = 'Customer'"),
            Rows{"customer.dat|75|Code"});
  EXPECT_EQ(Query("SELECT type_code, type_name, stored_kind, offset, size, decimals, scale FROM "
                  "_tavelnor_fields "
                  "WHERE table_name = 'Customer' AND column_name = 'Balance'"),
            Rows{"29|CURRENCY|fixed|32|8|4|4"});
  EXPECT_EQ(Query("SELECT sql_index, segment, field, offset, length, segment_flags FROM "
                  "_tavelnor_keys WHERE table_name = 'Customer' AND key_number < 3 "
                  "ORDER BY key_number, segment"),
            (Rows{"PRIMARY KEY|0|Code|0|8|0", "PRIMARY KEY|1|Branch|8|4|0",
                  "Customer_ByName|0|Name|12|20|64", "Customer_ByName|1|Code|0|8|0",
                  "Customer_NamePrefix|0|Name+0|12|3|0"}));
  EXPECT_EQ(Query("SELECT sql_index FROM _tavelnor_keys WHERE table_name = 'Supplier'"), Rows{"~"})
      << "a table not written has no index";
  EXPECT_EQ(Query("SELECT link_name, part, column_name, target_column FROM _tavelnor_links "
                  "WHERE target_key = 0 ORDER BY link_name, part"),
            (Rows{"Carrier|0|CustCode|Code", "Customer|0|CustCode|Code",
                  "Customer|1|CustBranch|Branch", "Supplier|0|CustCode|Code"}));
  EXPECT_EQ(Query("SELECT * FROM _tavelnor_categories"), Rows{"SALES|Sales"});
}

// A row the table cannot take fails alone; Finish then commits the rows
// written before it and still builds the indexes.
TEST(SqliteExportAfterAFailure, FinishKeepsTheRowsWritten) {
  TableModel table;
  table.name = "T";
  table.fields = {Field("A", 1, 0, 4), Field("B", 0, 4, 8)};
  table.keys = {{0, "ByB", false, 0, {Segment("B", 4, 8)}}};
  const std::string path = TempPath();
  {
    SqliteExport db;
    ASSERT_TRUE(db.Create(path, {&table})) << db.LastError();
    ASSERT_TRUE(db.BeginTable(table)) << db.LastError();
    ASSERT_TRUE(db.AddRow({Integer(1), Text("x")})) << db.LastError();
    EXPECT_FALSE(db.AddRow({Integer(2)}));
    EXPECT_EQ(db.LastError(), "T: 1 values for 2 fields");
    EXPECT_FALSE(db.BeginTable(table)) << "T is still open";
    EXPECT_TRUE(db.Finish({})) << db.LastError();
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  EXPECT_EQ(Query(db, "SELECT A, B FROM T"), std::vector<std::string>{"1|x"});
  EXPECT_EQ(Query(db, "SELECT name FROM pragma_index_list('T')"),
            std::vector<std::string>{"T_ByB"});
  sqlite3_close(db);
  std::error_code ec;
  fs::remove(path, ec);
}

}  // namespace
}  // namespace tavelnor::tool
