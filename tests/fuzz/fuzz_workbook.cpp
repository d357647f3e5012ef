// Reads any bytes as a workbook, every sheet to its end, through the record
// source too. The first byte chooses what the rest is: 0 the file itself
// (but an .xls);
// 1 the parts of an .xlsx (its sheet data, shared strings, styles and
// workbook properties, split at NUL bytes), zipped here; 2 the tables of an
// .ods's content.xml, zipped here. Only WorkbookError may be raised; rows
// come in order within the limits, each ending in a value; a record's line
// splits back into its fields.
#include "FieldSplitter.h"
#include "FuzzCheck.h"
#include "WorkbookFiles.h"
#include "workbook/Workbook.h"
#include "workbook/WorkbookRecordSource.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

constexpr size_t kLargestInput = 64 * 1024;

const QString& ScratchFile()
{
    static const QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("input.xlsx"));
    return path;
}

WorkbookLimits SmallLimits()
{
    WorkbookLimits limits;
    limits.lngRows = 5000;
    limits.lngColumns = 300;
    limits.lngPartBytes = 4 * 1024 * 1024;
    limits.lngCells = 200000;
    return limits;
}

void WriteInput(uint8_t mode, const QByteArray& bytes)
{
    if (mode == 0) {
        QFile file(ScratchFile());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
        return;
    }
    QFile::remove(ScratchFile());
    if (mode == 1) {
        const QList<QByteArray> pieces = bytes.split('\0');
        XlsxParts parts;
        parts.sheets = {{QStringLiteral("a"), pieces.value(0)}, {QStringLiteral("b"), pieces.value(4)}};
        parts.sharedStrings = pieces.value(1);
        parts.styles = pieces.value(2);
        parts.workbookPr = pieces.value(3);
        parts.blnAbsoluteTargets = bytes.size() % 2 == 0;
        WriteZip(ScratchFile(), XlsxEntries(parts), 0);
    } else {
        WriteZip(ScratchFile(), OdsEntries(bytes), 0);
    }
}

void CheckRows(WorkbookSheet& sheet, const WorkbookLimits& limits)
{
    int64_t lngLastRow = 0;
    for (WorkbookRow row; sheet.NextRow(row);) {
        FUZZ_CHECK(row.lngRow > lngLastRow && row.lngRow <= limits.lngRows);
        FUZZ_CHECK(!row.cells.empty() && int64_t(row.cells.size()) <= limits.lngColumns);
        FUZZ_CHECK(!row.cells.back().IsEmpty());
        lngLastRow = row.lngRow;
    }
}

void CheckRecords(WorkbookRecordSource& source)
{
    source.HeaderFields();
    int64_t lngLastLine = 0;
    while (!source.AtEnd()) {
        const SourceRecord record = source.Next();
        FUZZ_CHECK(record.lngLineNumber > lngLastLine);
        lngLastLine = record.lngLineNumber;
        if (record.strRecord.size() >= 32766)
            continue;
        QStringList split;
        SplitFields(record.strRecord, [&](int16_t, QStringView field) {
            split << field.toString();
            return true;
        });
        FUZZ_CHECK(split == record.fields);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > kLargestInput)
        return 0;
    const uint8_t mode = data[0] % 3;
    // .xls goes to freexl, a library of C whose faults are not ours to find here.
    if (mode == 0 && size >= 5 && data[1] == 0xD0 && data[2] == 0xCF && data[3] == 0x11 && data[4] == 0xE0)
        return 0;
    WriteInput(mode, QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));

    const WorkbookLimits limits = SmallLimits();
    try {
        std::unique_ptr<Workbook> book = Workbook::Open(ScratchFile(), limits);
        const QStringList names = book->SheetNames();
        FUZZ_CHECK(!names.isEmpty());
        for (int i = 0; i < names.size() && i < 4; ++i) {
            try {
                std::unique_ptr<WorkbookSheet> sheet = book->OpenSheet(i);
                CheckRows(*sheet, limits);
            } catch (const WorkbookError& error) {
                FUZZ_CHECK(!error.Reason().isEmpty());
            }
            try {
                WorkbookRecordSource source(book->OpenSheet(i), names[i]);
                CheckRecords(source);
            } catch (const WorkbookError& error) {
                FUZZ_CHECK(!error.Reason().isEmpty());
            }
        }
    } catch (const WorkbookError& error) {
        FUZZ_CHECK(!error.Reason().isEmpty());
    }
    return 0;
}
