// Reads records through the record reader and splits them, as the import
// does, from a generated 32767-line file of about 4 MB in code page 932 and
// in UTF-8, and prints the time of each pass. Two more passes in code page
// 932: a file whose every record holds a value of two lines, and one whose
// every line leaves a quote open, so that no record closes and each line is
// read ahead, given back and read again.
#include "FieldSplitter.h"
#include "RecordReader.h"
#include "TestFiles.h"
#include "TextFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr int LINE_COUNT = 32767;

const QString HEADER = QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先\r\n");

// cell: the 仕様 column as written into the file.
QString GenerateText(const QString& cell)
{
    QString text = HEADER;
    for (int i = 1; i < LINE_COUNT; ++i) {
        text += QStringLiteral("2024/%1/%2,周辺機器,\"東都電機, 本社\",ぷりんたー,"
                               "プリンター %3,LP-%3X,%7,%4,%5,ほくと,"
                               "\"北斗商事 %6 \"\"特約店\"\"\"\r\n")
                    .arg(i % 12 + 1)
                    .arg(i % 28 + 1)
                    .arg(i)
                    .arg(i % 9 + 1)
                    .arg(12800 + i)
                    .arg(i % 40)
                    .arg(cell);
    }
    return text;
}

// Each line's last quote opens a value, and its first quote closes one
// opened before or, at a line's start, is part of the value.
QString GenerateOpenQuotesText()
{
    QString text = HEADER;
    for (int i = 1; i < LINE_COUNT; ++i) {
        text += QStringLiteral("2024/%1/%2 周辺機器 東都電機 プリンター %3\",LP-%3X,A4 カラー,%4,%5,ほくと,"
                               "\"北斗商事 %6 特約店\r\n")
                    .arg(i % 12 + 1)
                    .arg(i % 28 + 1)
                    .arg(i)
                    .arg(i % 9 + 1)
                    .arg(12800 + i)
                    .arg(i % 40);
    }
    return text;
}

double ReadAndSplitMs(const QString& path, long& fieldCount)
{
    const auto started = std::chrono::steady_clock::now();
    FileSystemObject fso;
    auto stream = fso.OpenTextFile(path);
    RecordReader reader(*stream);
    fieldCount = 0;
    qsizetype characters = 0;
    while (!reader.AtEndOfStream()) {
        const QString record = reader.ReadRecord();
        try {
            SplitFields(record, [&](int16_t, QStringView field) {
                ++fieldCount;
                characters += field.size();
                return true;
            });
        } catch (const RuntimeError&) {
            // A quote left open: refused, as by the import.
        }
    }
    stream->Close();
    const auto elapsed = std::chrono::steady_clock::now() - started;
    if (characters == 0)
        throw std::runtime_error("nothing read");
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

void Measure(const char* label, const QString& path)
{
    constexpr int rounds = 7;
    double best = 1e9;
    long fields = 0;
    for (int i = 0; i < rounds; ++i)
        best = std::min(best, ReadAndSplitMs(path, fields));
    std::printf("%-11s %8.1f KB  %ld fields  best of %d: %.1f ms\n", label, double(QFile(path).size()) / 1024.0, fields,
                rounds, best);
}

}  // namespace

int main()
{
    const ScratchDir dir;
    const QString text = GenerateText(QStringLiteral("A4 カラー"));
    Measure("CP932", dir.writeCp932(QStringLiteral("lines-cp932.csv"), text));
    Measure("UTF-8", dir.writeUtf8(QStringLiteral("lines-utf8.csv"), text));
    Measure("CP932 cells",
            dir.writeCp932(QStringLiteral("cells-cp932.csv"), GenerateText(QStringLiteral("\"A4 カラー\n両面印刷\""))));
    Measure("CP932 open", dir.writeCp932(QStringLiteral("open-cp932.csv"), GenerateOpenQuotesText()));
    return 0;
}
