#pragma once

#include "LedgerDatabase.h"
#include "SqliteHandles.h"

#include <QString>

#include <map>
#include <string>

// Why an SQLite call failed, as the user should read it; busyTimeoutMs is
// how long a busy file was waited for.
QString SqliteErrorText(sqlite3* db, int result, int busyTimeoutMs);

// The ledger's database interface on an open SQLite connection, which the
// caller keeps open for this object's life. The write turn is SQLite's own
// write lock, taken by BEGIN IMMEDIATE: readers go on seeing the ledger as
// it was until the commit.
//
// During a turn SQLite checks no foreign key: the ledger's own logic keeps
// the references sound there (a run writes only IDs it has checked, an
// undo removes only rows nothing uses), and SQLite's check of each removed
// master row would read all the trades, which carry no index for it.
class SqliteLedgerDatabase : public LedgerDatabase {
public:
    SqliteLedgerDatabase(sqlite3* db, int busyTimeoutMs) : m_db(db), m_busyTimeoutMs(busyTimeoutMs) {}
    SqliteLedgerDatabase(const SqliteLedgerDatabase&) = delete;
    SqliteLedgerDatabase& operator=(const SqliteLedgerDatabase&) = delete;

    std::vector<SqlRow> query(const char* sql, const std::vector<SqlValue>& parameters = {}) override;
    int64_t execute(const char* sql, const std::vector<SqlValue>& parameters = {}) override;
    bool tryBeginTurn() override;
    void commit() override;
    void rollback() noexcept override;
    const char* idColumnType() const override { return "INTEGER PRIMARY KEY"; }
    bool indexesReferences() const override { return false; }
    void setSchemaVersion(int version) override;

    bool inTransaction() const { return sqlite3_get_autocommit(m_db) == 0; }

private:
    // A prepared statement of this connection, kept for the next use.
    sqlite3_stmt* prepared(const char* sql);
    void run(const char* sql);
    // Back to SQLite's checks, once a turn is over.
    void checkForeignKeys() noexcept;
    [[noreturn]] void fail(int result) const;

    sqlite3* m_db;
    int m_busyTimeoutMs;
    std::map<std::string, SqliteStatement> m_statements;
};
