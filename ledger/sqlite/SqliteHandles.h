#pragma once

#include <sqlite3.h>

#include <memory>

// Owners for the SQLite C API's handles.

struct SqliteCloser {
    // close_v2 so that a statement left over by mistake cannot keep the
    // handle open for ever.
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using SqliteDatabase = std::unique_ptr<sqlite3, SqliteCloser>;

struct SqliteFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// One use of a prepared statement. Resets it and drops its bindings when
// the use ends, so that no read lock and no pointer to a caller's text
// outlives the call.
class StatementUse {
public:
    explicit StatementUse(const SqliteStatement& statement) : m_statement(statement.get()) { }
    ~StatementUse()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

    sqlite3_stmt* get() const { return m_statement; }
    operator sqlite3_stmt*() const { return m_statement; }

private:
    sqlite3_stmt* m_statement;
};
