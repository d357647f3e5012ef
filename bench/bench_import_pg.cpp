// Imports generated code page 932 sales files of 1,000 and 32,767 lines
// through the engine into a fresh ledger on a PostgreSQL server and into a
// fresh SQLite ledger, and prints both times; then, for an office on a slow
// network, a file of 32,767 lines that name 2,000 products, into a new
// ledger and again with its names stored: the statements the server ran
// (counted by pg_stat_statements, where the server loads it) and the time,
// beside psql's \copy of the same file into a bare table; last, what one
// round trip and one commit cost on that server, which bound the store.
//
//   bench_import_pg [connection string]
//
// Without an argument, MORAIMPORT_LEDGER_SERVER, else libpq's PG...
// variables name the server:
//   pg_virtualenv -o fsync=on -o shared_preload_libraries=pg_stat_statements bench_import_pg
#include "PostgresHandles.h"
#include "PostgresLedgerStore.h"
#include "SalesFile.h"
#include "SqliteLedgerStore.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QDir>
#include <QProcess>
#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration elapsed) { return std::chrono::duration<double, std::milli>(elapsed).count(); }

class Server {
public:
    explicit Server(const QString& conninfo) : m_connection(PQconnectdb(conninfo.toUtf8().constData()))
    {
        if (PQstatus(m_connection.get()) != CONNECTION_OK)
            throw std::runtime_error(std::string("cannot connect: ") + PQerrorMessage(m_connection.get()));
    }
    QString value(const char* sql)
    {
        const PgResult result(PQexec(m_connection.get(), sql));
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
            throw std::runtime_error(std::string(PQresultErrorMessage(result.get())) + " in " + sql);
        return status == PGRES_TUPLES_OK && PQntuples(result.get()) > 0
                   ? QString::fromUtf8(PQgetvalue(result.get(), 0, 0))
                   : QString();
    }
    // The mean time of one run of sql, over count runs.
    double meanMs(const char* sql, int count)
    {
        const auto started = Clock::now();
        for (int i = 0; i < count; ++i)
            value(sql);
        return Milliseconds(Clock::now() - started) / count;
    }

private:
    PgConnection m_connection;
};

// One import by the engine with stores from factory; throws unless every
// line went in. With checks, as a clerk imports: the repeat and the line
// checks first (the look at every line), then the run.
double ImportMs(const QString& csvPath, int lineCount, const LedgerStoreFactory& factory, const QString& connection,
                bool checks = false)
{
    bench::CountingDesktop desktop;
    clsImportSource engine(desktop, factory);
    if (engine.IMPFileCheck(csvPath))
        throw std::runtime_error("header check failed");
    const auto started = Clock::now();
    if (checks && (engine.IMPRepeatCheck(csvPath, connection) || engine.IMPLineCheck(csvPath, connection)))
        throw std::runtime_error("the file was found in the ledger");
    engine.ExecImport(csvPath, connection);
    const double ms = Milliseconds(Clock::now() - started);
    const std::optional<RunTotals>& totals = engine.Totals();
    if (!totals || totals->lngRead != lineCount - 1 || totals->lngImported != totals->lngRead)
        throw std::runtime_error("unexpected outcome: " + desktop.lastPrompt.toStdString());
    return ms;
}

// psql's \copy of the file into a bare table of eleven text columns, as a
// bound for what any client can do.
double PsqlCopyMs(Server& admin, const QString& server, const QString& csvPath)
{
    admin.value("DROP TABLE IF EXISTS bench_bare");
    admin.value("CREATE TABLE bench_bare(a text, b text, c text, d text, e text, f text, g text, h text, i text,"
                " j text, k text)");
    QProcess psql;
    QStringList arguments = {
        QStringLiteral("-X"),
        QStringLiteral("-q"),
        QStringLiteral("-v"),
        QStringLiteral("ON_ERROR_STOP=1"),
        QStringLiteral("-c"),
        QStringLiteral("\\copy bench_bare FROM '%1' WITH (FORMAT csv, HEADER, ENCODING 'SJIS')").arg(csvPath)};
    if (!server.isEmpty())
        arguments.prepend(server);
    const auto started = Clock::now();
    psql.start(QStringLiteral("psql"), arguments);
    if (!psql.waitForFinished(120000) || psql.exitCode() != 0)
        throw std::runtime_error("psql failed: " + psql.readAllStandardError().toStdString());
    const double ms = Milliseconds(Clock::now() - started);
    admin.value("DROP TABLE bench_bare");
    return ms;
}

