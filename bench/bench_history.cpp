// What the history of runs and the undo of the newest run cost on an SQLite
// ledger of one run of 32,767 lines, and on one of 31 such runs (about a
// million trades): the list of runs (as --history reads it) and the undo,
// each timed on its own, best of a few rounds; and what an import of
// 32,767 new lines costs there with only the new lines wanted (the look
// before it, and the run that looks again in its turn).
//
//   bench_history [runs]     (default 31)
#include "SalesFile.h"
#include "SqliteLedgerStore.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration elapsed) { return std::chrono::duration<double, std::milli>(elapsed).count(); }

constexpr int kLineCount = 32767;

struct Figures {
    double listMs = 0;
    double undoMs = 0;
    double newOnlyMs = 0;
    long long trades = 0;
};

// One import as the window makes it, with only the new lines wanted.
double NewOnlyImportMs(const QString& csvPath, const QString& connection)
{
    bench::CountingDesktop desktop;
    clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    if (engine.IMPFileCheck(csvPath))
        throw std::runtime_error("header check failed");
    const auto started = Clock::now();
    if (engine.IMPRepeatCheck(csvPath, connection) || engine.IMPLineCheck(csvPath, connection))
        throw std::runtime_error("the new file was found in the ledger");
    engine.ExecImport(csvPath, connection);
    const double ms = Milliseconds(Clock::now() - started);
    if (!engine.Totals() || engine.Totals()->lngRead != kLineCount - 1
        || engine.Totals()->lngImported != kLineCount - 1)
        throw std::runtime_error("unexpected outcome: " + desktop.lastPrompt.toStdString());
    return ms;
}

// A ledger of runs imports of the file in folder/Data; then the history's
// list and the undo of the newest run, the undo on a copy each round.
Figures Measure(const QString& folder, const QString& csvPath, const QString& newPath, int runs)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/Data"));
    const QString ledger = folder + QStringLiteral("/Data/iOrvanta.mdb");
    const QString connection = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + ledger;
    for (int run = 0; run < runs; ++run) {
        bench::CountingDesktop desktop;
        clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
        if (engine.IMPFileCheck(csvPath))
            throw std::runtime_error("header check failed");
        engine.ExecImport(csvPath, connection);
        if (!engine.Totals())
            throw std::runtime_error("import failed: " + desktop.lastPrompt.toStdString());
    }
    Figures figures;
    figures.listMs = 1e9;
    figures.undoMs = 1e9;
    figures.newOnlyMs = 1e9;
    const QString copy = folder + QStringLiteral("/copy/Data/iOrvanta.mdb");
    for (int round = 0; round < 3; ++round) {
        {
            const auto history = OpenSqliteLedgerHistory(connection);
            const auto started = Clock::now();
            const std::vector<RunSummary> list = history->Runs();
            figures.listMs = std::min(figures.listMs, Milliseconds(Clock::now() - started));
            figures.trades = 0;
            for (const RunSummary& run : list)
                figures.trades += run.lngTradesInLedger;
        }
        QDir(folder + QStringLiteral("/copy")).removeRecursively();
        QDir().mkpath(folder + QStringLiteral("/copy/Data"));
        if (!QFile::copy(ledger, copy))
            throw std::runtime_error("cannot copy the ledger");
        const auto history = OpenSqliteLedgerHistory(QStringLiteral("Data Source=") + copy);
        const int64_t newest = history->Runs().front().lngRunId;
        const auto started = Clock::now();
        const auto undone = history->UndoRun(newest, {});
        figures.undoMs = std::min(figures.undoMs, Milliseconds(Clock::now() - started));
        if (undone.lngTradesRemoved != kLineCount - 1)
            throw std::runtime_error("the undo took out " + std::to_string(undone.lngTradesRemoved) + " trades");
        QFile::remove(copy);
        if (!QFile::copy(ledger, copy))
            throw std::runtime_error("cannot copy the ledger");
        figures.newOnlyMs =
            std::min(figures.newOnlyMs, NewOnlyImportMs(newPath, QStringLiteral("Data Source=") + copy));
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 31;
        ScratchDir dir;
        const QString csvPath = dir.write(QStringLiteral("sales.csv"), ToCp932(bench::GenerateSalesText(kLineCount)));
        // Other sales of the same products to the same customers on the same
        // days: every line is new, and every line is looked for.
        const QString newPath =
            dir.write(QStringLiteral("new.csv"), ToCp932(bench::GenerateSalesText(kLineCount, 30, 2024, 7, 1)));
        const Figures one = Measure(dir.path(QStringLiteral("one")), csvPath, newPath, 1);
        const Figures many = Measure(dir.path(QStringLiteral("many")), csvPath, newPath, runs);
        std::printf("%-22s %10s %12s %12s %16s\n", "ledger", "trades", "history", "undo newest", "new lines only");
        std::printf("%-22s %10lld %9.2f ms %9.2f ms %13.1f ms\n", "1 run", one.trades, one.listMs, one.undoMs,
                    one.newOnlyMs);
        std::printf("%-22s %10lld %9.2f ms %9.2f ms %13.1f ms\n", (std::to_string(runs) + " runs").c_str(), many.trades,
                    many.listMs, many.undoMs, many.newOnlyMs);
        std::printf("ratio                             %9.2f    %9.2f       %9.2f\n", many.listMs / one.listMs,
                    many.undoMs / one.undoMs, many.newOnlyMs / one.newOnlyMs);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_history: %s\n", error.what());
        return 1;
    }
}
