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
    explicit StatementUse(const SqliteStatement& statement) : m_statement(statement.get()) {}
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

// A write transaction on prepared BEGIN IMMEDIATE / COMMIT / ROLLBACK
// statements; rolled back unless committed. IMMEDIATE takes the write lock
// up front, so a busy database is waited for at the start instead of
// failing half-way with a lock upgrade.
class WriteTransaction {
public:
    WriteTransaction(sqlite3* db, const SqliteStatement& begin, const SqliteStatement& commit,
                     const SqliteStatement& rollback)
        : m_db(db), m_commit(commit), m_rollback(rollback)
    {
        StatementUse use(begin);
        m_result = sqlite3_step(use);
        m_open = m_result == SQLITE_DONE;
    }
    ~WriteTransaction()
    {
        // SQLite may already have rolled back on its own after some errors.
        if (m_open && !sqlite3_get_autocommit(m_db)) {
            StatementUse use(m_rollback);
            sqlite3_step(use);
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    // SQLITE_DONE when the transaction started.
    int beginResult() const { return m_result; }

    int commit()
    {
        StatementUse use(m_commit);
        const int result = sqlite3_step(use);
        if (result == SQLITE_DONE)
            m_open = false;
        return result;
    }

private:
    sqlite3* m_db;
    const SqliteStatement& m_commit;
    const SqliteStatement& m_rollback;
    int m_result = SQLITE_ERROR;
    bool m_open = false;
};
