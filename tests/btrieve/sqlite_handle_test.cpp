// The SQL of a borrowed connection: the data file's tables are named
// through its schema, nothing else is touched, and statements run there.
#include "btrieve/sqlite_handle.h"

#include <gtest/gtest.h>

namespace tavelnor::btrieve {
namespace {

TEST(Connection, QualifiesOnlyTheDataFileTablesOfABorrowedConnection) {
  Connection host;
  ASSERT_EQ(host.Open(":memory:", SQLITE_OPEN_READWRITE), SQLITE_OK);
  Connection own;
  EXPECT_EQ(own.Qualify("SELECT value FROM meta"), "SELECT value FROM meta");
  Connection borrowed;
  borrowed.Borrow(host.get(), "txn1");
  struct Case {
    const char* sql;
    const char* expected;
  } cases[] = {
      {"SELECT value FROM meta WHERE name = ?1", "SELECT value FROM txn1.meta WHERE name = ?1"},
      {"INSERT INTO keys(num, k, pos) VALUES (?1, ?2, ?3)",
       "INSERT INTO txn1.keys(num, k, pos) VALUES (?1, ?2, ?3)"},
      {"SELECT k, keys.pos FROM keys JOIN records ON records.pos = keys.pos",
       "SELECT k, txn1.keys.pos FROM txn1.keys JOIN txn1.records ON txn1.records.pos = "
       "txn1.keys.pos"},
      // Quoted words, longer words and words after a dot stay as they are.
      {"SELECT 'meta', keys_pos, x.records, metadata FROM t",
       "SELECT 'meta', keys_pos, x.records, metadata FROM t"},
      {"SAVEPOINT write", "SAVEPOINT write"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(borrowed.Qualify(c.sql), c.expected) << c.sql;
}

TEST(Connection, ABorrowedConnectionWritesItsAttachedDatabaseAndLeavesItOpen) {
  Connection host;
  ASSERT_EQ(host.Open(":memory:", SQLITE_OPEN_READWRITE), SQLITE_OK);
  ASSERT_EQ(host.Exec("CREATE TABLE meta(name, value); ATTACH ':memory:' AS txn1;"
                      "CREATE TABLE txn1.meta(name, value)"),
            SQLITE_OK);
  {
    Connection borrowed;
    borrowed.Borrow(host.get(), "txn1");
    EXPECT_EQ(borrowed.Exec("INSERT INTO meta VALUES ('a', 1)"), SQLITE_OK);
    Statement st;
    ASSERT_EQ(st.Prepare(borrowed, "SELECT count(*) FROM meta"), SQLITE_OK);
    ASSERT_EQ(st.Step(), SQLITE_ROW);
    EXPECT_EQ(st.Int(0), 1);
  }
  // The host connection outlives the borrower; its own table stayed empty.
  Statement st;
  ASSERT_EQ(st.Prepare(host, "SELECT (SELECT count(*) FROM main.meta), "
                             "(SELECT count(*) FROM txn1.meta)"),
            SQLITE_OK);
  ASSERT_EQ(st.Step(), SQLITE_ROW);
  EXPECT_EQ(st.Int(0), 0);
  EXPECT_EQ(st.Int(1), 1);
}

}  // namespace
}  // namespace tavelnor::btrieve