// The statements the server ran since the last reset; -1 without pg_stat_statements.
long long StatementsSince(Server& admin, bool reset)
{
    try {
        if (reset) {
            admin.value("CREATE EXTENSION IF NOT EXISTS pg_stat_statements");
            admin.value("SELECT pg_stat_statements_reset()");
            return 0;
        }
        return admin.value("SELECT sum(calls) FROM pg_stat_statements WHERE query NOT LIKE '%pg_stat_statements%'")
            .toLongLong();
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        QString server = argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("MORAIMPORT_LEDGER_SERVER");
        Server admin(server);
        admin.value("SET client_min_messages = warning");
        std::printf("server: PostgreSQL %s, fsync %s, synchronous_commit %s\n",
                    qPrintable(admin.value("SHOW server_version")), qPrintable(admin.value("SHOW fsync")),
                    qPrintable(admin.value("SHOW synchronous_commit")));

        ScratchDir dir;
        for (const int lineCount : {1000, 32767}) {
            const QString csvPath =
                dir.write(QStringLiteral("sales%1.csv").arg(lineCount), ToCp932(bench::GenerateSalesText(lineCount)));

            const QString schema = QStringLiteral("bench_%1_%2").arg(getpid()).arg(lineCount);
            admin.value(QStringLiteral("CREATE SCHEMA %1").arg(schema).toUtf8().constData());
            const LedgerServer ledgerServer{server, schema, {}};
            const long long xidBefore = admin.value("SELECT pg_current_xact_id()").toLongLong();
            const double serverMs = ImportMs(
                csvPath, lineCount, [&] { return std::make_unique<PostgresLedgerStore>(ledgerServer); }, QString());
            const long long writes = admin.value("SELECT pg_current_xact_id()").toLongLong() - xidBefore - 1;
            admin.value(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema).toUtf8().constData());

            const QString folder = dir.path(QStringLiteral("sqlite%1").arg(lineCount));
            QDir().mkpath(folder);
            const double sqliteMs = ImportMs(
                csvPath, lineCount, [] { return std::make_unique<SqliteLedgerStore>(); },
                QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + folder
                    + QStringLiteral("/iOrvanta.mdb"));

            std::printf("%5d data lines: PostgresLedgerStore %9.1f ms (%.3f ms a line, %lld write transactions)"
                        "   SqliteLedgerStore %8.1f ms\n",
                        lineCount - 1, serverMs, serverMs / (lineCount - 1), writes, sqliteMs);
        }

        {
            constexpr int kLines = 32767;
            const QString csvPath =
                dir.write(QStringLiteral("names.csv"), ToCp932(bench::GenerateSalesText(kLines, 167)));
            const QString schema = QStringLiteral("bench_%1_names").arg(getpid());
            admin.value(QStringLiteral("CREATE SCHEMA %1").arg(schema).toUtf8().constData());
            const LedgerServer ledgerServer{server, schema, {}};
            const auto factory = [&] { return std::make_unique<PostgresLedgerStore>(ledgerServer); };
            const QString laterPath =
                dir.write(QStringLiteral("later.csv"), ToCp932(bench::GenerateSalesText(kLines, 167, 2025)));
            for (const char* ledger : {"a new ledger", "its names stored"}) {
                StatementsSince(admin, true);
                // The second file's trades are new, its names all stored.
                const double ms = ImportMs(ledger[0] == 'a' ? csvPath : laterPath, kLines, factory, QString(), true);
                std::printf("%d lines naming %s products into %-17s %8.1f ms, %lld statements\n", kLines - 1,
                            qPrintable(admin.value(
                                QStringLiteral("SELECT count(*) FROM %1.products").arg(schema).toUtf8().constData())),
                            ledger, ms, StatementsSince(admin, false));
            }
            admin.value(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema).toUtf8().constData());
            std::printf("psql \\copy of the same file into a bare table: %8.1f ms\n",
                        PsqlCopyMs(admin, server, csvPath));
        }

        // A plain table: a temporary one writes no log and so never waits for the disk.
        admin.value("CREATE TABLE bench_commit(n integer)");
        std::printf("one round trip (SELECT 1):            %.3f ms\n", admin.meanMs("SELECT 1", 2000));
        std::printf("one committed insert (autocommit):    %.3f ms\n",
                    admin.meanMs("INSERT INTO bench_commit VALUES (1)", 2000));
        admin.value("DROP TABLE bench_commit");
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_import_pg: %s\n", error.what());
        return 1;
    }
}
