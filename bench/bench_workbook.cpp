// Reads the same 32,767 sales lines as an .xlsx (shared strings, date cells,
// numbers, as Excel writes them) through the workbook record source, and as
// a code page 932 CSV file through the record reader and the field splitter,
// and prints the best time of each, their ratio, and the peak resident
// memory of each read in a child process of its own. Fails when a record of
// the workbook differs from its line's (the dates but for their form).
//
//   bench_workbook                 both, in temporary files
//   bench_workbook --csv FILE      reads FILE as CSV (the child)
//   bench_workbook --xlsx FILE     reads FILE as a workbook (the child)
#include "FieldSplitter.h"
#include "RecordReader.h"
#include "SalesFile.h"
#include "TestFiles.h"
#include "TextFile.h"
#include "WorkbookFiles.h"
#include "workbook/Workbook.h"
#include "workbook/WorkbookRecordSource.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kLines = 32767;
constexpr int kRounds = 5;

QStringList FieldsOf(const QString& strRecord)
{
    QStringList fields;
    SplitFields(strRecord, [&](int16_t, QStringView field) {
        fields << field.toString();
        return true;
    });
    return fields;
}

// The lines of text (the header first) as one sheet in Excel's way.
void WriteWorkbook(const QString& strPath, const QString& text)
{
    const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QHash<QString, int> stringIndex;
    QByteArray strings;
    const auto sharedString = [&](const QString& strText) {
        auto found = stringIndex.constFind(strText);
        if (found != stringIndex.cend())
            return *found;
        const int index = int(stringIndex.size());
        stringIndex.insert(strText, index);
        strings += "<si><t>" + strText.toHtmlEscaped().toUtf8() + "</t></si>";
        return index;
    };
    QByteArray rows;
    rows.reserve(lines.size() * 400);
    const QDate epoch(1899, 12, 30);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray row = QByteArray::number(i + 1);
        rows += "<row r=\"" + row + "\" spans=\"1:11\">";
        const QStringList fields = FieldsOf(lines[i]);
        for (qsizetype c = 0; c < fields.size(); ++c) {
            if (fields[c].isEmpty())
                continue;
            const QByteArray ref = QByteArray(1, char('A' + c)) + row;
            if (i > 0 && c == 0) {
                // 2024/1/5 or 2024/1/5 9:30, as a date cell with its time of day.
                const QStringList parts = fields[c].split(u' ');
                const QDate date = QDate::fromString(parts[0], QStringLiteral("yyyy/M/d"));
                double serial = double(epoch.daysTo(date));
                if (parts.size() > 1)
                    serial += QTime::fromString(parts[1], QStringLiteral("H:mm")).msecsSinceStartOfDay() / 86400000.0;
                rows += "<c r=\"" + ref + "\" s=\"1\"><v>" + QByteArray::number(serial, 'g', 17) + "</v></c>";
            } else if (i > 0 && (c == 7 || c == 8)) {
                rows += "<c r=\"" + ref + "\" s=\"2\"><v>" + fields[c].toUtf8() + "</v></c>";
            } else {
                rows += "<c r=\"" + ref + "\" t=\"s\"><v>" + QByteArray::number(sharedString(fields[c])) + "</v></c>";
            }
        }
        rows += "</row>";
    }
    XlsxParts parts;
    parts.sheets = {{QStringLiteral("売上"), rows}};
    parts.sharedStrings = strings;
    parts.styles = "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"3\"/></cellXfs>";
    WriteZip(strPath, XlsxEntries(parts));
}

std::vector<QStringList> ReadCsv(const QString& strPath)
{
    std::vector<QStringList> records;
    FileSystemObject fso;
    auto stream = fso.OpenTextFile(strPath);
    RecordReader reader(*stream);
    reader.ReadRecord();  // the header
    while (!reader.AtEndOfStream())
        records.push_back(FieldsOf(reader.ReadRecord()));
    stream->Close();
    return records;
}

