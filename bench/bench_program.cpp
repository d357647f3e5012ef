// Times MoraImport --import of a generated 32767-line code page 932 sales
// file as the user runs it, a whole process into a fresh ledger under Data/,
// beside the sqlite3 command's .import of the same data (as UTF-8) into a
// plain table of a fresh database, and prints both and their ratio. With
// strace on the PATH it also counts how often one import opens the file.
//
//   bench_program [rounds]     (default 5; the best round of each counts)
#include "SalesFile.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr int kLineCount = 32767;

double Milliseconds(std::chrono::steady_clock::duration elapsed)
{
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

// Runs a command in folder to its end; the milliseconds it took.
double TimedRun(const QString& folder, const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    const auto started = std::chrono::steady_clock::now();
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error(program.toStdString() + " failed: " + process.readAllStandardError().toStdString());
    return Milliseconds(std::chrono::steady_clock::now() - started);
}

double ProgramMs(const QString& folder, const QString& csvPath)
{
    QDir(folder + QStringLiteral("/Data")).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/Data"));
    return TimedRun(folder, QStringLiteral(MORA_PROGRAM), {QStringLiteral("--import"), csvPath});
}

double SqliteMs(const QString& folder, const QString& utf8Path)
{
    const QString database = folder + QStringLiteral("/plain.db");
    QFile::remove(database);
    return TimedRun(folder, QStringLiteral("sqlite3"),
                    {database,
                     QStringLiteral("CREATE TABLE sales(trade_date, kind, maker, reading, name, model, spec, quantity,"
                                    " unit_price, customer_reading, customer)"),
                     QStringLiteral(".import --csv --skip 1 ") + utf8Path + QStringLiteral(" sales")});
}

// How often one import opens the file, as strace sees it; -1 without strace.
int OpensOfTheFile(const QString& folder, const QString& csvPath)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        return -1;
    QDir(folder + QStringLiteral("/Data")).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/Data"));
    const QString log = folder + QStringLiteral("/strace.log");
    TimedRun(folder, strace,
             {QStringLiteral("-f"), QStringLiteral("-e"), QStringLiteral("trace=open,openat"), QStringLiteral("-o"),
              log, QStringLiteral(MORA_PROGRAM), QStringLiteral("--import"), csvPath});
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray name = '"' + csvPath.toUtf8() + '"';
    int opens = 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        opens += line.contains(name) && !line.contains("= -1") ? 1 : 0;
    return opens;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        QCoreApplication app(argc, argv);
        const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
        const ScratchDir dir;
        const QString text = bench::GenerateSalesText(kLineCount);
        const QString csvPath = dir.writeCp932(QStringLiteral("sales.csv"), text);
        const QString utf8Path = dir.writeUtf8(QStringLiteral("sales-utf8.csv"), text);
        double programBest = 1e9;
        double sqliteBest = 1e9;
        for (int round = 0; round < rounds; ++round) {
            programBest = std::min(programBest, ProgramMs(dir.root(), csvPath));
            sqliteBest = std::min(sqliteBest, SqliteMs(dir.root(), utf8Path));
        }
        std::printf("%d data lines, best of %d rounds\n", kLineCount - 1, rounds);
        std::printf("MoraImport --import (a whole process): %8.1f ms\n", programBest);
        std::printf("sqlite3 .import (UTF-8):               %8.1f ms\n", sqliteBest);
        std::printf("ratio:                                 %8.2f\n", programBest / sqliteBest);
        const int opens = OpensOfTheFile(dir.root(), csvPath);
        if (opens >= 0)
            std::printf("the file opened:                       %8d times\n", opens);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_program: %s\n", error.what());
        return 1;
    }
}
