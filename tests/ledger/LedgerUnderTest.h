#pragma once

#include "LedgerProbe.h"
#include "PostgresLedgerStore.h"
#include "PostgresProbe.h"
#include "SqliteLedgerStore.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <string>

// A fresh, empty ledger of one kind of store, with SQL access of the tests'
// own beside the store, so that the same cases run against every store.

// A ledger file in a temporary folder.
class SqliteLedger {
public:
    static constexpr bool kIsSqlite = true;
    static constexpr const char* kName = "Sqlite";
    static constexpr int kSchemaVersionForTests = SqliteLedgerStore::kSchemaVersion;

    // Shared, so that the tests can look at the file while a store has it open.
    std::unique_ptr<clsLedgerStore> makeStore() const { return std::make_unique<SqliteLedgerStore>(); }
    // The store as the program makes it.
    std::unique_ptr<clsLedgerStore> programStore() const { return std::make_unique<SqliteLedgerStore>(); }
    QString connection() const { return ConnectionTo(m_path); }
    std::unique_ptr<clsLedgerHistory> history() const { return OpenSqliteLedgerHistory(connection()); }
    std::unique_ptr<clsLedgerPatterns> patterns(bool blnToWrite = true) const
    {
        return OpenSqliteLedgerPatterns(connection(), blnToWrite);
    }

    QStringList rows(const QString& sql) const { return LedgerProbe(m_path).rows(sql.toUtf8().constData()); }
    QString value(const QString& sql) const { return LedgerProbe(m_path).value(sql.toUtf8().constData()); }
    long long number(const QString& sql) const { return value(sql).toLongLong(); }
    void exec(const QString& sql) const { LedgerProbe(m_path).exec(sql.toUtf8().constData()); }
    // A trade date as the SQLite ledger writes it.
    static QString dateText(const QString& column) { return column; }

    // Keeps every store from writing until released.
    void holdWrites()
    {
        m_holder = std::make_unique<LedgerProbe>(m_path);
        m_holder->exec("BEGIN IMMEDIATE");
    }
    void releaseWrites()
    {
        m_holder->exec("COMMIT");
        m_holder.reset();
    }

    QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("iOrvanta.mdb"));
    std::unique_ptr<LedgerProbe> m_holder;
};

// A schema of its own on the tests' server, dropped afterwards.
class PostgresLedger {
public:
    static constexpr bool kIsSqlite = false;
    static constexpr const char* kName = "Postgres";
    static constexpr int kSchemaVersionForTests = PostgresLedgerStore::kSchemaVersion;

    PostgresLedger()
        : m_schema(QStringLiteral("ledger_test_%1_%2").arg(getpid()).arg(QRandomGenerator::global()->generate()))
    {
        m_admin.exec(QStringLiteral("CREATE SCHEMA ") + m_schema);
    }
    ~PostgresLedger()
    {
        m_holder.reset();
        try {
            m_admin.exec(QStringLiteral("DROP SCHEMA ") + m_schema + QStringLiteral(" CASCADE"));
        } catch (const std::exception&) {
            // A test that broke the server leaves its schema behind in a throw-away cluster.
        }
    }
    PostgresLedger(const PostgresLedger&) = delete;
    PostgresLedger& operator=(const PostgresLedger&) = delete;

    std::unique_ptr<clsLedgerStore> makeStore() const { return std::make_unique<PostgresLedgerStore>(server()); }
    std::unique_ptr<clsLedgerStore> programStore() const { return makeStore(); }
    // What the window passes; the server store does not read it.
    static QString connection() { return ConnectionTo(QStringLiteral("/nonexistent/Data/iOrvanta.mdb")); }
    std::unique_ptr<clsLedgerHistory> history() const { return OpenPostgresLedgerHistory(server()); }
    std::unique_ptr<clsLedgerPatterns> patterns(bool blnToWrite = true) const
    {
        return OpenPostgresLedgerPatterns(server(), blnToWrite);
    }
    // The server the store is made with: libpq's variables name it, the
    // ledger is in this schema.
    LedgerServer server() const { return LedgerServer{QString(), m_schema, {}}; }
    // The tests' own connections find the ledger's tables by their path.
    QString probeConnection() const { return QStringLiteral("options='-c search_path=%1'").arg(m_schema); }
    QString schema() const { return m_schema; }
    // The names of the schema's tables, in order, joined by commas.
    QString tables()
    {
        return rows(QStringLiteral("SELECT relname FROM pg_class WHERE relnamespace = '%1'::regnamespace"
                                   " AND relkind = 'r' ORDER BY 1")
                        .arg(m_schema))
            .join(QLatin1Char(','));
    }

    QStringList rows(const QString& sql) { return probe().rows(sql); }
    QString value(const QString& sql) { return probe().value(sql); }
    long long number(const QString& sql) { return probe().number(sql); }
    void exec(const QString& sql) { probe().exec(sql); }
    // A trade date written as the SQLite ledger writes it.
    static QString dateText(const QString& column)
    {
        return QStringLiteral(
                   "to_char(%1, CASE WHEN %1::time = '00:00' THEN 'YYYY-MM-DD' ELSE 'YYYY-MM-DD HH24:MI:SS' END)")
            .arg(column);
    }

    void holdWrites()
    {
        m_holder = std::make_unique<PostgresProbe>(probeConnection());
        m_holder->exec(
            QStringLiteral("BEGIN; LOCK TABLE trades, products, suppliers, customers, kinds IN EXCLUSIVE MODE"));
    }
    void releaseWrites()
    {
        m_holder->exec(QStringLiteral("COMMIT"));
        m_holder.reset();
    }

private:
    PostgresProbe& probe()
    {
        if (!m_probe)
            m_probe = std::make_unique<PostgresProbe>(probeConnection());
        return *m_probe;
    }

    PostgresProbe m_admin;
    QString m_schema;
    std::unique_ptr<PostgresProbe> m_probe;
    std::unique_ptr<PostgresProbe> m_holder;
};

// A store opened on a fresh ledger.
template <typename Ledger>
struct OpenStore {
    Ledger db;
    std::unique_ptr<clsLedgerStore> store = db.makeStore();
    QString error;
    bool failed = true;

    OpenStore() { store->OpenConnection(db.connection(), error, failed); }
};

// The lines written to the standard error stream since
// testing::internal::CaptureStderr().
inline QStringList CapturedStderrLines()
{
    return QString::fromStdString(testing::internal::GetCapturedStderr()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The stores the typed tests run against.
using LedgerKinds = ::testing::Types<SqliteLedger, PostgresLedger>;

// Names the typed tests' instances after the store: "Sqlite", "Postgres".
struct LedgerKindName {
    template <typename Ledger>
    static std::string GetName(int)
    {
        return Ledger::kName;
    }
};
