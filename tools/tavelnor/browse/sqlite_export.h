// One SQLite database holding every exported table: one SQL table per
// dictionary table, one typed column per exchange slot (INTEGER, REAL, TEXT,
// BLOB; dates and times as ISO text).
#pragma once

#include <string>
#include <vector>

#include "browse/exchange_values.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tavelnor::tool {

class SqliteExport {
 public:
  SqliteExport() = default;
  ~SqliteExport();
  SqliteExport(const SqliteExport&) = delete;
  SqliteExport& operator=(const SqliteExport&) = delete;

  // Creates the database at `path`, replacing any file there.
  bool Create(const std::string& path);
  // Starts table `name` with the columns of `layout` (in one transaction).
  bool BeginTable(const std::string& name, const std::vector<Column>& layout);
  bool AddRow(const std::vector<Cell>& cells);
  // Commits the table's rows.
  bool EndTable();
  const std::string& LastError() const { return error_; }

 private:
  bool Exec(const std::string& sql);
  bool Check(int rc, const char* what);

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  std::vector<Column> layout_;
  std::string error_;
};

// A double-quoted SQL identifier.
std::string SqlIdentifier(const std::string& name);

}  // namespace tavelnor::tool
