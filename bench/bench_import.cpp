// Imports a generated 32767-line code page 932 sales file into a fresh
// ledger through the engine and the SQLite store, then times the sqlite3
// command's .import of the same data (as UTF-8) into a plain table of a
// fresh database, and prints both times and their ratio. The import is
// timed again with the program's QtDesktop, whose DoEvents runs Qt's event
// loop (offscreen, with the window shown), once on every line and once at
// the program's own pace.
//
//   bench_import [rounds]     (default 3; the best round of each counts)
#include "QtDesktop.h"
#include "SalesFile.h"
#include "SqliteLedgerStore.h"
#include "TestFiles.h"
#include "TextFile.h"
#include "clsImportSource.h"
#include "frmMain.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>

namespace {

using bench::CountingDesktop;

constexpr int kLineCount = 32767;

// Counts messages, but lets Qt's event loop run as the program's desktop does.
class EventLoopDesktop : public CountingDesktop {
public:
    explicit EventLoopDesktop(std::chrono::milliseconds interval) : m_qt(interval) { }
    void DoEvents() override { m_qt.DoEvents(); }

private:
    QtDesktop m_qt;
};

double Milliseconds(std::chrono::steady_clock::duration elapsed)
{
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

// Accepts everything and stores nothing: what the engine costs by itself.
class NullStore : public clsLedgerStore {
public:
    void OpenConnection(const QString&, QString&, bool& blnFailed) override { blnFailed = false; }
    void InsertTrade(ProductRecord&, PartyRecord&, PartyRecord&, TradeRecord&, bool, QString&, bool& blnFailed) override
    {
        blnFailed = false;
    }
    void ResolveProduct(const QString&, ProductRecord& product, QString&, bool& blnFailed) override
    {
        product.lngProductID = 1;
        blnFailed = false;
    }
    void ResolveSupplier(const QString&, PartyRecord& supplier, QString&, bool& blnFailed) override
    {
        supplier.lngPartyID = 1;
        blnFailed = false;
    }
    void ResolveCustomer(const QString&, PartyRecord& customer, QString&, bool& blnFailed) override
    {
        customer.lngPartyID = 1;
        blnFailed = false;
    }
    int32_t GetKindCode(const QString&) override { return 1; }
};

// One import by the engine into a new ledger in folder/Data (or into
// nothing with the null store).
double ImportMs(const QString& folder, const QString& csvPath, CountingDesktop& desktop, bool nullStore = false)
{
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder + QStringLiteral("/Data")))
        throw std::runtime_error("cannot make " + folder.toStdString());
    const QString connection =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + folder + QStringLiteral("/Data/iOrvanta.mdb");

    clsImportSource engine(desktop, [nullStore]() -> std::unique_ptr<clsLedgerStore> {
        if (nullStore)
            return std::make_unique<NullStore>();
        return std::make_unique<SqliteLedgerStore>();
    });
    if (engine.IMPFileCheck(csvPath))
        throw std::runtime_error("header check failed");
    const int messagesBefore = desktop.messages;
    const auto started = std::chrono::steady_clock::now();
    engine.ExecImport(csvPath, connection);
    const double ms = Milliseconds(std::chrono::steady_clock::now() - started);

    const std::optional<RunTotals>& totals = engine.Totals();
    if (desktop.messages != messagesBefore + 1 || !totals || totals->lngRead != kLineCount - 1
        || totals->lngImported != totals->lngRead)
        throw std::runtime_error("unexpected outcome: " + desktop.lastPrompt.toStdString());
    return ms;
}

