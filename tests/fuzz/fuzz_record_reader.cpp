// Reads any file as records through a buffer of 1 to 64 bytes (the first
// input byte chooses) and compares them with the file's physical lines:
// records start at increasing line numbers and, joined by their "\n", give
// the lines back without gap; a joined record is one the field splitter
// finds closed and none of its first lines alone close it; a line given
// back alone with its quote open is open up to the end of the file.
#include "FieldSplitter.h"
#include "FuzzCheck.h"
#include "RecordReader.h"
#include "TextFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

// Far below the bound: a quote left open always reaches the end of the file.
constexpr size_t kLargestInput = 16 * 1024;

const QString& ScratchFile()
{
    static const QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("input.csv"));
    return path;
}

bool SplitterFindsQuoteUnclosed(const QString& record)
{
    try {
        SplitFields(record, [](int16_t, QStringView) { return true; });
    } catch (const RuntimeError& error) {
        return error.number() == ERR_BAD_CALL;
    }
    return false;
}

QString Joined(const QStringList& lines, qsizetype from, qsizetype count) { return lines.mid(from, count).join(u'\n'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > kLargestInput)
        return 0;
    const qsizetype bufferBytes = 1 + data[0] % 64;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    {
        QFile file(ScratchFile());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }

    FileSystemObject fso(bufferBytes);
    QStringList lines;
    {
        auto stream = fso.OpenTextFile(ScratchFile());
        while (!stream->AtEndOfStream())
            lines << stream->ReadLine();
    }

    auto stream = fso.OpenTextFile(ScratchFile());
    RecordReader reader(*stream);
    qsizetype nextLine = 0;  // index into lines
    while (!reader.AtEndOfStream()) {
        const QString record = reader.ReadRecord();
        FUZZ_CHECK(reader.RecordLineNumber() == nextLine + 1);
        const qsizetype count = record.count(u'\n') + 1;
        FUZZ_CHECK(nextLine + count <= lines.size());
        FUZZ_CHECK(record == Joined(lines, nextLine, count));

        const bool open = EndsInsideQuotes(record);
        FUZZ_CHECK(SplitterFindsQuoteUnclosed(record) == open);
        if (count > 1) {
            FUZZ_CHECK(!open);
            for (qsizetype shorter = 1; shorter < count; ++shorter)
                FUZZ_CHECK(EndsInsideQuotes(Joined(lines, nextLine, shorter)));
        } else if (open) {
            FUZZ_CHECK(EndsInsideQuotes(Joined(lines, nextLine, lines.size() - nextLine)));
        }
        nextLine += count;
    }
    FUZZ_CHECK(nextLine == lines.size());
    return 0;
}
