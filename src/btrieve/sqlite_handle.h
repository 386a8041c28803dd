// Thin RAII wrappers over SQLite connections and prepared statements, used
// only by the record manager's storage.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tavelnor::btrieve {

// One prepared statement, reset after every use through Scope.
class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

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

// Owns a connection.
class Connection {
 public:
  Connection() = default;
  ~Connection() { sqlite3_close_v2(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int Open(const std::string& path, int flags) {
    return sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  }
  sqlite3* get() const { return db_; }
  int Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace tavelnor::btrieve
