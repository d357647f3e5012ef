#include "SqliteLedgerDatabase.h"

DatabaseFailure SqliteFailure(sqlite3* db, int result)
{
    const QString detail = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
    switch (result & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return DatabaseFailure(FailureKind::Busy, detail);
    case SQLITE_FULL: return DatabaseFailure(FailureKind::Full, detail);
    case SQLITE_READONLY: return DatabaseFailure(FailureKind::ReadOnly, detail);
    case SQLITE_PERM:
    case SQLITE_AUTH: return DatabaseFailure(FailureKind::NoPermission, detail);
    case SQLITE_NOMEM: return DatabaseFailure(FailureKind::OutOfMemory, detail);
    default: return DatabaseFailure(FailureKind::Other, detail);
    }
}

QString ColumnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return TextFromUtf8(text, sqlite3_column_bytes(statement, column));
}

void SqliteLedgerDatabase::fail(int result) const { throw SqliteFailure(m_db, result); }

sqlite3_stmt* SqliteLedgerDatabase::prepared(const char* sql)
{
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        sqlite3_stmt* raw = nullptr;
        const int result = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
        SqliteStatement statement(raw);
        if (result != SQLITE_OK)
            fail(result);
        found = m_statements.emplace(sql, std::move(statement)).first;
    }
    return found->second.get();
}

namespace {

// Binds and steps one use of a cached statement, resetting it afterwards.
class Use {
public:
    Use(sqlite3_stmt* statement, const std::vector<SqlValue>& parameters) : m_statement(statement)
    {
        int index = 0;
        for (const SqlValue& value : parameters) {
            ++index;
            if (m_result != SQLITE_OK)
                break;
            if (const auto* number = std::get_if<int64_t>(&value))
                m_result = sqlite3_bind_int64(statement, index, *number);
            else if (const auto* text = std::get_if<QString>(&value))
                m_result = BindText(statement, index, *text);
            else
                m_result = sqlite3_bind_null(statement, index);
        }
    }
    ~Use()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    // SQLITE_ROW, SQLITE_DONE or the failure.
    int step() { return m_result == SQLITE_OK ? sqlite3_step(m_statement) : m_result; }

private:
    sqlite3_stmt* m_statement;
    int m_result = SQLITE_OK;
};

SqlValue Column(sqlite3_stmt* statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL: return std::monostate();
    case SQLITE_INTEGER: return int64_t(sqlite3_column_int64(statement, column));
    default: return ColumnText(statement, column);
    }
}

}  // namespace

std::vector<SqlRow> SqliteLedgerDatabase::query(const char* sql, const std::vector<SqlValue>& parameters)
{
    sqlite3_stmt* statement = prepared(sql);
    Use use(statement, parameters);
    std::vector<SqlRow> rows;
    int result;
    while ((result = use.step()) == SQLITE_ROW) {
        SqlRow row;
        for (int column = 0; column < sqlite3_column_count(statement); ++column)
            row.push_back(Column(statement, column));
        rows.push_back(std::move(row));
    }
    if (result != SQLITE_DONE)
        fail(result);
    return rows;
}

int64_t SqliteLedgerDatabase::execute(const char* sql, const std::vector<SqlValue>& parameters)
{
    Use use(prepared(sql), parameters);
    int result;
    while ((result = use.step()) == SQLITE_ROW) { }
    if (result != SQLITE_DONE)
        fail(result);
    return sqlite3_changes64(m_db);
}

void SqliteLedgerDatabase::run(const char* sql)
{
    if (const int result = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); result != SQLITE_OK)
        fail(result);
}

bool SqliteLedgerDatabase::tryBeginTurn()
{
    // Only outside a transaction does the setting change.
    run("PRAGMA foreign_keys = OFF");
    // The caller waits between attempts and lets the window breathe.
    sqlite3_busy_timeout(m_db, 0);
    const int result = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(m_db, kBusyWaitMs);
    if (result == SQLITE_OK)
        return true;
    checkForeignKeys();
    if ((result & 0xff) == SQLITE_BUSY)
        return false;
    fail(result);
}

void SqliteLedgerDatabase::checkForeignKeys() noexcept
{
    sqlite3_exec(m_db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
}

void SqliteLedgerDatabase::commit()
{
    if (const int result = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr); result != SQLITE_OK) {
        const DatabaseFailure failure = SqliteFailure(m_db, result);
        rollback();
        throw failure;
    }
    checkForeignKeys();
}

void SqliteLedgerDatabase::rollback() noexcept
{
    // SQLite may already have rolled back on its own after some errors.
    if (inTransaction())
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    checkForeignKeys();
}

void SqliteLedgerDatabase::setSchemaVersion(int version)
{
    run(QByteArray("PRAGMA user_version = " + QByteArray::number(version)).constData());
}

void SqliteLedgerDatabase::upgradeOwnSchema(int version)
{
    // SQLite gives a new row the ID after the highest there: an undo that
    // removed the highest would have them given again. The undone run
    // keeps what had been given (no table of its own: the ledger's tables
    // stay those of every engine).
    if (version == 3) {
        for (const char* column :
             {"kept_trade_id", "kept_product_id", "kept_supplier_id", "kept_customer_id", "kept_kind_code"})
            run(QByteArray("ALTER TABLE runs ADD COLUMN ").append(column).append(" integer").constData());
    }
}

void SqliteLedgerDatabase::keepGivenIds(int64_t runId)
{
    execute("UPDATE runs SET kept_trade_id = (SELECT max(trade_id) FROM trades),"
            " kept_product_id = (SELECT max(product_id) FROM products),"
            " kept_supplier_id = (SELECT max(supplier_id) FROM suppliers),"
            " kept_customer_id = (SELECT max(customer_id) FROM customers),"
            " kept_kind_code = (SELECT max(kind_code) FROM kinds) WHERE run_id = ?1",
            {runId});
}
