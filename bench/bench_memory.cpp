// Peak resident memory of a whole import (header check and ExecImport into
// a new SQLite ledger) of a generated code page 932 file of about 200 MB
// in 32767 long lines, against that of a 200-line file of the same kind.
// Each import runs in a child process of its own, whose peak the kernel
// reports when it ends. Prints both peaks and their difference; fails when
// the difference exceeds 64 MiB.
//
//   bench_memory                       both imports, in temporary files
//   bench_memory --import FILE FOLDER  one import into FOLDER/Data (the child)
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

// One header and lineCount - 1 sales lines whose 仕様 (product details) column is
// long enough to make each line about 6 KB in code page 932.
QString WriteSalesFile(const ScratchDir& dir, const QString& name, int lineCount)
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
        writeLine(QStringLiteral("2024/%1/%2,モニター,ソニック電子,えきしょうもにたー,液晶モニター %3,LM-%3W,%4,%5,%6,"
                                 "ほくとしょうじ,北斗商事 %7")
                      .arg(line % 12 + 1).arg(line % 28 + 1).arg(product).arg(spec)
                      .arg(line % 9 + 1).arg(19800 + product).arg(line % 100));
    }
    return path;
}

// The child's part: one import, checked for its outcome.
int ImportOnce(const QString& csvPath, const QString& folder)
{
    if (!QDir().mkpath(folder + QStringLiteral("/Data")))
        throw std::runtime_error("cannot make " + folder.toStdString());
    const QString connection = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + folder
                               + QStringLiteral("/Data/iOrvanta.mdb");
    RecordingDesktop desktop;
    clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    if (engine.IMPFileCheck(csvPath))
        throw std::runtime_error("header check failed");
    engine.ExecImport(csvPath, connection);
    const QString outcome = desktop.prompts().join(QLatin1Char('\n'));
    if (desktop.messages.size() != 1 || !outcome.startsWith(QStringLiteral("全レコード")))
        throw std::runtime_error("unexpected outcome: " + outcome.toStdString());
    std::printf("  %s\n", outcome.toStdString().c_str());
    std::fflush(stdout);
    return 0;
}

// Runs this program's child part on one file and returns its peak resident memory.
double ChildPeakMiB(const char* self, const QString& csvPath, const QString& folder)
{
    const std::string file = csvPath.toStdString();
    const std::string target = folder.toStdString();
    const char* argv[] = {self, "--import", file.c_str(), target.c_str(), nullptr};
    std::fflush(stdout);  // the child writes to the same stream
    pid_t child = 0;
    if (posix_spawn(&child, self, nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        throw std::runtime_error("cannot start the import");
    int status = 0;
    rusage usage {};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the import of " + file + " failed");
    return double(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 4 && std::strcmp(argv[1], "--import") == 0)
            return ImportOnce(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

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
        return difference <= kAllowedDifferenceMiB ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_memory: %s\n", error.what());
        return 1;
    }
}
