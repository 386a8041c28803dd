// Thin RAII wrappers over SQLite connections and prepared statements, used
// only by the record manager's storage. A connection either owns its SQLite
// connection, or borrows another one on which its file is attached under a
// schema name; its SQL then names the file's tables through that schema.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tavelnor::btrieve {

class Connection;

// One prepared statement, reset after every use through Scope.
class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  int Prepare(const Connection& db, std::string_view sql);
  int Prepare(sqlite3* db, std::string_view sql) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    return sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  }
  sqlite3_stmt* get() const { return stmt_; }

  void BindInt(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void BindBlob(int i, const void* p, size_t n) {
    sqlite3_bind_blob64(stmt_, i, n == 0 ? "" : p, n, SQLITE_STATIC);
  }
  void BindBlob(int i, const std::string& s) { BindBlob(i, s.data(), s.size()); }
  void BindText(int i, std::string_view s) {
    sqlite3_bind_text64(stmt_, i, s.data(), s.size(), SQLITE_STATIC, SQLITE_UTF8);
  }
  int Step() { return sqlite3_step(stmt_); }
  int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  std::string Blob(int col) const {
    const void* p = sqlite3_column_blob(stmt_, col);
    int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
  }

  // Resets the statement and clears its bindings when it leaves scope, so no
  // statement holds a read lock or a dangling bound pointer between calls.
  class Scope {
   public:
    explicit Scope(Statement& s) : s_(s) {}
    ~Scope() {
      sqlite3_reset(s_.stmt_);
      sqlite3_clear_bindings(s_.stmt_);
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Statement& s_;
  };

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Owns a connection, or borrows one (Borrow) with the file attached there.
class Connection {
 public:
  Connection() = default;
  ~Connection() { Close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int Open(const std::string& path, int flags) {
    return sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  }
  // Closes the own connection (once its statements are finalized) and uses
  // `db` from now on, on which the file is attached as `schema`.
  void Borrow(sqlite3* db, std::string schema) {
    Close();
    db_ = db;
    owned_ = false;
    schema_ = std::move(schema);
  }
  sqlite3* get() const { return db_; }
  const std::string& schema() const { return schema_; }
  int Exec(const char* sql) {
    if (schema_.empty()) return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return sqlite3_exec(db_, Qualify(sql).c_str(), nullptr, nullptr, nullptr);
  }
  int Exec(const std::string& sql) { return Exec(sql.c_str()); }

  // `sql` with the data file's tables (meta, records, keys) named through
  // the schema of a borrowed connection; unchanged on an own connection.
  // Words in quotes and after a dot are left alone.
  std::string Qualify(std::string_view sql) const {
    if (schema_.empty()) return std::string(sql);
    auto word_char = [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             c == '_';
    };
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < sql.size();) {
      if (quoted || !word_char(sql[i])) {
        if (sql[i] == '\'') quoted = !quoted;
        out.push_back(sql[i++]);
        continue;
      }
      size_t end = i;
      while (end < sql.size() && word_char(sql[end])) ++end;
      const std::string_view word = sql.substr(i, end - i);
      const bool after_dot = i > 0 && sql[i - 1] == '.';
      if (!after_dot && (word == "meta" || word == "records" || word == "keys")) {
        out += schema_;
        out += '.';
      }
      out += word;
      i = end;
    }
    return out;
  }

 private:
  void Close() {
    if (owned_) sqlite3_close_v2(db_);
    db_ = nullptr;
  }

  sqlite3* db_ = nullptr;
  bool owned_ = true;
  std::string schema_;  // empty: the own connection's main database
};

inline int Statement::Prepare(const Connection& db, std::string_view sql) {
  if (db.schema().empty()) return Prepare(db.get(), sql);
  return Prepare(db.get(), db.Qualify(sql));
}

}  // namespace tavelnor::btrieve
