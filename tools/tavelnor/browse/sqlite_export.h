// One SQLite database holding every exported table, made to be migrated
// from: one SQL table per dictionary table, one typed column per stored
// field, the first unique key on whole fields as primary key, the other keys
// as indexes, the links as foreign keys, and description tables
// (_tavelnor_tables, _tavelnor_fields, _tavelnor_keys, _tavelnor_links,
// _tavelnor_categories) holding what the SQL schema cannot say.
//
// Column types by stored kind: texts, memos, dates, times, time stamps and
// GUIDs TEXT (ISO 8601 forms); integers INTEGER, except unsigned 64-bit ones
// TEXT (SQLite's integers stop at 2^63-1); reals REAL; fixed-point amounts
// DECIMAL TEXT (text affinity, so "12.3400" stays as written); booleans
// INTEGER 0/1; bytes, blobs and pictures BLOB.
//
// Use: Create, then for each table BeginTable, AddRow per record, EndTable;
// then Finish once (also after a failure), which builds the indexes and the
// description tables. Not thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "browse/record_decoder.h"
#include "browse/table_model.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tavelnor::tool {

class SqliteExport {
 public:
  SqliteExport() = default;
  ~SqliteExport();
  SqliteExport(const SqliteExport&) = delete;
  SqliteExport& operator=(const SqliteExport&) = delete;

  // Creates the database at `path`, replacing any file there, for `tables`
  // (copied): foreign keys are declared only towards these.
  bool Create(const std::string& path, const std::vector<const TableModel*>& tables = {});
  // Creates the table with its primary key and foreign keys and starts its
  // transaction.
  bool BeginTable(const TableModel& table);
  // One value per field of the table, in order. `values` need only live
  // through the call. A row breaking the primary key is left out (counted,
  // and reported in the warnings when the table ends).
  bool AddRow(const std::vector<FieldValue>& values);
  // Commits the table's rows.
  bool EndTable();
  // Once, at the end: commits what a failed table left open, then builds
  // the indexes of every table begun and writes the description tables.
  // False when any step failed (the others are still done; LastError names
  // the last failure).
  bool Finish(const std::vector<CategoryModel>& categories);

  const std::string& LastError() const { return error_; }
  // What could not be carried over since the last call, one line each.
  std::vector<std::string> TakeWarnings();

 private:
  struct Begun {
    size_t table = 0;        // in tables_
    int primary_key = -1;    // in the table's keys
    int rowid_field = -1;    // the primary key's one INTEGER column: the rowid
    uint64_t left_out = 0;   // rows the primary key refused
    std::string definition;  // the columns and the primary key, in SQL
  };
  // A declared foreign key: the tables (in tables_) and the target's key.
  struct Reference {
    size_t table = 0;
    size_t target = 0;
    size_t key = 0;
    std::string clause;    // FOREIGN KEY ... REFERENCES ...
    bool dropped = false;  // taken out again: the target key not unique or not written
  };

  bool Exec(const std::string& sql);
  bool Check(int rc, const std::string& what);
  bool Prepare(const std::string& sql);
  void CloseTable();
  std::string CreateSql(const Begun& begun) const;
  bool DropReferences(size_t target, size_t key, std::string* tables);
  std::string UnusedName(const std::string& name);
  bool BuildIndexes(const Begun& begun);
  bool WriteDescriptions(const std::vector<CategoryModel>& categories);

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  std::vector<TableModel> tables_;
  std::vector<Begun> begun_;
  std::vector<Reference> references_;
  std::map<std::pair<size_t, size_t>, std::string> key_indexes_;  // table, key: SQL index
  bool in_table_ = false;
  bool model_table_ = false;          // the open table is begun_.back()
  std::vector<std::string> scratch_;  // per column: unsigned values written out
  std::vector<std::string> warnings_;
  std::string error_;
};

// A double-quoted SQL identifier.
std::string SqlIdentifier(const std::string& name);
// The declared SQL type of a stored field's column.
const char* SqlColumnType(const FieldModel& field);

}  // namespace tavelnor::tool