std::vector<QStringList> ReadXlsx(const QString& strPath)
{
    std::vector<QStringList> records;
    std::unique_ptr<Workbook> book = Workbook::Open(strPath);
    WorkbookRecordSource source(book->OpenSheet(0), book->SheetNames().value(0));
    if (source.HeaderFields().size() != 11)
        throw std::runtime_error("no header row");
    while (!source.AtEnd())
        records.push_back(source.Next().fields);
    return records;
}

template <typename Read>
double BestMs(Read&& read, const QString& strPath)
{
    double best = 1e12;
    for (int i = 0; i < kRounds; ++i) {
        const auto started = std::chrono::steady_clock::now();
        const std::vector<QStringList> records = read(strPath);
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (records.size() != size_t(kLines - 1))
            throw std::runtime_error("records read: " + std::to_string(records.size()));
        best = std::min(best, std::chrono::duration<double, std::milli>(elapsed).count());
    }
    return best;
}

// The workbook gives each line's fields, its date in the form 2024/01/05.
void CheckSameRecords(const QString& strCsv, const QString& strXlsx)
{
    const std::vector<QStringList> csv = ReadCsv(strCsv);
    const std::vector<QStringList> xlsx = ReadXlsx(strXlsx);
    for (size_t i = 0; i < csv.size(); ++i) {
        QStringList expected = csv[i];
        expected[0] = QDate::fromString(expected[0].section(u' ', 0, 0), QStringLiteral("yyyy/M/d"))
                          .toString(QStringLiteral("yyyy/MM/dd"));
        if (xlsx.at(i) != expected)
            throw std::runtime_error("record " + std::to_string(i + 2) + " differs");
    }
}

// The peak resident memory of this process, as the kernel keeps it.
double OwnPeakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        throw std::runtime_error("no /proc/self/status");
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;  // in kB
    }
    throw std::runtime_error("no VmHWM");
}

// Reads strPath in a child of its own, which tells its own peak: a spawned
// child counts its parent's memory until it runs this program anew.
void RunChild(const char* self, const char* mode, const QString& strPath)
{
    const std::string file = strPath.toStdString();
    const char* argv[] = {self, mode, file.c_str(), nullptr};
    std::fflush(stdout);
    pid_t child = 0;
    if (posix_spawn(&child, self, nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        throw std::runtime_error("cannot start the child");
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(std::string("the child reading ") + mode + " failed");
}

int ReadInChild(const char* mode, const QString& strPath)
{
    const size_t records = std::strcmp(mode, "--csv") == 0 ? ReadCsv(strPath).size() : ReadXlsx(strPath).size();
    std::printf("  %s: %zu records, peak resident memory %.1f MiB\n", mode + 2, records, OwnPeakMiB());
    return records == size_t(kLines - 1) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 3 && (std::strcmp(argv[1], "--csv") == 0 || std::strcmp(argv[1], "--xlsx") == 0))
            return ReadInChild(argv[1], QString::fromLocal8Bit(argv[2]));

        const ScratchDir dir;
        const QString text = bench::GenerateSalesText(kLines);
        const QString strCsv = dir.writeCp932(QStringLiteral("sales.csv"), text);
        const QString strXlsx = dir.path(QStringLiteral("sales.xlsx"));
        WriteWorkbook(strXlsx, text);
        CheckSameRecords(strCsv, strXlsx);

        const double csvMs = BestMs(ReadCsv, strCsv);
        const double xlsxMs = BestMs(ReadXlsx, strXlsx);
        std::printf("%d lines: CSV %.1f KB, best of %d %.1f ms; xlsx %.1f KB, best of %d %.1f ms; ratio %.2f\n", kLines,
                    double(QFile(strCsv).size()) / 1024.0, kRounds, csvMs, double(QFile(strXlsx).size()) / 1024.0,
                    kRounds, xlsxMs, xlsxMs / csvMs);
        RunChild(argv[0], "--csv", strCsv);
        RunChild(argv[0], "--xlsx", strXlsx);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_workbook: %s\n", error.what());
        return 1;
    }
}
