#pragma once

#include "LedgerDatabase.h"
#include "SqliteHandles.h"

#include <QString>

#include <map>
#include <string>

// Why an SQLite call failed: its kind and SQLite's own words.
DatabaseFailure SqliteFailure(sqlite3* db, int result);

// Texts go to SQLite as UTF-8 and come back as UTF-8: SQLite reads a byte
// order mark at the start of UTF-16 text, so a name beginning with U+FEFF
// or U+FFFE would not come back as it went in.
inline int BindText(sqlite3_stmt* statement, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}
QString ColumnText(sqlite3_stmt* statement, int column);

// The ledger's database interface on an open SQLite connection, which the
// caller keeps open for this object's life. The write turn is SQLite's own
// write lock, taken by BEGIN IMMEDIATE: readers go on seeing the ledger as
// it was until the commit.
//
// During a turn SQLite checks no foreign key: the ledger's own logic keeps
// the references sound there (a run writes only IDs it has checked, an
// undo removes only rows nothing uses), and SQLite's check of each trade
// would cost a look-up of every row it names.
class SqliteLedgerDatabase : public LedgerDatabase {
public:
    explicit SqliteLedgerDatabase(sqlite3* db) : m_db(db) { }
    SqliteLedgerDatabase(const SqliteLedgerDatabase&) = delete;
    SqliteLedgerDatabase& operator=(const SqliteLedgerDatabase&) = delete;

    std::vector<SqlRow> query(const char* sql, const std::vector<SqlValue>& parameters = {}) override;
    int64_t execute(const char* sql, const std::vector<SqlValue>& parameters = {}) override;
    bool tryBeginTurn() override;
    void commit() override;
    void rollback() noexcept override;
    const char* idColumnType() const override { return "INTEGER PRIMARY KEY"; }
    void setSchemaVersion(int version) override;
    void upgradeOwnSchema(int version) override;
    void keepGivenIds(int64_t runId) override;

    bool inTransaction() const { return sqlite3_get_autocommit(m_db) == 0; }

private:
    // A prepared statement of this connection, kept for the next use.
    sqlite3_stmt* prepared(const char* sql);
    void run(const char* sql);
    // Back to SQLite's checks, once a turn is over.
    void checkForeignKeys() noexcept;
    [[noreturn]] void fail(int result) const;

    sqlite3* m_db;
    std::map<std::string, SqliteStatement> m_statements;
};