// One run of the sqlite3 command importing the UTF-8 file into a new database.
double SqliteCommandMs(const QString& folder, const QString& utf8Path)
{
    const QString database = folder + QStringLiteral("/plain.db");
    QFile::remove(database);
    QProcess process;
    const QStringList arguments = {
        database,
        QStringLiteral("CREATE TABLE sales(trade_date, kind, maker, reading, name, model, spec, quantity,"
                       " unit_price, customer_reading, customer)"),
        QStringLiteral(".import --csv --skip 1 ") + utf8Path + QStringLiteral(" sales"),
    };
    const auto started = std::chrono::steady_clock::now();
    process.start(QStringLiteral("sqlite3"), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error("sqlite3 failed: " + process.readAllStandardError().toStdString());
    const double ms = Milliseconds(std::chrono::steady_clock::now() - started);
    if (!process.readAllStandardError().isEmpty())
        throw std::runtime_error("sqlite3 complained");
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        // The program's window and event loop, without a screen.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        CountingDesktop windowDesktop;
        frmMain window(windowDesktop, [] { return std::make_unique<NullStore>(); });
        window.show();
        QApplication::processEvents();

        const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
        ScratchDir dir;
        const QByteArray cp932 = ToCp932(bench::GenerateSalesText(kLineCount));
        const QString csvPath = dir.write(QStringLiteral("sales.csv"), cp932);
        // The same data as the reader sees it, written as UTF-8 for sqlite3.
        const QString utf8Path = dir.write(QStringLiteral("sales-utf8.csv"), DecodeImportText(cp932).toUtf8());

        double engineBest = 1e300;
        double sqliteBest = 1e300;
        double engineAloneBest = 1e300;
        double everyLineBest = 1e300;
        double pacedBest = 1e300;
        double aloneEveryLineBest = 1e300;
        double alonePacedBest = 1e300;
        const QString ledger = dir.path(QStringLiteral("ledger"));
        for (int round = 0; round < rounds; ++round) {
            CountingDesktop counting;
            engineAloneBest =
                std::min(engineAloneBest, ImportMs(dir.path(QStringLiteral("null")), csvPath, counting, true));
            engineBest = std::min(engineBest, ImportMs(ledger, csvPath, counting));
            EventLoopDesktop everyLine(std::chrono::milliseconds(0));
            everyLineBest = std::min(everyLineBest, ImportMs(ledger, csvPath, everyLine));
            EventLoopDesktop paced{QtDesktop().EventInterval()};
            pacedBest = std::min(pacedBest, ImportMs(ledger, csvPath, paced));
            EventLoopDesktop aloneEveryLine(std::chrono::milliseconds(0));
            aloneEveryLineBest =
                std::min(aloneEveryLineBest, ImportMs(dir.path(QStringLiteral("null")), csvPath, aloneEveryLine, true));
            EventLoopDesktop alonePaced{QtDesktop().EventInterval()};
            alonePacedBest =
                std::min(alonePacedBest, ImportMs(dir.path(QStringLiteral("null")), csvPath, alonePaced, true));
            sqliteBest = std::min(sqliteBest, SqliteCommandMs(dir.root(), utf8Path));
        }
        std::printf("%d data lines, %lld bytes (CP932), best of %d rounds\n", kLineCount - 1,
                    static_cast<long long>(cp932.size()), rounds);
        std::printf("ExecImport into SqliteLedgerStore: %8.1f ms (DoEvents does nothing)\n", engineBest);
        const long long interval = QtDesktop().EventInterval().count();
        std::printf("  of which the engine alone:       %8.1f ms (a store that does nothing)\n", engineAloneBest);
        std::printf("  Qt event loop on every line:     %8.1f ms (engine alone %.1f ms)\n", everyLineBest,
                    aloneEveryLineBest);
        std::printf("  Qt event loop every %2lld ms:       %8.1f ms (engine alone %.1f ms; the program's pace)\n",
                    interval, pacedBest, alonePacedBest);
        std::printf("sqlite3 .import (UTF-8):           %8.1f ms\n", sqliteBest);
        std::printf("ratio:                             %8.2f (program's pace against sqlite3)\n",
                    pacedBest / sqliteBest);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_import: %s\n", error.what());
        return 1;
    }
}
