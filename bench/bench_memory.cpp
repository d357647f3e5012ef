// Peak resident memory of a whole import (header check and ExecImport into
// a new SQLite ledger) of a generated code page 932 file of about 200 MB
// in 32767 long lines, against that of a 200-line file of the same kind.
// Each import runs in a child process of its own, whose peak the kernel
// reports when it ends. Prints both peaks and their difference; fails when
// the difference exceeds 64 MiB.
//
// Then the same for reading records alone, from files whose every line
// leaves a quote open: the record reader holds the lines it reads ahead
// and reads them again, each time up to its bound.
//
//   bench_memory                       both imports, in temporary files
//   bench_memory --import FILE FOLDER  one import into FOLDER/Data (the child)
//   bench_memory --read FILE           reads FILE's records (the child)
#include "FieldSplitter.h"
#include "RecordReader.h"
#include "RecordingDesktop.h"
#include "SqliteLedgerStore.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

extern char** environ;

namespace {

constexpr int kLongFileLines = 32767;
constexpr int kShortFileLines = 200;
constexpr double kAllowedDifferenceMiB = 64.0;

enum class Quotes { Closed, LeftOpen };

// One header and lineCount - 1 sales lines whose 仕様 (product details) column is
// long enough to make each line about 6 KB in code page 932. With quotes left
// open, a quote ends the date (closing a value left open before, literal at a
// record's start) and one opens the 販売先 (customer) value, never closed.
QString WriteSalesFile(const ScratchDir& dir, const QString& name, int lineCount, Quotes quotes = Quotes::Closed)
{
    const QString path = dir.path(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    const auto writeLine = [&](const QString& line) {
        const QByteArray bytes = ToCp932(line + QStringLiteral("\r\n"));
        if (file.write(bytes) != bytes.size())
            throw std::runtime_error("cannot write " + path.toStdString());
    };
    writeLine(QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先"));
    const QString specPhrase = QStringLiteral("高輝度液晶パネル搭載・省電力設計・三年保証付き／");
    for (int line = 1; line < lineCount; ++line) {
        const int product = line % 360;
        const QString spec = QStringLiteral("%1型 ").arg(line % 40 + 10) + specPhrase.repeated(120);
        const QString quote = quotes == Quotes::LeftOpen ? QStringLiteral("\"") : QString();
        writeLine(
            QStringLiteral("2024/%1/%2%8,モニター,ソニック電子,えきしょうもにたー,液晶モニター %3,LM-%3W,%4,%5,%6,"
                           "ほくとしょうじ,%8北斗商事 %7")
                .arg(line % 12 + 1)
                .arg(line % 28 + 1)
                .arg(product)
                .arg(spec)
                .arg(line % 9 + 1)
                .arg(19800 + product)
                .arg(line % 100)
                .arg(quote));
    }
    return path;
}

// The child's part: one import, checked for its outcome.
int ImportOnce(const QString& csvPath, const QString& folder)
{
    if (!QDir().mkpath(folder + QStringLiteral("/Data")))
        throw std::runtime_error("cannot make " + folder.toStdString());
    const QString connection =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + folder + QStringLiteral("/Data/iOrvanta.mdb");
    RecordingDesktop desktop;
    clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    if (engine.IMPFileCheck(csvPath))
        throw std::runtime_error("header check failed");
    engine.ExecImport(csvPath, connection);
    const QString outcome = desktop.prompts().join(QLatin1Char('\n'));
    if (desktop.messages.size() != 1 || !engine.Totals())
        throw std::runtime_error("unexpected outcome: " + outcome.toStdString());
    std::printf("  %s\n", outcome.toStdString().c_str());
    std::fflush(stdout);
    return 0;
}

// The child's part for reading alone: every record read and split, those
// with a quote left open refused.
int ReadOnce(const QString& csvPath)
{
    FileSystemObject fso;
    auto stream = fso.OpenTextFile(csvPath);
    RecordReader reader(*stream);
    long records = 0;
    long refused = 0;
    while (!reader.AtEndOfStream()) {
        const QString record = reader.ReadRecord();
        ++records;
        try {
            SplitFields(record, [](int16_t, QStringView) { return true; });
        } catch (const RuntimeError&) {
            ++refused;
        }
    }
    stream->Close();
    if (refused != records - 1)
        throw std::runtime_error("unexpected records: " + std::to_string(records) + " read, " + std::to_string(refused)
                                 + " refused");
    std::printf("  %ld records, %ld refused\n", records, refused);
    std::fflush(stdout);
    return 0;
}

// Runs this program's child part on one file (into folder for an import,
// reading alone without one) and returns its peak resident memory.
double ChildPeakMiB(const char* self, const QString& csvPath, const QString& folder = QString())
{
    const std::string file = csvPath.toStdString();
    const std::string target = folder.toStdString();
    const char* importArgv[] = {self, "--import", file.c_str(), target.c_str(), nullptr};
    const char* readArgv[] = {self, "--read", file.c_str(), nullptr};
    const char* const* argv = folder.isEmpty() ? readArgv : importArgv;
    std::fflush(stdout);  // the child writes to the same stream
    pid_t child = 0;
    if (posix_spawn(&child, self, nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        throw std::runtime_error("cannot start the import");
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the import of " + file + " failed");
    return double(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 4 && std::strcmp(argv[1], "--import") == 0)
            return ImportOnce(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
        if (argc == 3 && std::strcmp(argv[1], "--read") == 0)
            return ReadOnce(QString::fromLocal8Bit(argv[2]));

        const ScratchDir dir;
        const QString shortFile = WriteSalesFile(dir, QStringLiteral("short.csv"), kShortFileLines);
        const QString longFile = WriteSalesFile(dir, QStringLiteral("long.csv"), kLongFileLines);
        std::printf("%d lines, %.1f MB:\n", kShortFileLines, double(QFile(shortFile).size()) / 1e6);
        const double shortPeak = ChildPeakMiB(argv[0], shortFile, dir.path(QStringLiteral("short")));
        std::printf("%d lines, %.1f MB:\n", kLongFileLines, double(QFile(longFile).size()) / 1e6);
        const double longPeak = ChildPeakMiB(argv[0], longFile, dir.path(QStringLiteral("long")));

        const double difference = longPeak - shortPeak;
        std::printf("peak resident memory: %.1f MiB (%d lines), %.1f MiB (%d lines), difference %.1f MiB"
                    " (allowed %.0f)\n",
                    shortPeak, kShortFileLines, longPeak, kLongFileLines, difference, kAllowedDifferenceMiB);

        // The files imported above are no longer needed: only one large file at a time.
        QFile::remove(longFile);
        const QString shortOpen =
            WriteSalesFile(dir, QStringLiteral("short-open.csv"), kShortFileLines, Quotes::LeftOpen);
        const QString longOpen = WriteSalesFile(dir, QStringLiteral("long-open.csv"), kLongFileLines, Quotes::LeftOpen);
        std::printf("reading records, quotes left open, %d lines:\n", kShortFileLines);
        const double shortReadPeak = ChildPeakMiB(argv[0], shortOpen);
        std::printf("reading records, quotes left open, %d lines, %.1f MB:\n", kLongFileLines,
                    double(QFile(longOpen).size()) / 1e6);
        const double longReadPeak = ChildPeakMiB(argv[0], longOpen);
        const double readDifference = longReadPeak - shortReadPeak;
        std::printf("peak resident memory reading records: %.1f MiB (%d lines), %.1f MiB (%d lines), difference"
                    " %.1f MiB (allowed %.0f)\n",
                    shortReadPeak, kShortFileLines, longReadPeak, kLongFileLines, readDifference,
                    kAllowedDifferenceMiB);
        return difference <= kAllowedDifferenceMiB && readDifference <= kAllowedDifferenceMiB ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_memory: %s\n", error.what());
        return 1;
    }
}
