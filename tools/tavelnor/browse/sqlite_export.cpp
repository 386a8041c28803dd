// Exported tables written into an SQLite database.
#include "browse/sqlite_export.h"

#include <sqlite3.h>

#include <filesystem>
#include <string_view>

namespace tavelnor::tool {

std::string SqlIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

SqliteExport::~SqliteExport() {
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  if (db_ != nullptr) sqlite3_close(db_);
}

bool SqliteExport::Check(int rc, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return true;
  error_ = std::string(what) + ": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
  return false;
}

bool SqliteExport::Exec(const std::string& sql) {
  return Check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), sql.c_str());
}

bool SqliteExport::Create(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  if (!Check(sqlite3_open(path.c_str(), &db_), "opening the database")) return false;
  return Exec("PRAGMA journal_mode=OFF") && Exec("PRAGMA synchronous=OFF");
}

bool SqliteExport::BeginTable(const std::string& name, const std::vector<Column>& layout) {
  layout_ = layout;
  std::string create = "CREATE TABLE " + SqlIdentifier(name) + " (";
  std::string insert = "INSERT INTO " + SqlIdentifier(name) + " VALUES (";
  for (size_t i = 0; i < layout.size(); ++i) {
    create += (i ? ", " : "") + SqlIdentifier(layout[i].name) + " " + SqlTypeOf(layout[i].type);
    insert += i ? ", ?" : "?";
  }
  create += ")";
  insert += ")";
  if (layout.empty()) {
    create = "CREATE TABLE " + SqlIdentifier(name) + " (\"rowid_\" INTEGER)";
    insert = "INSERT INTO " + SqlIdentifier(name) + " VALUES (NULL)";
  }
  if (!Exec(create) || !Exec("BEGIN")) return false;
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  insert_ = nullptr;
  return Check(sqlite3_prepare_v2(db_, insert.c_str(), -1, &insert_, nullptr), "preparing");
}

bool SqliteExport::AddRow(const std::vector<Cell>& cells) {
  if (insert_ == nullptr) return false;
  sqlite3_reset(insert_);
  sqlite3_clear_bindings(insert_);
  for (size_t i = 0; i < cells.size() && i < layout_.size(); ++i) {
    const Cell& c = cells[i];
    const int at = static_cast<int>(i + 1);
    const std::string_view sql_type = SqlTypeOf(layout_[i].type);
    int rc = SQLITE_OK;
    if (c.kind == CellKind::kEmpty) {
      rc = sqlite3_bind_null(insert_, at);
    } else if (sql_type == "BLOB") {
      rc = sqlite3_bind_blob64(insert_, at, c.bytes.data(), c.bytes.size(), SQLITE_TRANSIENT);
    } else if (sql_type == "INTEGER") {
      rc = sqlite3_bind_int64(insert_, at, c.integer);
    } else if (sql_type == "REAL") {
      rc = sqlite3_bind_double(insert_, at, c.real);
    } else {
      const std::string& text = c.iso.empty() ? c.text : c.iso;
      rc = sqlite3_bind_text64(insert_, at, text.data(), text.size(), SQLITE_TRANSIENT,
                               SQLITE_UTF8);
    }
    if (!Check(rc, "binding a value")) return false;
  }
  return Check(sqlite3_step(insert_), "inserting a row");
}

bool SqliteExport::EndTable() {
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  insert_ = nullptr;
  return Exec("COMMIT");
}

}  // namespace tavelnor::tool
