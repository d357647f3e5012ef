// Reads any file through a buffer of 1 to 64 bytes (the first input byte
// chooses) and compares the lines with those of the whole file decoded at
// once and cut at CR LF, LF and lone CR.
#include "FuzzCheck.h"
#include "TextFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

// Inputs stay far below the longest line, which would be cut.
constexpr size_t kLargestInput = 16 * 1024;

QStringList LinesOfWholeText(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        lines << text.sliced(start, end - start);
        if (end < text.size())
            end += text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1;
        start = end;
    }
    return lines;
}

const QString& ScratchFile()
{
    static const QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("input.csv"));
    return path;
}

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
    auto stream = fso.OpenTextFile(ScratchFile());
    QStringList lines;
    while (!stream->AtEndOfStream())
        lines << stream->ReadLine();
    stream->Close();
    FUZZ_CHECK(lines == LinesOfWholeText(DecodeImportText(bytes)));
    return 0;
}
